// Elliptical Moffat profile on a tilted background plane, fitted to a square
// image stamp with the Levenberg-Marquardt fitter (Class_moffat_fit, fmoffat).
// Stamps are sci::MArray<float,2> indexed around the star (index (0,0) is the
// pixel nearest to it; first index along image x, second along y; first index
// fastest in memory). Positions and widths in pixels, angles in radian,
// values in image units. Thread safety: no static or global state; fits of
// different stamps may run on several threads at once (see fmoffat).
#pragma once

#include <memory>
#include <ostream>
#include <vector>

#include "fit/marquardt.h"
#include "sci/marray.h"

namespace fit {

// Status codes of fmoffat; the checks after the fit run in this order and the
// first that applies sets the status.
constexpr int kMoffatOk = 0;                   // fit accepted
constexpr int kMoffatFewPixels = -2;           // fewer than 10 data points in the circle
constexpr int kMoffatWidthOutOfRange = -3;     // xfwhm or yfwhm not in [fwhm_min, fwhm_max]
constexpr int kMoffatBetaOutOfRange = -4;      // a8 not in [beta_min, beta_max]
constexpr int kMoffatCentreOutside = -5;       // a5 not in [i1, i2] or a6 not in [j1, j2]
constexpr int kMoffatAmplitudeUncertain = -6;  // error of a2 > |a2| at a usable centre pixel

// The value of surface, ax or ay that asks fmoffat to fit that parameter
// (exact literal; any other value holds the parameter at the given value).
constexpr float kMoffatFitThis = 12345.0f;

// The finest sampling of the model within a pixel, subsample x subsample
// points: each fit costs about subsample^2 times a fit at pixel centres, while
// the mean over the central pixel of a star of FWHM 1 pixel (beta 2.9) is
// within 1 % of the exact one at 5 x 5 points and within 0.12 % at 15 x 15.
constexpr int kMoffatMaxSubsample = 15;

// The power of the sub-sampled model at one point within a pixel, kept from
// the values for the derivatives (see Class_moffat_fit).
struct MoffatSubPower {
    double q = 0.0;           // X^-a8; 0 beyond the power limit
    double logX = 0.0;        // ln X (only within the power limit)
    bool negligible = false;  // beyond the power limit: no profile term
};

// The model, parameters a(1..10) (see fmoffat for their meaning):
//     dx = x - a5, dy = y - a6,
//     u = dx cos a7 + dy sin a7,  v = dy cos a7 - dx sin a7,
//     X = 1 + (a3 u)^2 + (a4 v)^2,
//     model(x, y) = a1 + a9 x + a10 y + a2 X^(-a8),
// with analytic derivatives; where log10(X) (1 + a8) > 100 the profile term
// is dropped (negligible), below -100 the power would overflow and funcs
// reports kModelFailed.
// Sampled at N x N points of each pixel (subsample N > 1), the profile term
// is the mean of a2 X^(-a8) over the points (x + o_k, y + o_l), k, l =
// 0..N-1, o_k = (k + 0.5) / N - 0.5 (pixels), and so are its derivatives;
// the plane stays at the pixel centre (its mean over the pixel). A point
// beyond the power limit adds nothing; one where the power would overflow
// fails the pixel. There the power is taken as exp(-a8 ln X), keeping ln X
// for the derivative by a8, and X^-(1+a8) as X^-a8 / X.
class Class_moffat_fit : public marquardt {
  public:
    using marquardt::marquardt;
    // The model sampled at subsample x subsample points of each pixel (taken
    // within 1..kMoffatMaxSubsample; 1 = the pixel centre, the model above).
    Class_moffat_fit(sci::MArray<double, 1> const& x, sci::MArray<double, 1> const& y,
                     sci::MArray<double, 1> const& z, sci::MArray<double, 1> const& sig,
                     sci::MArray<double, 1> const& a, sci::MArray<int, 1> const& ia, int subsample);

    // px, py: stamp indices (pixels); params: a(1..10); dyda: 1..10.
    int funcs(double px, double py, sci::MArray<double, 1> const& params, double& yfit,
              sci::MArray<double, 1>& dyda) override;

    // The same values and derivatives at many points (see marquardt): the
    // sine and cosine of a7 and the factors of the derivatives once per call;
    // the power limit decided from X against bounds set once per call, with
    // log10 only for X close to the limit; X^-(1+a8) and (at pixel centres)
    // ln X only in funcsDerivatives, and only for the free parameters that
    // need them. funcsValues keeps X^-a8 and the side of the limit of every
    // point (sub-sampled: of every sub-point, with ln X) for funcsDerivatives.
    // Parameters a(1..10) (other lengths: funcs at every point).
    int funcsValues(sci::MArray<double, 1> const& params, double const* px, double const* py, int n,
                    double* yfit) override;
    void funcsDerivatives(sci::MArray<double, 1> const& params, int const* free, int nfree,
                          double const* px, double const* py, int n, double* dfree) override;

