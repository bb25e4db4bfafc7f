// Rendering of mock stars: flux conservation, centroid, pixel means against a
// brute-force integral, the half-maximum width of centre-sampled stars, and
// the psfpick Moffat fit recovering the rendered shape.
#include "tools/moffat_render.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "fit/moffat.h"
#include "sci/marray.h"
#include "tests/support/float_compare.h"
#include "tools/mock_field.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kDegToRad = kPi / 180.0;
constexpr long kSide = 161;  // image side for one star, pixels
constexpr double kFlux = 1.0e6;

// Beyond 2.5 FWHM pixels take the centre value, which lies below the mean of
// the convex wings: about 1e-4 of the flux in all. The truncation beyond the
// box is about 1e-5 of the flux with the radius used here.
constexpr double kFluxTolerance = 2e-4;
constexpr double kTruncationTolerance = 2e-5;
// The quadrature (3 x 3 and 2 x 2 Gauss-Legendre) against a 40 x 40 midpoint
// sum: well below the 1e-3 of the peak that matters for a fit.
constexpr double kPixelMeanTolerance = 1e-3;
// Half-maximum crossings found by bisection on the exact profile.
constexpr double kHalfMaxTolerance = 1e-6;
// fmoffat on a noiseless centre-sampled star of its own model: the widths to
// a small part of a percent (the fit stops on its chi-square change criterion).
constexpr double kFitFwhmTolerance = 2e-3;
constexpr double kFitAngleToleranceDeg = 0.2;
// The first moments of ~25,000 float pixels; the truncated wings are
// symmetric about the centre.
constexpr double kCentroidTolerance = 1e-3;
// One float rounding.
constexpr double kFloatStorage = 1e-7;
// The fitted centre of a noiseless star, pixels.
constexpr double kFitCentreTolerance = 1e-3;
// Degrees through radians and two fmod calls.
constexpr double kAngleRounding = 1e-12;
// A float buffer summed against the double sum of what was added to it.
constexpr double kFloatSum = 1e-6;

struct Star {
    std::vector<float> image;
    double xc, yc;
    tools::MoffatShape shape;
};

Star render(tools::MoffatShape const& shape, double xc, double yc, tools::Sampling sampling,
            int radius = 80) {
    Star s{std::vector<float>(kSide * kSide, 0.0f), xc, yc, shape};
    tools::addMoffatStar(s.image, kSide, kSide, xc, yc, kFlux, shape, radius, sampling);
    return s;
}

tools::MoffatShape shape(double fwhm1, double fwhm2, double angleDeg) {
    tools::MoffatShape s;
    s.fwhm1 = fwhm1;
    s.fwhm2 = fwhm2;
    s.angle = angleDeg * kDegToRad;
    s.beta = 2.9;
    return s;
}

TEST(MoffatRender, ConservesFluxAndCentroid) {
    tools::MoffatShape const sh = shape(4.0, 3.0, 30.0);
    Star const s = render(sh, 81.3, 80.8, tools::Sampling::kIntegrated);
    double sum = 0, sx = 0, sy = 0;
    for (long y = 1; y <= kSide; ++y)
        for (long x = 1; x <= kSide; ++x) {
            double const v = s.image[static_cast<size_t>((y - 1) * kSide + (x - 1))];
            sum += v;
            sx += v * static_cast<double>(x);
            sy += v * static_cast<double>(y);
        }
    // The square box of half side 80 holds at least the flux of the circle of
    // radius 80 around the centre: 1 - (1 + r^2/alpha2^2)^(1 - beta) of it.
    double const inner =
        tools::moffatEnclosed(tools::moffatAlpha(sh.fwhm1, sh.beta), sh.beta, 79.0);
    EXPECT_GT(inner, 1.0 - kTruncationTolerance);
    EXPECT_CLOSE(sum / kFlux, 1.0, kFluxTolerance);
    // The profile is symmetric about its centre.
    EXPECT_NEAR(sx / sum, s.xc, kCentroidTolerance);
    EXPECT_NEAR(sy / sum, s.yc, kCentroidTolerance);
}

TEST(MoffatRender, PixelMeansMatchABruteForceIntegral) {
    for (double const fwhm : {1.5, 3.0, 6.0}) {
        tools::MoffatShape const sh = shape(fwhm, 0.7 * fwhm, -20.0);
        Star const s = render(sh, 81.37, 80.61, tools::Sampling::kIntegrated);
        double const peak = tools::moffatPeak(sh, kFlux);
        constexpr int kSub = 40;
        for (long y = 74; y <= 88; ++y)
            for (long x = 74; x <= 88; ++x) {
                double mean = 0;
                for (int j = 0; j < kSub; ++j)
                    for (int i = 0; i < kSub; ++i)
                        mean += tools::moffatValue(sh, peak, x - 0.5 + (i + 0.5) / kSub - s.xc,
                                                   y - 0.5 + (j + 0.5) / kSub - s.yc);
                mean /= kSub * kSub;
                double const got = s.image[static_cast<size_t>((y - 1) * kSide + (x - 1))];
                EXPECT_NEAR(got, mean, kPixelMeanTolerance * peak)
                    << "fwhm " << fwhm << " pixel " << x << "," << y;
            }
    }
}

