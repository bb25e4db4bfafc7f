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

// An independent yardstick: the gnomonic projection in standard coordinates
// (xi east, eta north, degrees) about (ra0, dec0), from spherical trigonometry.
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

// The projection of most tests: pixel (100, 100) at (150, 30), 1e-4 degree pixels,
// the first axis flipped as on the sky.
sci::CCS_TAN standardTan(double ra0 = 150.0, double dec0 = 30.0) {
    return sci::CCS_TAN(Vec2(100, 100), Mat2::identity(), Vec2(-1e-4, 1e-4), Vec2(ra0, dec0));
}

// The message of the SingularMatrixException that solve_inv throws, or "" if none.
std::string solveInvError(Mat2 const& pc) {
    sci::CCS_TAN const tan(Vec2(100, 100), pc, Vec2(-1e-4, 1e-4), Vec2(150, 30));
    return testsupport::messageOf<sci::SingularMatrixException>(
        [&] { tan.solve_inv(Vec2(150.001, 30.002)); });
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
    EXPECT_EQ(sci::cosDegExact(30), std::cos(30 * sci::kDegToRad));
    EXPECT_EQ(sci::cosDegExact(-30), std::cos(30 * sci::kDegToRad));
    EXPECT_EQ(sci::sinDegExact(-30), std::sin(-30 * sci::kDegToRad));
    EXPECT_EQ(sci::sinDegExact(390), std::sin(30 * sci::kDegToRad));
}

TEST(CcsTan, ConstructorSetsTheRotationOfAnOrdinaryReference) {
    sci::CCS_TAN const tan = standardTan();
    EXPECT_EQ(tan.getCrpix(), Vec2(100, 100));
    EXPECT_EQ(tan.getPc(), Mat2::identity());
    EXPECT_EQ(tan.getCdelt(), Vec2(-1e-4, 1e-4));
    EXPECT_EQ(tan.getTheta0(), sci::kHalfPi);
    EXPECT_EQ(tan.getThetaP(), sci::kHalfPi);
    EXPECT_EQ(tan.getRef(), Vec2(150 * 0.017453292519943295, 30 * 0.017453292519943295));
    EXPECT_EQ(tan.getPole(), tan.getRef());
    EXPECT_EQ(tan.getPhiP(), sci::kPi);
    EXPECT_EQ(tan.getCosDp(), std::cos(30 * sci::kDegToRad));
    EXPECT_EQ(tan.getSinDp(), std::sin(30 * sci::kDegToRad));
}

TEST(CcsTan, ReferenceDeclinationsAtMultiplesOf90GiveExactSineAndCosine) {
    struct Row {
        double dec0, phiP, cosDp, sinDp;
    };
    // phi_p is 0 only from dec0 = 90 degrees (pi/2 <= delta0) on.
    for (Row const& r : {Row{90, 0, 0, 1}, Row{-90, sci::kPi, 0, -1}, Row{0, sci::kPi, 1, 0},
                         Row{180, 0, -1, 0}}) {
        sci::CCS_TAN const tan = standardTan(150, r.dec0);
        EXPECT_EQ(tan.getPhiP(), r.phiP) << r.dec0;
        EXPECT_EQ(tan.getCosDp(), r.cosDp) << r.dec0;
        EXPECT_EQ(tan.getSinDp(), r.sinDp) << r.dec0;
    }
    EXPECT_EQ(standardTan(150, 89.999).getPhiP(), sci::kPi);
}

TEST(CcsTan, ReferencePixelMapsToTheReferencePoint) {
    // The declination is asin(sin_dp + cos(theta) cos_dp) with theta the double
    // nearest pi/2, whose cosine is 6.1e-17 radian = 3.5e-15 degree, not 0.
    constexpr double kReferenceDecTolDeg = 1e-14;
    for (double dec0 : {30.0, 0.0, -45.0, 60.0}) {
        sci::CCS_TAN const tan = standardTan(150, dec0);
        Vec2 const sky = tan.solve(Vec2(100, 100));
        // The right ascension is alpha_p + atan2(-0, positive) = alpha_p exactly.
        EXPECT_EQ(sky(1), tan.getPole()(1) * sci::kRadToDeg) << dec0;
        EXPECT_EQ(sky(1), 150.0) << dec0;
        EXPECT_CLOSE(sky(2), dec0, kReferenceDecTolDeg) << dec0;
    }
    // At the pole cos_dp = 0 exactly, and asin(1) is the double nearest pi/2.
    EXPECT_EQ(standardTan(150, 90).solve(Vec2(100, 100)), Vec2(150, 90));
}