  private:
    int subsample_ = 1;                      // N: the model at N x N points of each pixel
    std::vector<double> powerQ_;             // X^-a8 of every point of funcsValues (N = 1)
    std::vector<unsigned char> negligible_;  // 1: beyond the power limit (plane only)
    std::vector<MoffatSubPower> subPowers_;  // N > 1: the N x N sub-points of every point
                                             // of funcsValues, x offset fastest
};

// Makes the fitter that fmoffat runs on the data points x, y, z, sig (1..n)
// from the start values a(1..10) with the mask ia(1..10), the model sampled
// at subsample x subsample points of each pixel.
using MoffatFitterMaker = std::unique_ptr<marquardt> (*)(
    sci::MArray<double, 1> const& x, sci::MArray<double, 1> const& y,
    sci::MArray<double, 1> const& z, sci::MArray<double, 1> const& sig,
    sci::MArray<double, 1> const& a, sci::MArray<int, 1> const& ia, int subsample);

// The fitter of fmoffat: a Class_moffat_fit.
std::unique_ptr<marquardt> makeClassMoffatFit(sci::MArray<double, 1> const& x,
                                              sci::MArray<double, 1> const& y,
                                              sci::MArray<double, 1> const& z,
                                              sci::MArray<double, 1> const& sig,
                                              sci::MArray<double, 1> const& a,
                                              sci::MArray<int, 1> const& ia, int subsample);

// Fits the elliptical Moffat profile to the stamp image, weighted by the
// per-pixel standard errors in error (same index ranges). A pixel takes part
// when its value is finite and not 0.0, its error finite and > 0.0, and it lies
// within the circle (i - xcen)^2 + (j - ycen)^2 <= (r + 1) r, r = half the
// first dimension's index span.
// Parameters (a1..a10): background at index (0,0) (surface), amplitude, inverse
// widths along the two axes (1/pixel; xscale, yscale), centre (stamp indices;
// xcen, ycen), position angle of the first axis from x toward y (radian, in
// [-pi/4, pi/4]; angle), beta, background slopes along x and y (ax, ay).
// surface, ax, ay: kMoffatFitThis = fit, any other value = held at it.
// beta_min = beta_max holds beta at that value. xcen, ycen: in: star position
// in image pixels (first pixel = 1, stamp index 0 = the nearest pixel); they are
// reduced to stamp coordinates at entry. Arguments surface, ax, ay, xcen..beta
// receive the fit only when the status is kMoffatOk; nchi (sqrt(chisq/dof)) is
// always written. verbose > 2: one table row on standard output; > 3: also
// the fitter's parameter dumps. Returns one of the kMoffat status codes.
int fmoffat(sci::MArray<float, 2> const& image, sci::MArray<float, 2> const& error, float& surface,
            float& ax, float& ay, float beta_min, float beta_max, float fwhm_min, float fwhm_max,
            float& xcen, float& ycen, float& amplitude, float& xscale, float& yscale, float& angle,
            float& beta, float& nchi, int verbose);

// fmoffat with the table row and the dumps written to out, fitted by the
// fitter that makeFitter makes, with the model sampled at subsample x
// subsample points of each pixel (see Class_moffat_fit; taken within
// 1..kMoffatMaxSubsample; 1 = pixel centres, the form above). Thread safety:
// calls on several threads at once are safe when each has its own output
// arguments and its own out (the form above writes to std::cout, so it is
// safe only with verbose <= 2). The stamps are only read: fmoffat makes no
// view or copy that would change the (unsynchronised) reference count of
// their storage, so threads may share them.
int fmoffat(sci::MArray<float, 2> const& image, sci::MArray<float, 2> const& error, float& surface,
            float& ax, float& ay, float beta_min, float beta_max, float fwhm_min, float fwhm_max,
            float& xcen, float& ycen, float& amplitude, float& xscale, float& yscale, float& angle,
            float& beta, float& nchi, int verbose, std::ostream& out,
            MoffatFitterMaker makeFitter = makeClassMoffatFit, int subsample = 1);

// Full width at half maximum (pixels) of a Moffat profile with index beta and
// inverse width scale (1/pixel): 2 sqrt(2^(1/beta) - 1) / scale.
double moffatFwhm(double beta, double scale);

// Brings a fitted shape into its reported form: both inverse widths positive;
// the angle (radian) reduced to [0, pi); an axis closer to y than to x (angle
// in (pi/4, 3pi/4)) is exchanged with the other axis (scales and their errors
// swapped, angle - pi/2); an angle >= 3pi/4 becomes angle - pi. The first axis
// is then the one nearest to the x direction, angle in [-pi/4, pi/4].
// scale1, scale2: 1/pixel (a3, a4); angle: radian (a7); error1, error2: their errors.
void moffatNormalizeAxes(double& scale1, double& scale2, double& angle, double& error1,
                         double& error2);

// The stamp index of the pixel that holds the fitted centre c (a stamp
// coordinate in first..last): c truncated toward zero after subtracting 1 from
// a negative c, then kept within first..last (so a centre exactly on the first,
// negative, index stays on it instead of pointing one pixel outside).
int moffatCentrePixel(double c, int first, int last);

}  // namespace fit
