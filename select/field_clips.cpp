#include "select/field_clips.h"

#include <cmath>
#include <iomanip>
#include <utility>

#include "sci/median.h"

namespace selection {

namespace {

// The sigma of a normal distribution over its median absolute deviation.
constexpr double kSigmaPerMad = 1.4826;

}  // namespace

RobustSpread robustSpread(std::vector<double> values) {
    sci::MedianAndMad const m = sci::medianAndMad(std::move(values));
    return {m.median, kSigmaPerMad * m.mad};
}

FieldClips::FieldClips(Parameter const& P, std::vector<StarRecord const*> const& stars)
    : byFwhm_(P.fwhm_clip > 0),
      byNchi_(P.nchi_clip > 0),
      fwhmClip_(P.fwhm_clip),
      nchiClip_(P.nchi_clip) {
    std::vector<double> fwhm, nchi;
    for (StarRecord const* s : stars) {
        fwhm.push_back(s->fwhm);
        nchi.push_back(s->nchi);
    }
    if (byFwhm_) fwhm_ = robustSpread(fwhm);
    if (byNchi_) nchi_ = robustSpread(nchi);
}

Fate FieldClips::test(StarRecord const& star) const {
    if (byFwhm_ && std::fabs(star.fwhm - fwhm_.median) > fwhmClip_ * fwhm_.sigma)
        return Fate::kClippedFwhm;
    if (byNchi_ && star.nchi - nchi_.median > nchiClip_ * nchi_.sigma) return Fate::kClippedNchi;
    return Fate::kSelected;
}

void FieldClips::write(std::ostream& out, long long refusedByFwhm, long long refusedByNchi) const {
    std::ios_base::fmtflags const flags = out.flags();
    std::streamsize const precision = out.precision();
    out << std::fixed << std::setprecision(3);
    if (byFwhm_)
        out << "fwhm_clip: median FWHM " << fwhm_.median << ", robust sigma " << fwhm_.sigma
            << ": kept " << fwhm_.median - fwhmClip_ * fwhm_.sigma << " ... "
            << fwhm_.median + fwhmClip_ * fwhm_.sigma << ", refused " << refusedByFwhm << "\n";
    if (byNchi_)
        out << "nchi_clip: median nchi " << nchi_.median << ", robust sigma " << nchi_.sigma
            << ": kept up to " << nchi_.median + nchiClip_ * nchi_.sigma << ", refused "
            << refusedByNchi << "\n";
    out.flags(flags);
    out.precision(precision);
}

}  // namespace selection
