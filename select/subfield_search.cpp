#include "select/subfield_search.h"

#include <algorithm>

#include "fit/moffat.h"
#include "select/run_warnings.h"
#include "select/star_cuts.h"

namespace selection {

namespace {

// The star record of candidate k of the search, not yet measured.
StarRecord candidateStar(SubfieldSearch const& search, size_t k, Catalogue const& cat) {
    StarRecord star;
    star.row = search.found.row[k];
    star.rank = static_cast<int>(k) + 1;
    star.x = cat.x(star.row);
    star.y = cat.y(star.row);
    star.closestDist = search.found.closestDist[k];
    star.closestFlux = search.found.closestFlux[k];
    return star;
}

// The bad-pixel and stellarity tests of candidate k; a refused visit is
// recorded with its fate. Both tests are made; one that fails both is
// refused as not stellar.
bool isStellar(int row, SearchContext const& c) {
    return c.P.class_column <= 0 || c.P.class_star <= static_cast<double>(c.cat.classStar(row));
}

bool passesVisit(SubfieldSearch& search, size_t k, SearchContext const& c) {
    int const row = search.found.row[k];
    int const rank = static_cast<int>(k) + 1;
    bool const clean = c.badPixels.passes(c.cat.x(row), c.cat.y(row));
    bool const stellar = isStellar(row, c);
    if (!stellar) search.refused.push_back(RefusedVisit{row, rank, Fate::kNotStellar});
    if (stellar && !clean) search.refused.push_back(RefusedVisit{row, rank, Fate::kBadPixel});
    return clean && stellar;
}

}  // namespace

void takeStars(SubfieldSearch& search, SearchContext const& c) {
    size_t const visits = static_cast<size_t>(search.found.visitable(false));
    SelectedStars& s = search.s;
    for (; search.next < visits && static_cast<int>(s.stars.size()) < c.P.number; ++search.next)
        if (passesVisit(search, search.next, c))
            s.stars.push_back(candidateStar(search, search.next, c.cat));
    s.taken = static_cast<int>(s.stars.size());
}

void refillStars(SubfieldSearch& search, SearchContext const& c, size_t wanted,
                 FieldClips const* clips) {
    size_t const visits = static_cast<size_t>(search.found.visitable(true));
    SelectedStars& s = search.s;
    // The stellar candidates from search.next on are those the loop may
    // measure next: as many as it still wants, and as many more as the
    // measure computes at once, are expected (their bad-pixel test comes
    // when they are visited; one that fails it costs only a fit).
    size_t ahead = search.next;
    auto expectAhead = [&] {
        if (c.measure == nullptr || c.measure->ahead() == 0) return;
        size_t const want = wanted - s.stars.size() + static_cast<size_t>(c.measure->ahead());
        for (ahead = std::max(ahead, search.next);
             ahead < visits && static_cast<size_t>(c.measure->expected()) < want; ++ahead)
            if (isStellar(search.found.row[ahead], c))
                c.measure->expect(candidateStar(search, ahead, c.cat), c.out);
    };
    bool fitted = false;
    for (; search.next < visits && s.stars.size() < wanted; ++search.next) {
        expectAhead();
        if (!passesVisit(search, search.next, c)) continue;
        StarRecord star = candidateStar(search, search.next, c.cat);
        if (c.measure == nullptr) {
            s.stars.push_back(star);
            continue;
        }
        if (!fitted) writeFitTableStart(c.out, c.P.verbose);
        fitted = true;
        c.measure->measure(star, c.out);
        // A failed fit keeps the fate its status gives it (takenStarFate).
        Fate fate = writtenStar(star) && star.fitStatus == fit::kMoffatOk ? starCut(star, c.P)
                                                                          : Fate::kFitFailed;
        if (fate == Fate::kSelected && clips != nullptr) fate = clips->test(star);
        if (fate == Fate::kSelected)
            s.stars.push_back(star);
        else
            s.dropped.push_back(DroppedStar{star, fate});
    }
    if (c.measure != nullptr) c.measure->forgetExpected();
    if (fitted) writeFitTableEnd(c.out, c.P.verbose);
}

void searchSubfield(SubfieldSearch& search, SearchContext const& c) {
    SelectedStars& s = search.s;
    if (c.P.refill) {
        refillStars(search, c, static_cast<size_t>(std::max(c.P.number, 0)));
        s.taken = static_cast<int>(s.stars.size());
    } else {
        takeStars(search, c);
    }
    if (s.taken < c.P.number) {
        c.out << '\n';
        writeNotEnoughStars(c.out, "taken", s.taken, c.P.number);
    }
    if (c.measure == nullptr || s.stars.empty()) return;
    if (c.P.refill)
        rejectStars(s, c.P, c.out);
    else
        measureStars(s, c.P, *c.measure, c.out);
}

FieldClips clipField(std::vector<SubfieldSearch>& searches, SearchContext const& c) {
    std::vector<StarRecord const*> kept;
    for (SubfieldSearch const& search : searches)
        for (StarRecord const& star : search.s.stars)
            if (writtenStar(star)) kept.push_back(&star);
    FieldClips const clips(c.P, kept);
    std::vector<size_t> lost(searches.size(), 0);
    long long byFwhm = 0, byNchi = 0;
    for (size_t k = 0; k < searches.size(); ++k) {
        SelectedStars& s = searches[k].s;
        std::vector<StarRecord> left;
        for (StarRecord const& star : s.stars) {
            Fate const fate = writtenStar(star) ? clips.test(star) : Fate::kSelected;
            if (fate == Fate::kSelected) {
                left.push_back(star);
                continue;
            }
            s.dropped.push_back(DroppedStar{star, fate});
            ++lost[k];
            ++(fate == Fate::kClippedFwhm ? byFwhm : byNchi);
        }
        s.stars.swap(left);
    }
    if (c.P.verbose > 0) clips.write(c.out, byFwhm, byNchi);
    if (!c.P.refill || c.measure == nullptr) return clips;
    for (size_t k = 0; k < searches.size(); ++k) {
        if (lost[k] == 0) continue;
        SubfieldSearch& search = searches[k];
        if (c.P.verbose > 0)
            c.out << "refilling " << counted(static_cast<long long>(lost[k]), "star", "stars")
                  << " in [" << search.box.x1 << ":" << search.box.x2 << "," << search.box.y1 << ":"
                  << search.box.y2 << "]\n";
        refillStars(search, c, search.s.stars.size() + lost[k], &clips);
        search.s.taken = static_cast<int>(search.s.stars.size());
    }
    return clips;
}

}  // namespace selection
