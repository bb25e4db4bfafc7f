#include "select/subfield_search.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "fit/moffat.h"
#include "sci/median.h"
#include "tests/select/literal_selection.h"

namespace {

using selection::Fate;
using selection::StarRecord;

// What measuring a catalogue row gives (a failed fit, or a fit with this
// peak, FWHM and nchi), and its stellarity.
struct Outcome {
    float classStar;
    bool fails;
    float peak, fwhm, nchi;
};
using Outcomes = std::vector<Outcome>;

// A measurement that looks its results up by row.
struct TableMeasure : selection::StarMeasure {
    explicit TableMeasure(Outcomes const& outcomes) : rows(outcomes) {}
    void measure(StarRecord& star, std::ostream&) override {
        Outcome const& o = rows[static_cast<size_t>(star.row - 1)];
        star.fitStatus = o.fails ? fit::kMoffatWidthOutOfRange : fit::kMoffatOk;
        star.xfwhm = star.yfwhm = star.fwhm = o.fails ? selection::kFitFailed : o.fwhm;
        star.nchi = o.fails ? selection::kFitFailed : o.nchi;
        star.stamp.peak = o.peak;
        star.asymmetry = 0;
    }
    Outcomes const& rows;
};

// The 2 x 2 subfields of the random catalogues' field; every flux in the band,
// every star a neighbour (the screening's own settings are compared in the
// screening test).
selection::PixelBox const kBoxes[] = {
    {1, 20, 1, 20}, {1, 20, 21, 40}, {21, 40, 1, 20}, {21, 40, 21, 40}};
selection::ScreeningRules const kRules{-1e30f, 1e30f, 0.0f, false, 0};

// One subfield as a run leaves it: the rows kept, the rows refused as not
// stellar, and the rows taken and dropped with the name of their fate, each
// in the order of the run.
struct Subfield {
    std::vector<int> kept, notStellar;
    std::vector<std::pair<int, std::string>> dropped;
    std::vector<int> visits;  // the candidates, most isolated first (1-based rows)
    size_t next = 0;
    int keptByRefill = 0;  // stars kept in the refill after the clips
};

// The median and 1.4826 x the median absolute deviation of the kept stars'
// FWHM or nchi.
std::pair<double, double> spread(std::vector<Subfield> const& run, Outcomes const& o,
                                 float Outcome::*value) {
    std::vector<double> v, dev;
    for (Subfield const& f : run)
        for (int row : f.kept) v.push_back(o[row - 1].*value);
    double const m = sci::median(v);
    for (double x : v) dev.push_back(std::fabs(x - m));
    return {m, 1.4826 * sci::median(dev)};
}

// The literal refill: every subfield visits its candidates from the most
// isolated and keeps those that are stellar, fitted and below the peak
// limit until it holds `number`; then the clips over all kept stars drop the
// stars beyond them, and each subfield that lost stars visits on, its new
// stars held to the same limits, until it holds as many as before.
std::vector<Subfield> literalRun(literal::Catalogue const& c, Outcomes const& o,
                                 selection::Parameter const& P) {
    std::pair<double, double> fw{0, 0}, nc{0, 0};
    bool clipping = false;
    auto clipFate = [&](int row) -> std::string {
        if (!clipping) return "";
        Outcome const& r = o[row - 1];
        if (P.fwhm_clip > 0 && std::fabs(r.fwhm - fw.first) > P.fwhm_clip * fw.second)
            return "clipped by FWHM";
        if (P.nchi_clip > 0 && r.nchi - nc.first > P.nchi_clip * nc.second)
            return "clipped by nchi";
        return "";
    };
    auto fill = [&](Subfield& f, size_t wanted) {
        while (f.next < f.visits.size() && f.kept.size() < wanted) {
            int const row = f.visits[f.next++];
            Outcome const& r = o[row - 1];
            if (r.classStar < P.class_star) {
                f.notStellar.push_back(row);
                continue;
            }
            std::string const fate = r.fails                                  ? "fit failed"
                                     : P.max_peak > 0 && r.peak >= P.max_peak ? "saturated"
                                                                              : clipFate(row);
            if (!fate.empty()) {
                f.dropped.push_back({row, fate});
                continue;
            }
            f.kept.push_back(row);
            f.keptByRefill += clipping;
        }
    };
    std::vector<Subfield> run;
    for (selection::PixelBox const& box : kBoxes) {
        Subfield f;
        f.visits = literal::visitOrder(literal::screen(c, kRules, box), INT_MAX);
        fill(f, static_cast<size_t>(P.number));
        run.push_back(f);
    }
    // Without clips (or stars) this step changes nothing.
    fw = spread(run, o, &Outcome::fwhm);
    nc = spread(run, o, &Outcome::nchi);
    clipping = true;
    for (Subfield& f : run) {
        size_t const before = f.kept.size();
        std::vector<int> left;
        for (int row : f.kept) {
            std::string const fate = clipFate(row);
            if (fate.empty())
                left.push_back(row);
            else
                f.dropped.push_back({row, fate});
        }
        f.kept = left;
        fill(f, before);
    }
    return run;
}

// The same run through the library: screening, the refill search and the clips.
std::vector<Subfield> libraryRun(literal::Catalogue const& c, Outcomes const& o,
                                 selection::Parameter const& P) {
    selection::Catalogue cat;
    cat.x = testsupport::toMArray(c.x);
    cat.y = testsupport::toMArray(c.y);
    std::vector<float> classStar;
    for (Outcome const& r : o) classStar.push_back(r.classStar);
    cat.classStar = testsupport::toMArray(classStar);
    selection::FitsFiles files;
    selection::BadPixelCheck badPixels({}, 0, 0, 0, files);
    TableMeasure measure(o);
    std::ostringstream out;
    selection::SearchContext const context{cat, badPixels, P, &measure, out};
    selection::CandidateScreen const screen = literal::fastScreen(c, kRules);
    std::vector<selection::SubfieldSearch> searches;
    for (selection::PixelBox const& box : kBoxes) {
        selection::SubfieldSearch search;
        search.found = screen.screenSubfield(box, true);
        selection::searchSubfield(search, context);
        searches.push_back(std::move(search));
    }
    if (P.fwhm_clip > 0 || P.nchi_clip > 0) selection::clipField(searches, context);
    std::vector<Subfield> run;
    for (selection::SubfieldSearch const& search : searches) {
        Subfield f;
        for (StarRecord const& star : search.s.stars) f.kept.push_back(star.row);
        for (selection::RefusedVisit const& v : search.refused)
            f.notStellar.push_back(v.fate == Fate::kNotStellar ? v.row : -v.row);
        for (selection::DroppedStar const& d : search.s.dropped)
            f.dropped.push_back(
                {d.star.row, selection::fateWords(selection::takenStarFate(d.star, d.fate)).fate});
        run.push_back(f);
    }
    return run;
}

}  // namespace

