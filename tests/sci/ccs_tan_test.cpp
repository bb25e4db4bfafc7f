// The tangent-plane projection against textbook gnomonic formulas, at special
// references (poles, multiples of 90 degrees) and where asin leaves its domain.
// General headers are cross-checked against wcslib in ccs_tan_xcheck_test.cpp.
#include "sci/ccs_tan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "sci/exceptions.h"
#include "tests/support/float_compare.h"
#include "tests/support/messages.h"

namespace {

using Vec2 = sci::FVector<double, 2>;
using Mat2 = sci::FMatrix<double, 2, 2>;

// A few roundings of a final product or of asin, relative.
constexpr double kRoundingTol = 1e-15;
// Textbook gnomonic formulas against ours, degrees: both well conditioned away
// from the poles, they differ by rounding only.
constexpr double kFormulaTolDeg = 1e-12;
// A declination from asin(z) with z near 1, 1e-3 degree from a pole: a rounding of
// z (1.1e-16) moves it by 1.1e-16 / sin(1e-3 degree) radian = 3.6e-10 degree.
constexpr double kNearPoleTolDeg = 1e-9;
// Pixels: the asin that yields theta near pi/2 in solve_inv loses about
// 1.1e-16 / rho radian at a distance rho from the reference point; 1e-6 pixel
// holds from a few hundred pixels of 1e-3 degree on.
constexpr double kPixelTol = 1e-6;

// The gnomonic projection in standard coordinates (xi east, eta north, degrees)
// about (ra0, dec0), from spherical trigonometry: sky from plane and plane from sky.
Vec2 textbookSky(double ra0, double dec0, double xiDeg, double etaDeg) {
    double const a0 = ra0 * sci::kDegToRad, d0 = dec0 * sci::kDegToRad;
    double const xi = xiDeg * sci::kDegToRad, eta = etaDeg * sci::kDegToRad;
    double const denom = std::cos(d0) - eta * std::sin(d0);
    double const ra = a0 + std::atan2(xi, denom);
    double const dec = std::atan2(std::sin(d0) + eta * std::cos(d0), std::hypot(xi, denom));
    return Vec2(ra * sci::kRadToDeg, dec * sci::kRadToDeg);
}

Vec2 textbookPlane(double ra0, double dec0, double ra, double dec) {
    double const a0 = ra0 * sci::kDegToRad, d0 = dec0 * sci::kDegToRad;
    double const a = ra * sci::kDegToRad, d = dec * sci::kDegToRad;
    double const cosc = std::sin(d) * std::sin(d0) + std::cos(d) * std::cos(d0) * std::cos(a - a0);
    double const xi = std::cos(d) * std::sin(a - a0) / cosc;
    double const eta =
        (std::sin(d) * std::cos(d0) - std::cos(d) * std::sin(d0) * std::cos(a - a0)) / cosc;
    return Vec2(xi * sci::kRadToDeg, eta * sci::kRadToDeg);
}

// Pixel (100, 100) at (ra0, dec0), 1e-4 degree pixels, the first axis flipped.
sci::CCS_TAN standardTan(double ra0 = 150.0, double dec0 = 30.0) {
    return sci::CCS_TAN(Vec2(100, 100), Mat2::identity(), Vec2(-1e-4, 1e-4), Vec2(ra0, dec0));
}

TEST(ExactDegreeTrig, IsExactAtMultiplesOf90AndLibraryElsewhere) {
    struct Row {
        double deg, cos, sin;
    };
    for (Row const& r : {Row{0, 1, 0}, Row{90, 0, 1}, Row{-90, 0, -1}, Row{180, -1, 0},
                         Row{-180, -1, 0}, Row{270, 0, -1}, Row{-270, 0, 1}, Row{360, 1, 0},
                         Row{450, 0, 1}, Row{-450, 0, -1}, Row{540, -1, 0}}) {
        EXPECT_EQ(sci::cosDegExact(r.deg), r.cos) << r.deg;
        EXPECT_EQ(sci::sinDegExact(r.deg), r.sin) << r.deg;
    }
    EXPECT_EQ(sci::cosDegExact(-30), std::cos(30 * sci::kDegToRad));
    EXPECT_EQ(sci::sinDegExact(-30), std::sin(-30 * sci::kDegToRad));
    EXPECT_EQ(sci::sinDegExact(390), std::sin(30 * sci::kDegToRad));
}

// phi_p is 0 only from dec0 = 90 degrees (pi/2 <= delta0) on; sine and cosine
// of the reference declination are exact at multiples of 90 degrees.
TEST(CcsTan, RotationOfTheReference) {
    sci::CCS_TAN const tan = standardTan();
    EXPECT_EQ(tan.getTheta0(), sci::kHalfPi);
    EXPECT_EQ(tan.getThetaP(), sci::kHalfPi);
    EXPECT_EQ(tan.getRef(), Vec2(150 * 0.017453292519943295, 30 * 0.017453292519943295));
    EXPECT_EQ(tan.getPole(), tan.getRef());
    struct Row {
        double dec0, phiP, cosDp, sinDp;
    };
    for (Row const& r :
         {Row{90, 0, 0, 1}, Row{-90, sci::kPi, 0, -1}, Row{0, sci::kPi, 1, 0}, Row{180, 0, -1, 0},
          Row{30, sci::kPi, std::cos(30 * sci::kDegToRad), std::sin(30 * sci::kDegToRad)}}) {
        sci::CCS_TAN const t = standardTan(150, r.dec0);
        EXPECT_EQ(t.getPhiP(), r.phiP) << r.dec0;
        EXPECT_EQ(t.getCosDp(), r.cosDp) << r.dec0;
        EXPECT_EQ(t.getSinDp(), r.sinDp) << r.dec0;
    }
    EXPECT_EQ(standardTan(150, 89.999).getPhiP(), sci::kPi);
}

TEST(CcsTan, ReferencePixelMapsToTheReferencePoint) {
    // The declination is asin(sin_dp + cos(theta) cos_dp) with theta the double
    // nearest pi/2, whose cosine is 6.1e-17 radian = 3.5e-15 degree, not 0.
    constexpr double kReferenceDecTolDeg = 1e-14;
    for (double dec0 : {30.0, 0.0, -45.0, 60.0}) {
        Vec2 const sky = standardTan(150, dec0).solve(Vec2(100, 100));
        EXPECT_EQ(sky(1), 150.0) << dec0;  // alpha_p + atan2(-0, positive), exactly
        EXPECT_CLOSE(sky(2), dec0, kReferenceDecTolDeg) << dec0;
    }
    // At the pole cos_dp = 0 exactly, and asin(1) is the double nearest pi/2.
    EXPECT_EQ(standardTan(150, 90).solve(Vec2(100, 100)), Vec2(150, 90));
    // Straight north stays on the reference meridian exactly.
    EXPECT_EQ(standardTan().solve(Vec2(100, 110))(1), 150.0);
}

TEST(CcsTan, PolarReferencesFollowTheNativeLongitudeOfThePole) {
    // At dec0 = 90, phi_p = 0 and alpha = alpha_p + phi - 180 degrees: the +y axis
    // runs along alpha_p, the +x axis (phi = -90) along alpha_p + 90. At dec0 = -90,
    // phi_p = 180: alpha = alpha_p + atan2(sin phi, -cos phi).
    struct Row {
        double dec0, x, y, ra, dec;
    };
    for (Row const& r : {Row{90, 100, 110, 150, 89.999}, Row{90, 110, 100, 240, 89.999},
                         Row{-90, 100, 110, 150, -89.999}, Row{-90, 110, 100, 60, -89.999}}) {
        Vec2 const sky = standardTan(150, r.dec0).solve(Vec2(r.x, r.y));
        EXPECT_CLOSE(sky(1), r.ra, kFormulaTolDeg) << r.dec0 << " " << r.x;
        EXPECT_CLOSE(sky(2), r.dec, kNearPoleTolDeg) << r.dec0 << " " << r.x;
    }
}

// Random references and pixels, with a linear transformation that rotates by
// 30 degrees and stretches one row: both directions against the textbook.
TEST(CcsTan, BothDirectionsMatchTheTextbookProjection) {
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> ra0s(0, 360), dec0s(-85, 85), offset(300, 1500);
    std::bernoulli_distribution flip(0.5);
    double const c = std::cos(30 * sci::kDegToRad), s = std::sin(30 * sci::kDegToRad);
    for (Mat2 const& m : {Mat2::identity(), Mat2(c, -1.5 * s, s, 1.5 * c)}) {
        for (int i = 0; i < 300; ++i) {
            double const ra0 = ra0s(random), dec0 = dec0s(random);
            sci::CCS_TAN const tan(Vec2(512, 400), m, Vec2(-1e-3, 1e-3), Vec2(ra0, dec0));
            Vec2 const pixel(512 + (flip(random) ? 1 : -1) * offset(random),
                             400 + (flip(random) ? 1 : -1) * offset(random));
            double const dx = pixel(1) - 512, dy = pixel(2) - 400;
            Vec2 const expected = textbookSky(ra0, dec0, -1e-3 * (m(1, 1) * dx + m(1, 2) * dy),
                                              1e-3 * (m(2, 1) * dx + m(2, 2) * dy));
            Vec2 const sky = tan.solve(pixel);
            EXPECT_CLOSE(sky(2), expected(2), kFormulaTolDeg);
            // Right ascension is not folded: it stays within 180 degrees of ra0.
            EXPECT_LE(std::fabs(sky(1) - ra0), 180.0);
            EXPECT_CLOSE(sky(1), expected(1), kFormulaTolDeg);
            Vec2 const back = tan.solve_inv(sky);
            EXPECT_CLOSE(back(1), pixel(1), kPixelTol);
            EXPECT_CLOSE(back(2), pixel(2), kPixelTol);
        }
    }
    // Sky to pixel takes right ascension modulo 360: 359 is 2 degrees east of 1.
    sci::CCS_TAN const tan = standardTan(1, 0);
    Vec2 const pixel = tan.solve_inv(Vec2(359, 0.5));
    Vec2 const plane = textbookPlane(1, 0, 359, 0.5);
    EXPECT_CLOSE(pixel(1), 100 + plane(1) / -1e-4, kPixelTol);
    EXPECT_CLOSE(pixel(2), 100 + plane(2) / 1e-4, kPixelTol);
    EXPECT_CLOSE(tan.solve(pixel)(1), -1.0, kFormulaTolDeg);  // within 180 of ra0
}

TEST(CcsTan, SingularMatricesAreReportedByKind) {
    double const nan = std::numeric_limits<double>::quiet_NaN();
    struct Row {
        Mat2 pc;
        char const* message;
    };
    // With NaN no element qualifies as the first pivot; after a first pivot of 1
    // the elimination leaves only NaN, and the second step takes column 1 again.
    for (Row const& r :
         {Row{Mat2(0, 0, 0, 0), "Singular matrix in Gauss-Jordan"},
          Row{Mat2(1, 2, 2, 4), "Singular matrix in Gauss-Jordan"},
          Row{Mat2(nan, nan, nan, nan), "Could not find pivot"},
          Row{Mat2(1, nan, nan, nan), "in Pivot of Gauss-Jordan"}, Row{Mat2(2, 1, 1, 3), ""}}) {
        sci::CCS_TAN const tan(Vec2(100, 100), r.pc, Vec2(-1e-4, 1e-4), Vec2(150, 30));
        EXPECT_EQ(testsupport::messageOf<sci::SingularMatrixException>(
                      [&] { tan.solve_inv(Vec2(150.001, 30.002)); }),
                  r.message);
    }
    // solve never throws: with M = 0 every pixel lands on the reference point.
    sci::CCS_TAN const tan(Vec2(100, 100), Mat2(), Vec2(-1e-4, 1e-4), Vec2(150, 30));
    EXPECT_THROW(tan.solve_inv(Vec2(150, 30)), sci::SingularMatrixException);
    Vec2 const sky = tan.solve(Vec2(300, -20));
    EXPECT_EQ(sky(1), 150.0);
    EXPECT_CLOSE(sky(2), 30.0, kRoundingTol);
}

TEST(CcsTan, AsinArgumentsRoundedBeyondOneGiveNoNaN) {
    // For these references sin(d)^2 + cos(d)^2 rounds to 1 + 2^-52, outside asin's
    // domain; they must land on the reference pixel. With 1e-4 degree pixels theta
    // is still off by up to ~1.5e-8 radian = 0.01 pixel (asin near 1).
    constexpr double kReferenceTol = 0.05;
    std::vector<std::pair<double, double>> refs = {{150, 0.0074}, {150, -89.92}, {150, 0.0128}};
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> ra0s(0, 360), dec0s(-90, 90);
    for (int i = 0; i < 2000; ++i) refs.emplace_back(ra0s(random), dec0s(random));
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
