// The cuts on a measured star, each off unless its option is above 0:
// saturation (--max_peak: a usable pixel at or above it in the fitting disk,
// or a flat top), elongation (--max_ellipticity) and asymmetry
// (--max_asymmetry), and the asymmetry they measure. Stamps are indexed
// -r..r in both dimensions (index (0, 0) = the star's pixel); centres in
// stamp indices; widths in pixels; values in image units.
#pragma once

#include "sci/marray.h"
#include "select/fates.h"
#include "select/parameter.h"
#include "select/selected_stars.h"
#include "select/stamp_levels.h"

namespace selection {

// The core that the asymmetry leaves out: its radius in FWHMs of the star.
inline constexpr double kAsymmetryCoreFwhm = 1.0;

// The asymmetry of a star of fitted profile f (select/stamp_levels.h): the
// stamp less the profile's pixels (the residual R = v - f.pixel), less itself
// rotated by 180 degrees about the fitted centre c = (f.xcen, f.ycen), beyond
// the core, less the background's gradient, against the star's flux. The
// profile is symmetric about c, so the rotation leaves what is not the star:
// a neighbour, a companion, a background gradient; taking the profile off
// first keeps its steep core out of the interpolation. For every usable
// pixel p of the disk of the fit's size about c (|p - c|^2 <= (r + 1) r, r
// the stamp's half side) farther than core pixels from c, its mirror
// q = 2 c - p is interpolated bilinearly from the four pixels around it (p is
// left out unless all four are usable and inside the stamp):
//     R(q) = sum w_k R_k,  e(q)^2 = sum w_k^2 e_k^2,
//     d(p) = R(p) - R(q),  s(p)^2 = e(p)^2 + e(q)^2.
// A background plane adds 2 g.(p - c) to d, which the rotation does not
// cancel; g is fitted to d by least squares over those pixels (when they
// span two dimensions) and taken off:
//     u(p) = |d(p) - 2 g.(p - c)|,
//     asymmetry = sum_p max(0, u(p) - 2 s(p)) / (2 F),
// F = pi f.amplitude / ((f.beta - 1) f.xscale f.yscale), the fitted
// profile's total flux. Differences within 2 s are taken for noise: noise
// alone adds about 0.017 s per pixel (2 s (phi(2) - 2 (1 - Phi(2))) for a
// normal d), so an isolated star scores about 0 at any flux; a neighbour
// beyond the core counts about its flux over F, less 2 s in each of its
// pixels (it shows at p and at its mirror, hence the 2). A pixel is usable
// as in the fit (value finite and not 0, error finite and > 0). NaN when F
// is not finite and above 0; 0 when no pixel lies beyond the core with its
// mirror in the stamp.
float stampAsymmetry(sci::MArray<float, 2> const& image, sci::MArray<float, 2> const& error,
                     FittedProfile const& f, double core);

// 1 - minor / major of the star's two FWHM (xfwhm, yfwhm), in double.
double ellipticity(StarRecord const& star);

// The first cut of P that a successfully fitted star fails, in this order:
//   kSaturated   max_peak > 0 and stamp.peak >= max_peak;
//   kFlatTop     max_peak > 0 and stamp.flatPixels >= kFlatTopPixels;
//   kElongated   max_ellipticity > 0 and ellipticity > max_ellipticity;
//   kAsymmetric  max_asymmetry > 0 and not asymmetry <= max_asymmetry
//                (a NaN asymmetry fails);
// kSelected when it passes every cut given.
Fate starCut(StarRecord const& star, Parameter const& P);

}  // namespace selection