TEST(CcsTan, OffsetsAlongTheAxesGoWestAndNorth) {
    sci::CCS_TAN const tan = standardTan();
    // One axis step of 10 pixels: 1e-3 degree in the projection plane; the first
    // axis points west (cdelt1 < 0).
    Vec2 const west = tan.solve(Vec2(110, 100));
    EXPECT_LT(west(1), 150.0);
    EXPECT_LT(west(2), 30.0);
    EXPECT_GT(west(2), 30.0 - 1e-8);  // the great circle bends south by about 5e-9 degree
    Vec2 const north = tan.solve(Vec2(100, 110));
    EXPECT_EQ(north(1), 150.0);
    EXPECT_CLOSE(north(2), 30.001, kFormulaTolDeg);
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

TEST(CcsTan, NativeAndPlaneCoordinatesAreInverse) {
    sci::CCS_TAN const tan = standardTan();
    Vec2 const native = tan.nc_(Vec2(130, 140));
    // nc_ gives radians: X = 30 * -1e-4 degree, Y = 40 * 1e-4 degree.
    EXPECT_CLOSE(native(1), std::atan2(-3e-3, -4e-3), kRoundingTol);
    EXPECT_CLOSE(native(2), std::atan(1 / (5e-3 * sci::kDegToRad)), kRoundingTol);
    Vec2 const plane = tan.x_nc(native);  // degrees
    EXPECT_CLOSE(plane(1), -3e-3, kRoundingTol);
    EXPECT_CLOSE(plane(2), 4e-3, kRoundingTol);
    EXPECT_EQ(tan.nc_(Vec2(100, 100))(2), sci::kHalfPi);
}

TEST(CcsTan, SkyToPixelMatchesTheTextbookProjectionAndInvertsSolve) {
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> ra0s(0, 360), dec0s(-85, 85), offset(300, 1500);
    std::bernoulli_distribution flip(0.5);
    for (int i = 0; i < 500; ++i) {
        double const ra0 = ra0s(random), dec0 = dec0s(random);
        sci::CCS_TAN const tan(Vec2(512, 400), Mat2::identity(), Vec2(-1e-3, 1e-3),
                               Vec2(ra0, dec0));
        Vec2 const pixel(512 + (flip(random) ? 1 : -1) * offset(random),
                         400 + (flip(random) ? 1 : -1) * offset(random));
        Vec2 const sky = tan.solve(pixel);
        Vec2 const expected =
            textbookSky(ra0, dec0, -1e-3 * (pixel(1) - 512), 1e-3 * (pixel(2) - 400));
        EXPECT_CLOSE(sky(2), expected(2), kFormulaTolDeg);
        // Right ascension is not folded: it stays within 180 degrees of ra0.
        EXPECT_LE(std::fabs(sky(1) - ra0), 180.0);
        EXPECT_CLOSE(sky(1), expected(1), kFormulaTolDeg);

        Vec2 const back = tan.solve_inv(sky);
        Vec2 const plane = textbookPlane(ra0, dec0, sky(1), sky(2));
        EXPECT_CLOSE(back(1), 512 + plane(1) / -1e-3, kPixelTol);
        EXPECT_CLOSE(back(2), 400 + plane(2) / 1e-3, kPixelTol);
        EXPECT_CLOSE(back(1), pixel(1), kPixelTol);
        EXPECT_CLOSE(back(2), pixel(2), kPixelTol);
    }
}

TEST(CcsTan, RightAscensionFarFromTheReferenceIsTakenModulo360) {
    sci::CCS_TAN const tan = standardTan(1, 0);
    Vec2 const pixel = tan.solve_inv(Vec2(359, 0.5));
    Vec2 const same = tan.solve_inv(Vec2(-1, 0.5));
    EXPECT_CLOSE(pixel(1), same(1), kPixelTol);
    EXPECT_CLOSE(pixel(2), same(2), kPixelTol);
    // 2 degrees east of the reference on the equator: x grows (cdelt1 < 0).
    Vec2 const plane = textbookPlane(1, 0, 359, 0.5);
    EXPECT_CLOSE(pixel(1), 100 + plane(1) / -1e-4, kPixelTol);
    EXPECT_CLOSE(pixel(2), 100 + plane(2) / 1e-4, kPixelTol);
    Vec2 const sky = tan.solve(pixel);
    EXPECT_CLOSE(sky(1), -1.0, kFormulaTolDeg);  // 359 - 360: within 180 of ra0
    EXPECT_CLOSE(sky(2), 0.5, kFormulaTolDeg);
}

TEST(CcsTan, LinearTransformationIsAppliedAndInverted) {
    // M rotates by 30 degrees and stretches the second row; Cramer's rule gives
    // the pixel offsets back from the plane coordinates.
    double const c = std::cos(30 * sci::kDegToRad), s = std::sin(30 * sci::kDegToRad);
    Mat2 const m(c, -1.5 * s, s, 1.5 * c);
    sci::CCS_TAN const tan(Vec2(100, 100), m, Vec2(-1e-3, 1e-3), Vec2(40, -20));
    Vec2 const pixel(700, -350);
    double const dx = 600, dy = -450;
    Vec2 const expected = textbookSky(40, -20, -1e-3 * (m(1, 1) * dx + m(1, 2) * dy),
                                      1e-3 * (m(2, 1) * dx + m(2, 2) * dy));
    Vec2 const sky = tan.solve(pixel);
    EXPECT_CLOSE(sky(1), expected(1), kFormulaTolDeg);
    EXPECT_CLOSE(sky(2), expected(2), kFormulaTolDeg);
    Vec2 const back = tan.solve_inv(sky);
    EXPECT_CLOSE(back(1), pixel(1), kPixelTol);
    EXPECT_CLOSE(back(2), pixel(2), kPixelTol);

    // A permutation needs a row exchange in the elimination.
    sci::CCS_TAN const swapped(Vec2(100, 100), Mat2(0, 1, 1, 0), Vec2(-1e-3, 1e-3), Vec2(40, -20));
    Vec2 const p = swapped.solve_inv(swapped.solve(Vec2(600, 900)));
    EXPECT_CLOSE(p(1), 600, kPixelTol);
    EXPECT_CLOSE(p(2), 900, kPixelTol);
}

TEST(CcsTan, SingularMatricesAreReportedByKind) {
    double const nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(solveInvError(Mat2(0, 0, 0, 0)), "Singular matrix in Gauss-Jordan");
    EXPECT_EQ(solveInvError(Mat2(1, 2, 2, 4)), "Singular matrix in Gauss-Jordan");
    // No element of a NaN matrix qualifies as the first pivot.
    EXPECT_EQ(solveInvError(Mat2(nan, nan, nan, nan)), "Could not find pivot");
    // The first pivot is 1; the elimination leaves only NaN for the second step,
    // which would take the first column again.
    EXPECT_EQ(solveInvError(Mat2(1, nan, nan, nan)), "in Pivot of Gauss-Jordan");
    EXPECT_EQ(solveInvError(Mat2(2, 1, 1, 3)), "");
    // The error is a linear-algebra error; solve never throws: with M = 0 every
    // pixel lands on the reference point.
    sci::CCS_TAN const tan(Vec2(100, 100), Mat2(), Vec2(-1e-4, 1e-4), Vec2(150, 30));
    EXPECT_THROW(tan.solve_inv(Vec2(150, 30)), sci::LinearAlgebraException);
    Vec2 const sky = tan.solve(Vec2(300, -20));
    EXPECT_EQ(sky(1), 150.0);
    EXPECT_CLOSE(sky(2), 30.0, kRoundingTol);
}

TEST(CcsTan, SkyToPixelOfTheReferencePointIsNeverNaN) {
    // For these references sin(d)^2 + cos(d)^2 rounds to 1 + 2^-52, outside asin's
    // domain; they must land on the reference pixel. With 1e-4 degree pixels theta
    // is still off by up to ~1.5e-8 radian = 0.01 pixel (asin near 1).
    constexpr double kReferenceTol = 0.05;
    for (double dec0 : {0.0074, -89.92, 0.0128}) {
        sci::CCS_TAN const tan = standardTan(150, dec0);
        Vec2 const pixel = tan.solve_inv(Vec2(150, dec0));
        EXPECT_NEAR(pixel(1), 100, kReferenceTol) << dec0;
        EXPECT_NEAR(pixel(2), 100, kReferenceTol) << dec0;
    }
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> ra0s(0, 360), dec0s(-90, 90);
    for (int i = 0; i < 2000; ++i) {
        double const ra0 = ra0s(random), dec0 = dec0s(random);
        Vec2 const pixel = standardTan(ra0, dec0).solve_inv(Vec2(ra0, dec0));
        ASSERT_NEAR(pixel(1), 100, kReferenceTol) << ra0 << " " << dec0;
        ASSERT_NEAR(pixel(2), 100, kReferenceTol) << ra0 << " " << dec0;
    }
}

TEST(CcsTan, PixelAtTheCelestialPoleIsNeverNaN) {
    // Found by search: here sin(theta) sin_dp + cos(theta) cos_dp cos(...) rounds
    // to 1 + 2^-52 for a pixel that lies on the north pole.
    double const dec0 = 89.939337301989639, scale = 0.00062090762243883048;
    sci::CCS_TAN const tan(Vec2(0, 0), Mat2::identity(), Vec2(-scale, scale), Vec2(10, dec0));
    Vec2 const sky = tan.solve(Vec2(0, 97.700037521630904));
    EXPECT_FALSE(std::isnan(sky(1)));
    EXPECT_EQ(sky(2), 90.0);
}

}  // namespace
