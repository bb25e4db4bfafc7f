// The field-wide clips of --fwhm_clip and --nchi_clip: once every subfield is
// searched, the median and the robust sigma of the FWHM and of nchi over the
// stars kept in the whole image, and the test of a star against them. Widths
// in pixels.
#pragma once

#include <ostream>
#include <vector>

#include "select/fates.h"
#include "select/parameter.h"
#include "select/selected_stars.h"

namespace selection {

// The median of values and the robust sigma 1.4826 x the median absolute
// deviation from it (the sigma of a normal distribution that has that
// deviation); medians of an even count are the mean of the middle two. Both
// NaN for no value.
struct RobustSpread {
    double median;
    double sigma;
};
RobustSpread robustSpread(std::vector<double> values);

// The limits of the clips of P (a clip of 0 is off) over the stars given:
//   by FWHM: refused when |fwhm - median| > fwhm_clip x sigma;
//   by nchi: refused when nchi - median > nchi_clip x sigma (only high nchi);
// the comparisons in double. The limits are fixed once; a star taken later
// (the refill after the clips) is tested against the same limits.
class FieldClips {
  public:
    FieldClips(Parameter const& P, std::vector<StarRecord const*> const& stars);

    bool byFwhm() const { return byFwhm_; }
    bool byNchi() const { return byNchi_; }
    RobustSpread const& fwhm() const { return fwhm_; }
    RobustSpread const& nchi() const { return nchi_; }
    // kClippedFwhm, kClippedNchi (the FWHM tested first), or kSelected for a
    // star within both limits.
    Fate test(StarRecord const& star) const;

    // With verbose > 0, one line per clip given: its median, robust sigma,
    // the range kept and the stars refused (refused: kClippedFwhm and
    // kClippedNchi counts).
    void write(std::ostream& out, long long refusedByFwhm, long long refusedByNchi) const;

  private:
    bool byFwhm_, byNchi_;
    double fwhmClip_, nchiClip_;
    RobustSpread fwhm_{}, nchi_{};
};

}  // namespace selection