// Random catalogues full of ties in 2 x 2 subfields, random stellarity and
// measurement outcomes (failed fits, saturated peaks, FWHM and nchi from a
// few values with outliers), random settings: the kept stars and every
// refusal match the literal refill.
TEST(SubfieldSearch, RefillAndClipsEqualTheLiteralRefillOnRandomFields) {
    std::mt19937 rng(14);
    float const widths[] = {2.0f, 2.0f, 2.1f, 1.9f, 2.05f, 3.0f};
    float const chis[] = {1.0f, 1.1f, 1.2f, 1.0f, 4.0f};
    int refilled = 0, emptied = 0;
    for (unsigned seed = 1; seed <= 400; ++seed) {
        literal::Catalogue const c =
            literal::randomCatalogue(20 + static_cast<int>(rng() % 100), seed);
        Outcomes o;
        for (size_t k = 0; k < c.x.size(); ++k)
            o.push_back({0.3f * static_cast<float>(1 + rng() % 3), rng() % 6 == 0,
                         10.0f + 45.0f * static_cast<float>(rng() % 3), widths[rng() % 6],
                         chis[rng() % 5]});
        selection::Parameter P;
        P.refill = true;
        P.class_column = 8;
        P.class_star = 0.5;
        P.number = 1 + static_cast<int>(rng() % 4);
        P.max_peak = rng() % 2 ? 60 : 0;
        P.fwhm_clip = 1.5 * (rng() % 3);
        P.nchi_clip = 1.5 * (rng() % 3);
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::vector<Subfield> const want = literalRun(c, o, P);
        std::vector<Subfield> const got = libraryRun(c, o, P);
        for (size_t k = 0; k < want.size(); ++k) {
            SCOPED_TRACE("subfield " + std::to_string(k));
            EXPECT_EQ(std::tie(got[k].kept, got[k].notStellar, got[k].dropped),
                      std::tie(want[k].kept, want[k].notStellar, want[k].dropped));
            refilled += want[k].keptByRefill > 0;
            emptied += want[k].kept.empty() && !want[k].dropped.empty();
        }
    }
    // The cases that matter occurred: stars kept in the refill after the
    // clips, and subfields whose candidates all were refused.
    EXPECT_GT(refilled, 50);
    EXPECT_GT(emptied, 50);
}
