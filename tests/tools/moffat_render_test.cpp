// Rendering of mock stars: flux conservation and centroid, and the truth's
// axes in psfpick's convention.
#include "tools/moffat_render.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "sci/angles.h"
#include "tests/support/float_compare.h"
#include "tools/mock_field.h"

namespace {

using sci::kDegToRad;
constexpr long kSide = 161;  // image side for one star, pixels
constexpr double kFlux = 1.0e6;
// Beyond 2.5 FWHM pixels take the centre value, below the mean of the convex
// wings (about 1e-4 of the flux); the box loses about 1e-5 of it.
constexpr double kFluxTolerance = 2e-4;
constexpr double kTruncationTolerance = 2e-5;
constexpr double kCentroidTolerance = 1e-3;  // first moments of float pixels
constexpr double kAngleRounding = 1e-12;     // degrees through radians and fmod
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
    std::vector<float> image(kSide * kSide, 0.0f);
    tools::addMoffatStar(image, kSide, kSide, 81.3, 80.8, kFlux, sh, 80,
                         tools::Sampling::kIntegrated);
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

}  // namespace