// Along the major axis at angle 0 the profile of a centre-sampled star falls
// to half its peak exactly fwhm1 / 2 from the centre.
TEST(MoffatRender, CentreSampledWidthsAtHalfMaximumAreTheTruth) {
    tools::MoffatShape const sh = shape(5.0, 3.5, 0.0);
    double const peak = tools::moffatPeak(sh, kFlux);
    auto crossing = [&](double ux, double uy) {
        double lo = 0, hi = 20;
        while (hi - lo > 1e-9) {
            double const mid = 0.5 * (lo + hi);
            (tools::moffatValue(sh, peak, mid * ux, mid * uy) > 0.5 * peak ? lo : hi) = mid;
        }
        return 2 * lo;
    };
    EXPECT_NEAR(crossing(1, 0), 5.0, kHalfMaxTolerance);
    EXPECT_NEAR(crossing(0, 1), 3.5, kHalfMaxTolerance);
    // The rendered centre pixel of a star centred on a pixel is the peak.
    Star const s = render(sh, 81.0, 81.0, tools::Sampling::kCentre);
    EXPECT_CLOSE(s.image[static_cast<size_t>(80 * kSide + 80)], peak, kFloatStorage);
}

// The psfpick fit (beta held at 2.9, background 0) on a centre-sampled star
// returns the rendered widths and angle in its own convention.
TEST(MoffatRender, PsfpickFitRecoversTheRenderedShape) {
    constexpr int kBox = 12;
    for (double const angle : {0.0, 25.0, 70.0, 100.0, -30.0}) {
        tools::MoffatShape const sh = shape(5.0, 4.0, angle);
        Star const s = render(sh, 81.2, 80.7, tools::Sampling::kCentre);
        sci::MArray<float, 2> image(sci::Range(-kBox, kBox), sci::Range(-kBox, kBox));
        sci::MArray<float, 2> error(sci::Range(-kBox, kBox), sci::Range(-kBox, kBox));
        for (int j = -kBox; j <= kBox; ++j)
            for (int i = -kBox; i <= kBox; ++i) {
                image(i, j) = s.image[static_cast<size_t>((81 + j - 1) * kSide + (81 + i - 1))];
                error(i, j) = 1.0f;
            }
        float surface = 0, ax = 0, ay = 0, xcen = 81.2f, ycen = 80.7f;
        float amplitude = 0, xscale = 0, yscale = 0, fitAngle = 0, beta = 0, nchi = 0;
        int const status = fmoffat(image, error, surface, ax, ay, 2.9f, 2.9f, 1.0f, 20.0f, xcen,
                                   ycen, amplitude, xscale, yscale, fitAngle, beta, nchi, 0);
        ASSERT_EQ(status, kMoffatOk) << "angle " << angle;
        double f1 = 0, f2 = 0, a = 0;
        tools::psfAxes(sh, f1, f2, a);
        double const k = 2.0 * std::sqrt(std::pow(2.0, 1.0 / beta) - 1.0);
        EXPECT_CLOSE(k / xscale, f1, kFitFwhmTolerance) << "angle " << angle;
        EXPECT_CLOSE(k / yscale, f2, kFitFwhmTolerance) << "angle " << angle;
        EXPECT_NEAR(fitAngle / kDegToRad, a, kFitAngleToleranceDeg) << "angle " << angle;
        EXPECT_NEAR(xcen, 0.2, kFitCentreTolerance);
        EXPECT_NEAR(ycen, -0.3, kFitCentreTolerance);
    }
}

TEST(MoffatRender, AxesFoldIntoThePsfpickConvention) {
    double f1 = 0, f2 = 0, a = 0;
    tools::psfAxes(shape(5, 3, 100), f1, f2, a);  // nearer to y: axes swap
    EXPECT_EQ(f1, 3.0);
    EXPECT_EQ(f2, 5.0);
    EXPECT_NEAR(a, 10.0, kAngleRounding);
    tools::psfAxes(shape(5, 3, 170), f1, f2, a);  // same axis, folded
    EXPECT_EQ(f1, 5.0);
    EXPECT_NEAR(a, -10.0, kAngleRounding);
    tools::psfAxes(shape(5, 3, -30), f1, f2, a);
    EXPECT_EQ(f1, 5.0);
    EXPECT_NEAR(a, -30.0, kAngleRounding);
}

TEST(MoffatRender, RadiusReachesTheFloorWithinItsLimits) {
    tools::MoffatShape const sh = shape(4.0, 4.0, 0.0);
    double const peak = 1000.0;
    int const r = tools::renderRadius(sh, peak, 0.1, 256);
    // The profile at r is at most the floor, one pixel inside it is above.
    EXPECT_LE(tools::moffatValue(sh, peak, r, 0), 0.1);
    EXPECT_GT(tools::moffatValue(sh, peak, r - 1, 0), 0.1);
    EXPECT_EQ(tools::renderRadius(sh, peak, 1e-12, 30), 30);
    EXPECT_EQ(tools::renderRadius(sh, 0.01, 0.1, 256), 8);  // two fwhm at least
}

// A star near a corner is clipped to the image and writes nothing outside.
TEST(MoffatRender, StarAtTheEdgeStaysInsideTheBuffer) {
    std::vector<float> image(10 * 10, 0.0f);
    double const added = tools::addMoffatStar(image, 10, 10, 0.6, 10.2, 100.0, shape(3, 3, 0), 50,
                                              tools::Sampling::kIntegrated);
    double sum = 0;
    for (float v : image) sum += v;
    EXPECT_CLOSE(sum, added, kFloatSum);
    EXPECT_GT(added, 10.0);
    EXPECT_LT(added, 50.0);
}

}  // namespace
