#include "select/run_summary.h"

#include <algorithm>
#include <cstdio>

#include "select/flux_limits.h"
#include "select/image_names.h"

namespace selection {

namespace {

// The flux bands the hint tries instead of the run's, in this order of
// preference (quantiles of the catalogue's fluxes).
struct Band {
    double lower, upper;
};
constexpr Band kHintBands[] = {{0.3, 0.9}, {0.1, 0.9}, {0.1, 0.99}};
// A band holds enough rows passing the other cuts when it has this many per
// star that the search needs (number + 1 candidates per subfield, as the
// least isolated is never visited).
constexpr long long kEnoughRowsPerCandidate = 2;

// A threshold as the user types it: "%g".
std::string optionValue(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

std::string bandText(double lower, double upper) {
    return decimalText(lower, 2) + "-" + decimalText(upper, 2);
}

}  // namespace

long long askedPerSubfield(Parameter const& P) {
    long long const asked =
        static_cast<long long>(P.number) - std::max(P.nchi_reject, 0) - std::max(P.fwhm_reject, 0);
    return std::max(asked, 1LL);
}

RunSummary::RunSummary(Parameter const& P, long long subfields, long naxis1, long naxis2)
    : P_(P), subfields_(subfields), naxis1_(naxis1), naxis2_(naxis2), asked_(askedPerSubfield(P)) {}

void RunSummary::addSubfield(FateCounts const& sub, SubfieldCandidates const& found,
                             std::vector<RefusedVisit> const& refused, Catalogue const& cat) {
    if (sub.written == 0) ++empty_;
    if (sub.written >= asked_) return;
    ++short_;
    for (int f = 0; f < kFateCount; ++f) shortFunnel_.rows[f] += sub.rows[f];
    shortFunnel_.written += sub.written;
    int const visitable = found.visitable(P_.refill);
    shortCandidates_ += found.testCounter;
    shortVisitable_ += visitable;
    shortWanted_ += P_.number;
    candidateShortage_ += std::max(0, P_.number - visitable);
    for (RefusedVisit const& v : refused) {
        if (v.fate != Fate::kBadPixel || badPixelX_.size() >= kRecheckedBadPixels) continue;
        badPixelX_.push_back(cat.x(v.row));
        badPixelY_.push_back(cat.y(v.row));
    }
    if (P_.class_column <= 0) return;
    for (int k = 0; k < visitable; ++k) {
        double const c = cat.classStar(found.row[static_cast<size_t>(k)]);
        if (P_.class_star <= c) ++stellarAtLimit_;
        for (size_t l = 0; l < kHintClassLimits.size(); ++l)
            if (kHintClassLimits[l] <= c) ++stellarAt_[l];
    }
}

HintStage RunSummary::hintStage(bool hasImage) const {
    if (short_ == 0) return HintStage::kNone;
    if (!hasImage) return HintStage::kNoImage;
    // The tests after the visit, against the candidates the subfields lacked.
    struct Loss {
        HintStage stage;
        Fate fate;
    };
    Loss const losses[] = {{HintStage::kNotStellar, Fate::kNotStellar},
                           {HintStage::kBadPixel, Fate::kBadPixel},
                           {HintStage::kStampsOff, Fate::kStampOff},
                           {HintStage::kFailedFits, Fate::kFitFailed},
                           {HintStage::kCut, mostCut_()}};
    // Where most fits fail, whatever else is taken would fail too.
    long long const failedFits = shortFunnel_.rows[fateIndex(Fate::kFitFailed)];
    if (failedFits > 0 && 2 * failedFits >= shortFunnel_.stage(Fate::kStampOff))
        return HintStage::kFailedFits;
    HintStage best = HintStage::kNone;
    long long most = 0;
    for (Loss const& l : losses) {
        long long const n = refusedBy_(l.fate);
        if (n > most) {
            most = n;
            best = l.stage;
        }
    }
    if (most > 0 && most >= candidateShortage_) return best;
    if (candidateShortage_ > 0) return HintStage::kCandidates;
    return HintStage::kOther;
}

void RunSummary::write(std::ostream& err, FateCounts const& total, bool hasImage,
                       HintData const& data) const {
    err << "summary: " << counted(total.written, "star", "stars") << " selected in "
        << counted(subfields_, "subfield", "subfields") << " (" << asked_ << " asked in each); "
        << counted(empty_, "subfield", "subfields") << " without a star\n";
    err << "funnel: " << total.rowsRead() << " " << kRowsReadStage;
    for (int f = 0; f < kFateCount; ++f)
        if (stageCounted(static_cast<Fate>(f), P_))
            err << ", " << total.stage(static_cast<Fate>(f)) << " " << kFateWords[f].stage;
    err << "\n";
    HintStage const stage = hintStage(hasImage);
    if (stage != HintStage::kNone) err << "hint: " << hint_(stage, data) << "\n";
}

std::string RunSummary::hint_(HintStage stage, HintData const& data) const {
    std::string const where =
        "in the " + counted(short_, "subfield", "subfields") + " that fell short";
    long long const taken = shortFunnel_.stage(Fate::kBadPixel);
    switch (stage) {
        case HintStage::kNone:
            break;
        case HintStage::kNoImage:
            return "no image was given, so no star was measured: give the image as the first "
                   "file argument, with its error image '" +
                   errorImageName("<image>") + "' beside it";
        case HintStage::kCandidates:
            return candidatesHint_(data.cat, data.sortedFlux);
        case HintStage::kNotStellar:
            return notStellarHint_();
        case HintStage::kBadPixel:
            return badPixelHint_(data.recheck);
        case HintStage::kStampsOff: {
            std::string text = "the stamps (--boxlen " + std::to_string(P_.boxlen) + ") of " +
                               std::to_string(shortFunnel_.rows[fateIndex(Fate::kStampOff)]) +
                               " of the " + counted(taken, "star", "stars") + " taken " + where +
                               " leave the image";
            long long const side = 2LL * P_.boxlen + 1;
            if (side > naxis1_ || side > naxis2_)
                return text + ": stamps of " + std::to_string(side) + " x " + std::to_string(side) +
                       " pixels do not fit in the image (" + std::to_string(naxis1_) + " x " +
                       std::to_string(naxis2_) + "): try a smaller --boxlen";
            return text + ": try --border " + std::to_string(P_.boxlen);
        }
        case HintStage::kFailedFits:
            return std::to_string(shortFunnel_.rows[fateIndex(Fate::kFitFailed)]) + " of the " +
                   counted(shortFunnel_.stage(Fate::kStampOff), "fit", "fits") + " " + where +
                   " failed: " + data.fits.text;
        case HintStage::kCut:
            return cutHint_(where);
        case HintStage::kOther: {
            int most = fateIndex(Fate::kFluxBand);
            for (int f = most; f < fateIndex(Fate::kSelected); ++f)
                if (shortFunnel_.rows[f] > shortFunnel_.rows[most]) most = f;
            return "the fate of the most rows " + where + ": " + kFateWords[most].fate + " (" +
                   std::to_string(shortFunnel_.rows[most]) + ")";
        }
    }
    return "";
}

// The cuts on measured stars, the two of --max_peak counted together.
constexpr Fate kCutFates[] = {Fate::kSaturated, Fate::kElongated, Fate::kAsymmetric,
                              Fate::kClippedFwhm, Fate::kClippedNchi};

long long RunSummary::refusedBy_(Fate f) const {
    long long n = shortFunnel_.rows[fateIndex(f)];
    if (f == Fate::kSaturated) n += shortFunnel_.rows[fateIndex(Fate::kFlatTop)];
    return n;
}

Fate RunSummary::mostCut_() const {
    Fate most = kCutFates[0];
    for (Fate f : kCutFates)
        if (refusedBy_(f) > refusedBy_(most)) most = f;
    return most;
}

std::string RunSummary::cutHint_(std::string const& where) const {
    Fate const f = mostCut_();
    FateWords const& w = fateWords(f);
    std::string text =
        std::string(w.option) + " " + optionValue(P_.*w.value) + " refused " +
        std::to_string(refusedBy_(f)) + " of the " +
        counted(shortFunnel_.stage(Fate::kFitFailed), "star fitted", "stars fitted") + " " + where;
    if (f == Fate::kSaturated) {
        long long const flat = shortFunnel_.rows[fateIndex(Fate::kFlatTop)];
        text += " (" + std::to_string(refusedBy_(f) - flat) + " at or above it, " +
                std::to_string(flat) + " flat-topped)";
    }
    if (!P_.refill)
        return text +
               ": try --refill, which replaces each refused star by the next candidate of "
               "its subfield";
    if (f == Fate::kSaturated)
        return text +
               "; every candidate was visited: take fainter candidates (lower --min_thresh "
               "and --max_thresh); " +
               fewerSubfields_();
    return text + "; every candidate was visited: loosen the cut; " + fewerSubfields_();
}

std::string RunSummary::notStellarHint_() const {
    long long const visited = shortFunnel_.stage(Fate::kNotVisited);
    std::string text =
        "-c " + decimalText(P_.class_star, 2) + " refused " +
        std::to_string(shortFunnel_.rows[fateIndex(Fate::kNotStellar)]) + " of the " +
        counted(visited, "candidate", "candidates") + " visited in the " +
        counted(short_, "subfield", "subfields") + " that fell short; their " +
        counted(shortVisitable_, "visitable candidate", "visitable candidates") +
        (shortVisitable_ == 1 ? " holds " : " hold ") + std::to_string(stellarAtLimit_) +
        " with class_star >= " + decimalText(P_.class_star, 2);
    // The highest limit at which they hold the stars wanted; else the
    // highest at which they hold the most, when that is more than at -c.
    double suggestion = -1;
    long long most = stellarAtLimit_;
    bool enough = false;
    for (size_t l = 0; l < kHintClassLimits.size(); ++l) {
        double const limit = kHintClassLimits[l];
        if (!(limit < P_.class_star)) continue;
        text += ", " + std::to_string(stellarAt_[l]) + " >= " + decimalText(limit, 2);
        if (enough || stellarAt_[l] <= most) continue;
        suggestion = limit;
        most = stellarAt_[l];
        enough = most >= shortWanted_;
    }
    if (suggestion >= 0) return text + ": try -c " + optionValue(suggestion);
    return text + ": few of them are stars; " + fewerSubfields_();
}

std::string RunSummary::fewerSubfields_() const {
    int const nx = std::max(P_.nfields[0] / 2, 1), ny = std::max(P_.nfields[1] / 2, 1);
    if (static_cast<long long>(nx) * ny < subfields_)
        return "try --nfields " + std::to_string(nx) + "," + std::to_string(ny);
    return "the field holds fewer stars than asked";
}

std::string RunSummary::badPixelHint_(BadPixelRecheck const& recheck) const {
    std::string text = "-r " + std::to_string(P_.check_radius) + " refused " +
                       std::to_string(shortFunnel_.rows[fateIndex(Fate::kBadPixel)]) + " of the " +
                       counted(shortFunnel_.stage(Fate::kNotVisited), "candidate", "candidates") +
                       " visited in the " + counted(short_, "subfield", "subfields") +
                       " that fell short for a bad (0) pixel near their centre";
    // The largest smaller radius at which some of them pass.
    for (int r = P_.check_radius - 1; r >= 1 && recheck; --r) {
        long long pass = 0;
        for (size_t k = 0; k < badPixelX_.size(); ++k)
            if (recheck(badPixelX_[k], badPixelY_[k], r)) ++pass;
        if (pass == 0) continue;
        return text + "; with -r " + std::to_string(r) + " " + std::to_string(pass) + " of the " +
               std::to_string(badPixelX_.size()) + " pass: try -r " + std::to_string(r);
    }
    return text + "; no smaller radius clears them: the bad pixels lie at their centres";
}

std::string RunSummary::candidatesHint_(Catalogue const& cat,
                                        std::vector<float> const& sortedFlux) const {
    if (sortedFlux.empty())
        return "catalogue '" + P_.input + "' holds no row with a finite position and flux";
    // The rows of the whole catalogue in a band that pass the flag and
    // stellarity cuts of the run.
    bool const flags = P_.flag_column > 0;
    bool const stellar = P_.class_column > 0;
    auto passing = [&](double lower, double upper, long long& inBand) {
        FluxLimits const f = computeFluxLimits(sortedFlux, lower, upper, P_.neighbour_thresh);
        long long pass = 0;
        inBand = 0;
        for (int row = 1; row <= cat.N; ++row) {
            if (!rowTakesPart(cat.x, cat.y, cat.flux, row)) continue;
            float const flux = cat.flux(row);
            if (flux < f.lower || flux > f.upper) continue;
            ++inBand;
            if (flags && (row > cat.flag.size() || cat.flag(row) > P_.flag_limit)) continue;
            if (stellar && !(P_.class_star <= static_cast<double>(cat.classStar(row)))) continue;
            ++pass;
        }
        return pass;
    };
    std::string cuts;
    if (flags) cuts = "flags <= " + std::to_string(P_.flag_limit);
    if (stellar)
        cuts += (cuts.empty() ? "" : " and ") + std::string("class_star >= ") +
                decimalText(P_.class_star, 2);

    std::string text = "the " + counted(short_, "subfield", "subfields") + " that fell short " +
                       (short_ == 1 ? "holds " : "hold ") +
                       counted(shortCandidates_, "candidate", "candidates") + " for " +
                       counted(shortWanted_, "star", "stars") +
                       (P_.refill ? "" : " (the least isolated of a subfield is never visited)") +
                       "; the flux band " + bandText(P_.min_thresh, P_.max_thresh) + " holds ";
    long long inBand = 0;
    long long const current = passing(P_.min_thresh, P_.max_thresh, inBand);
    text += counted(inBand, "row", "rows");
    if (!cuts.empty()) text += ", " + std::to_string(current) + " of them with " + cuts;

    long long const enough = kEnoughRowsPerCandidate * (P_.number + 1LL) * subfields_;
    Band best{0, 0};
    long long bestPass = current, bestInBand = 0;
    bool found = false;
    for (Band const& b : kHintBands) {
        if (b.lower == P_.min_thresh && b.upper == P_.max_thresh) continue;
        long long n = 0;
        long long const pass = passing(b.lower, b.upper, n);
        if (pass <= bestPass) continue;
        best = b;
        bestPass = pass;
        bestInBand = n;
        found = true;
        if (pass >= enough) break;
    }
    if (!found) return text + "; no other band holds more: " + fewerSubfields_();
    text +=
        "; the band " + bandText(best.lower, best.upper) + " holds " + std::to_string(bestInBand);
    if (!cuts.empty()) text += ", " + std::to_string(bestPass) + " with " + cuts;
    text += ": try --min_thresh " + optionValue(best.lower) + " --max_thresh " +
            optionValue(best.upper);
    return text;
}

}  // namespace selection
