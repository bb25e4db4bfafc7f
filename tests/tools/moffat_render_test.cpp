// Rendering of mock stars: flux conservation, centroid, pixel means against a
// brute-force integral, the peak, clipping at the edge, and psfpick's Moffat
// fit recovering the rendered shape in the truth's convention.
#include "tools/moffat_render.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "sci/angles.h"
#include "tests/support/float_compare.h"
#include "tests/support/moffat_fit.h"
#include "tools/mock_field.h"

namespace {

using sci::kDegToRad;
constexpr long kSide = 161;  // image side for one star, pixels
constexpr double kFlux = 1.0e6;
// Beyond 2.5 FWHM pixels take the centre value, below the mean of the convex
// wings (about 1e-4 of the flux); the box loses about 1e-5 of it.
constexpr double kFluxTolerance = 2e-4;
constexpr double kTruncationTolerance = 2e-5;
// Gauss-Legendre pixel means against a 40 x 40 midpoint sum, of the peak.
constexpr double kPixelMeanTolerance = 1e-3;
constexpr double kCentroidTolerance = 1e-3;  // first moments of float pixels
constexpr double kFloatStorage = 1e-7;       // one float rounding
constexpr double kFloatSum = 1e-6;           // a float buffer against a double sum
constexpr double kAngleRounding = 1e-12;     // degrees through radians and fmod
// fmoffat on a noiseless star of its own model stops on its chi-square change
// criterion: widths to 0.2 %, angle to 0.2 deg, centre to 1e-3 pixel.
constexpr double kFitFwhmTolerance = 2e-3;
constexpr double kFitAngleToleranceDeg = 0.2;
constexpr double kFitCentreTolerance = 1e-3;
constexpr int kBox = 12;  // psfpick's stamp half side

tools::MoffatShape shape(double fwhm1, double fwhm2, double angleDeg) {
    tools::MoffatShape s;
    s.fwhm1 = fwhm1;
    s.fwhm2 = fwhm2;
    s.angle = angleDeg * kDegToRad;
    s.beta = 2.9;
    return s;
}

std::vector<float> render(tools::MoffatShape const& sh, double xc, double yc,
                          tools::Sampling sampling) {
    std::vector<float> image(kSide * kSide, 0.0f);
    tools::addMoffatStar(image, kSide, kSide, xc, yc, kFlux, sh, 80, sampling);
    return image;
}

TEST(MoffatRender, ConservesFluxAndCentroid) {
    tools::MoffatShape const sh = shape(4.0, 3.0, 30.0);
    std::vector<float> const image = render(sh, 81.3, 80.8, tools::Sampling::kIntegrated);
    double sum = 0, sx = 0, sy = 0;
    for (long y = 1; y <= kSide; ++y)
        for (long x = 1; x <= kSide; ++x) {
            double const v = image[static_cast<size_t>((y - 1) * kSide + (x - 1))];
            sum += v;
            sx += v * static_cast<double>(x);
            sy += v * static_cast<double>(y);
        }
    // The box of half side 80 holds at least the circle of radius 79.
    EXPECT_GT(tools::moffatEnclosed(tools::moffatAlpha(sh.fwhm1, sh.beta), sh.beta, 79.0),
              1.0 - kTruncationTolerance);
    EXPECT_CLOSE(sum / kFlux, 1.0, kFluxTolerance);
    EXPECT_NEAR(sx / sum, 81.3, kCentroidTolerance);
    EXPECT_NEAR(sy / sum, 80.8, kCentroidTolerance);
}

TEST(MoffatRender, PixelMeansMatchABruteForceIntegral) {
    constexpr int kSub = 40;
    for (double const fwhm : {1.5, 3.0, 6.0}) {
        tools::MoffatShape const sh = shape(fwhm, 0.7 * fwhm, -20.0);
        std::vector<float> const image = render(sh, 81.37, 80.61, tools::Sampling::kIntegrated);
        double const peak = tools::moffatPeak(sh, kFlux);
        for (long y = 74; y <= 88; ++y)
            for (long x = 74; x <= 88; ++x) {
                double mean = 0;
                for (int j = 0; j < kSub; ++j)
                    for (int i = 0; i < kSub; ++i)
                        mean += tools::moffatValue(sh, peak, x - 0.5 + (i + 0.5) / kSub - 81.37,
                                                   y - 0.5 + (j + 0.5) / kSub - 80.61);
                EXPECT_NEAR(image[static_cast<size_t>((y - 1) * kSide + (x - 1))],
                            mean / (kSub * kSub), kPixelMeanTolerance * peak)
                    << "fwhm " << fwhm << " pixel " << x << "," << y;
            }
    }
}

// The fit on a noiseless centre-sampled star returns the rendered widths and
// angle in psfpick's convention (psfAxes), and the centre.
TEST(MoffatRender, PsfpickFitRecoversTheRenderedShape) {
    for (double const angle : {0.0, 25.0, 70.0, 100.0, -30.0}) {
        SCOPED_TRACE(angle);
        tools::MoffatShape const sh = shape(5.0, 4.0, angle);
        std::vector<float> const image = render(sh, 81.2, 80.7, tools::Sampling::kCentre);
        testsupport::Stamp stamp = testsupport::constantStamp(kBox, 0.0f);
        for (int j = -kBox; j <= kBox; ++j)
            for (int i = -kBox; i <= kBox; ++i)
                stamp(i, j) = image[static_cast<size_t>((80 + j) * kSide + 80 + i)];
        testsupport::MoffatCall c;
        c.xcen = 81.2f;
        c.ycen = 80.7f;
        c.run(stamp, testsupport::constantStamp(kBox, 1.0f));
        ASSERT_EQ(c.status, fit::kMoffatOk);
        double f1 = 0, f2 = 0, a = 0;
        tools::psfAxes(sh, f1, f2, a);
        EXPECT_CLOSE(c.fwhm1(), f1, kFitFwhmTolerance);
        EXPECT_CLOSE(c.fwhm2(), f2, kFitFwhmTolerance);
        EXPECT_NEAR(c.angle / kDegToRad, a, kFitAngleToleranceDeg);
        EXPECT_NEAR(c.xcen, 0.2, kFitCentreTolerance);
        EXPECT_NEAR(c.ycen, -0.3, kFitCentreTolerance);
    }
}

TEST(MoffatRender, AxesFoldIntoThePsfpickConvention) {
    struct Case {
        double angle, f1, f2, folded;
    };
    // Nearer to y: axes swap; beyond 90 from x: folded.
    for (Case const& k : {Case{100, 3, 5, 10}, Case{170, 5, 3, -10}, Case{-30, 5, 3, -30}}) {
        double f1 = 0, f2 = 0, a = 0;
        tools::psfAxes(shape(5, 3, k.angle), f1, f2, a);
        EXPECT_EQ(f1, k.f1) << k.angle;
        EXPECT_EQ(f2, k.f2) << k.angle;
        EXPECT_NEAR(a, k.folded, kAngleRounding) << k.angle;
    }
}

// The radius reaches the floor within its limits; a star near a corner is
// clipped to the image and writes nothing outside.
TEST(MoffatRender, RadiusAndClippingAtTheEdge) {
    tools::MoffatShape const sh = shape(4.0, 4.0, 0.0);
    int const r = tools::renderRadius(sh, 1000.0, 0.1, 256);
    EXPECT_LE(tools::moffatValue(sh, 1000.0, r, 0), 0.1);
    EXPECT_GT(tools::moffatValue(sh, 1000.0, r - 1, 0), 0.1);
    EXPECT_EQ(tools::renderRadius(sh, 1000.0, 1e-12, 30), 30);
    EXPECT_EQ(tools::renderRadius(sh, 0.01, 0.1, 256), 8);  // two fwhm at least
    std::vector<float> image(10 * 10, 0.0f);
    double const added = tools::addMoffatStar(image, 10, 10, 0.6, 10.2, 100.0, shape(3, 3, 0), 50,
                                              tools::Sampling::kIntegrated);
    double sum = 0;
    for (float v : image) sum += v;
    EXPECT_CLOSE(sum, added, kFloatSum);
    EXPECT_GT(added, 10.0);
    EXPECT_LT(added, 50.0);
    // A centre-sampled star on a pixel peaks there.
    std::vector<float> const centred = render(sh, 81.0, 81.0, tools::Sampling::kCentre);
    EXPECT_CLOSE(centred[static_cast<size_t>(80 * kSide + 80)], tools::moffatPeak(sh, kFlux),
                 kFloatStorage);
}

}  // namespace
