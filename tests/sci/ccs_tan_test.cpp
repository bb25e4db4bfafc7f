// The tangent-plane projection where asin leaves its domain. The projection itself is
// cross-checked against wcslib in ccs_tan_xcheck_test.cpp.
#include "sci/ccs_tan.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using Vec2 = sci::FVector<double, 2>;
using Mat2 = sci::FMatrix<double, 2, 2>;

// Pixel (100, 100) at (ra0, dec0), 1e-4 degree pixels, the first axis flipped.
sci::CCS_TAN standardTan(double ra0, double dec0, Mat2 const& pc = Mat2::identity()) {
    return sci::CCS_TAN(Vec2(100, 100), pc, Vec2(-1e-4, 1e-4), Vec2(ra0, dec0));
}

TEST(CcsTan, AsinArgumentsRoundedBeyondOneGiveNoNaN) {
    // For these references sin(d)^2 + cos(d)^2 rounds to 1 + 2^-52, outside asin's
    // domain; they must land on the reference pixel. With 1e-4 degree pixels theta
    // is still off by up to ~1.5e-8 radian = 0.01 pixel (asin near 1).
    constexpr double kReferenceTol = 0.05;
    std::vector<std::pair<double, double>> const refs = {
        {150, 0.0074}, {150, -89.92}, {150, 0.0128}};
    for (auto [ra0, dec0] : refs) {
        Vec2 const pixel = standardTan(ra0, dec0).solve_inv(Vec2(ra0, dec0));
        ASSERT_NEAR(pixel(1), 100, kReferenceTol) << ra0 << " " << dec0;
        ASSERT_NEAR(pixel(2), 100, kReferenceTol) << ra0 << " " << dec0;
    }
    // Found by search: a pixel on the north pole where the sum rounds to 1 + 2^-52.
    double const dec0 = 89.939337301989639, scale = 0.00062090762243883048;
    sci::CCS_TAN const tan(Vec2(0, 0), Mat2::identity(), Vec2(-scale, scale), Vec2(10, dec0));
    Vec2 const sky = tan.solve(Vec2(0, 97.700037521630904));
    EXPECT_FALSE(std::isnan(sky(1)));
    EXPECT_EQ(sky(2), 90.0);
}

}  // namespace
