// Levels of a fitting stamp that show how the image around a star looks
// before any fit: its peak, the background on its edge and how much of its
// error stamp is usable. Stamps are indexed -r..r in both dimensions (index
// (0, 0) = the star's pixel); values and errors in image units.
#pragma once

#include <vector>

#include "sci/marray.h"
#include "select/selected_stars.h"

namespace selection {

// A fitted profile, the model of fit/moffat.h with the background at 0:
//     u = x cos(angle) + y sin(angle),  v = y cos(angle) - x sin(angle),
//     profile(x, y) = amplitude (1 + (xscale u)^2 + (yscale v)^2)^(-beta)
// x, y: offsets from the centre (xcen, ycen), stamp indices; scales in 1/pixel;
// angle in radian. at(i, j) is the profile at the centre of pixel (i, j);
// pixel(i, j) the pixel as the fit models it: the mean of the profile over
// the subsample x subsample points (i + o_k, j + o_l), o_k = (k + 0.5) /
// subsample - 0.5, which is at(i, j) for subsample 1.
struct FittedProfile {
    double amplitude, xscale, yscale, angle, beta, xcen, ycen;
    int subsample = 1;
    double at(int i, int j) const;
    double pixel(int i, int j) const;

  private:
    double atOffset_(double x, double y) const;  // x, y from the centre
};

// A star is flat-topped when at least kFlatTopPixels usable pixels of its
// fitting disk lie at or above kFlatTopLevel of the disk's peak: the clipped
// or non-linear core of a saturated star. An unsaturated star narrower than
// about 14 pixels FWHM has at most four pixels so close to its top (the four
// around a pixel corner when it is centred there); the next ring lies more
// than 3 % lower.
inline constexpr float kFlatTopLevel = 0.97f;
inline constexpr int kFlatTopPixels = 5;

// A pixel is usable when its value is finite and not 0.0 and its error
// finite and > 0, as in the profile fit. With r the stamp's half side and
// (dx, dy) the star's offset from pixel (0, 0), pixels:
//   peak: the highest usable pixel of the fitting disk
//         (i - dx)^2 + (j - dy)^2 <= (r + 1) r (float arithmetic);
//   flatPixels: the usable pixels of that disk at or above kFlatTopLevel x
//         peak (the product in float), when the peak is above 0; else 0;
//   background, backgroundError: the medians of the values, less the fitted
//         profile's pixels when there is one (its wings are no background), and of
//         the errors of the usable pixels on the stamp's edge (|i| = r or
//         |j| = r); the mean of the middle two for an even count;
//   usableErrors: the fraction of all stamp pixels with a finite error > 0.
StampLevels measureStampLevels(sci::MArray<float, 2> const& image,
                               sci::MArray<float, 2> const& error, float dx, float dy,
                               FittedProfile const* fitted = nullptr);

}  // namespace selection
