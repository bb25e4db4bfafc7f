#include "fit/moffat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "tests/fit/synthetic_stamp.h"
#include "tests/support/float_compare.h"

namespace fit {
namespace {

using fittest::Call;
using fittest::constantStamp;
using fittest::kDegToRad;
using fittest::kPi;
using fittest::makeStamp;
using fittest::MoffatTruth;
using fittest::Stamp;
using sci::MArray;
using Vec = MArray<double, 1>;

constexpr int kBoxlen = 12;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Central differences with step h have error ~ h^2 f''' + eps f / h; with
// h = 1e-5 relative both stay below 1e-6 of the derivative's scale.
constexpr double kDerivTol = 1e-6;
// Noise-free stamps stored as float: the fit reproduces the truth to the
// float rounding of the pixel values.
constexpr double kNoiseFreeTol = 1e-4;
// Held parameters come back exactly.
constexpr double kExact = 0.0;
// Angle arithmetic on a few multiples of pi.
constexpr double kAngleTol = 1e-12;
// Cells of the table row (two decimals) and of the parameter dumps (five).
constexpr double kTableTol = 0.01;
constexpr double kDumpTol = 5e-6;

// A star of widths 3.6 and 3.0 at 25 degrees, centred at (0.3, -0.2).
MoffatTruth roundStar() {
    MoffatTruth t;
    t.fwhm1 = 3.6;
    t.angle = 25.0 * kDegToRad;
    t.cx = 0.3;
    t.cy = -0.2;
    return t;
}

Stamp ones() {
    return constantStamp(kBoxlen, 1.0f);
}

Vec params(std::vector<double> const& v) {
    Vec a(static_cast<int>(v.size()));
    for (int i = 1; i <= a.last(); ++i) a(i) = v[static_cast<size_t>(i - 1)];
    return a;
}

// The model at (x, y) for the parameters a(1..10), through a fitter object
// whose data are irrelevant here.
int model(Vec const& a, double x, double y, double& f, Vec& dyda) {
    static Vec const none(0);
    static Class_moffat_fit fit(none, none, none, none, params(std::vector<double>(10, 0.0)),
                                MArray<int, 1>(10));
    return fit.funcs(x, y, a, f, dyda);
}

TEST(MoffatModel, DerivativesMatchCentralDifferences) {
    fittest::GaussianNoise rng(4242u);
    auto uni = [&rng](double lo, double hi) { return lo + (hi - lo) * rng.uniform(); };
    for (int trial = 0; trial < 50; ++trial) {
        std::vector<double> p = {uni(-5, 5), uni(50, 500), uni(0.1, 1.0), uni(0.1, 1.0),
                                 uni(-1, 1), uni(-1, 1),   uni(-3, 3),    uni(1.5, 5),
                                 uni(-1, 1), uni(-1, 1)};
        double const x = uni(-6, 6), y = uni(-6, 6);
        Vec dyda(10), scratch(10);
        double f = 0.0, fu = 0.0, fd = 0.0;
        ASSERT_EQ(model(params(p), x, y, f, dyda), kModelOk);
        // Scale: the profile amplitude per unit parameter.
        double const scale = std::fmax(1.0, p[1]);
        for (size_t l = 0; l < 10; ++l) {
            double const v = p[l], h = 1e-5 * std::fmax(1.0, std::fabs(v));
            p[l] = v + h;
            model(params(p), x, y, fu, scratch);
            p[l] = v - h;
            model(params(p), x, y, fd, scratch);
            p[l] = v;
            EXPECT_CLOSE(dyda(static_cast<int>(l) + 1) / scale, (fu - fd) / (2.0 * h) / scale,
                         kDerivTol)
                << "trial " << trial << " parameter " << l + 1;
        }
    }
}

TEST(MoffatModel, ValuesAndPowerLimits) {
    // a1 + a9 x + a10 y + a2 at the centre; half the amplitude at FWHM/2 along
    // the first axis (FWHM = 2 sqrt(2^(1/beta) - 1) / scale, 4 for beta 1, scale 0.5).
    EXPECT_EQ(moffatFwhm(1.0, 0.5), 4.0);
    Vec a = params({1.0, 100.0, 0.4, 0.25, 0.5, -0.5, 0.3, 2.5, 0.1, 0.2});
    Vec dyda(10);
    double f = 0.0;
    model(a, 0.5, -0.5, f, dyda);
    EXPECT_EQ(f, 0.1 * 0.5 + 1.0 + 0.2 * -0.5 + 100.0);
    EXPECT_EQ(dyda(2), 1.0);
    double const half = moffatFwhm(2.5, 0.4) / 2.0;
    double const x = 0.5 + half * std::cos(0.3), y = -0.5 + half * std::sin(0.3);
    model(a, x, y, f, dyda);
    EXPECT_CLOSE(f - (1.0 + 0.1 * x + 0.2 * y), 50.0, 1e-12);

    // X = 1 + (1e30)^2: log10(X) (1 + a8) = 60 * 3.9 > 100, the profile is
    // negligible and the plane is left.
    a = params({2.0, 100.0, 1e30, 1.0, 0.0, 0.0, 0.0, 2.9, 0.5, 0.25});
    dyda = 7.0;
    ASSERT_EQ(model(a, 3.0, 4.0, f, dyda), kModelOk);
    EXPECT_EQ(f, 0.5 * 3.0 + 2.0 + 0.25 * 4.0);
    std::vector<double> const plane = {1, 0, 0, 0, 0, 0, 0, 0, 3, 4};
    for (int l = 1; l <= 10; ++l) EXPECT_EQ(dyda(l), plane[static_cast<size_t>(l - 1)]) << l;
    // a8 = -5: X^-(1+a8) = X^4 with X = 1e60 would overflow.
    a(8) = -5.0;
    EXPECT_EQ(model(a, 1.0, 0.0, f, dyda), kModelFailed);
}

TEST(MoffatNormalize, AxesAndAngleInTheirReportedForm) {
    // {angle in, axes exchanged, angle out} in degrees for scales 0.3, 0.5 with
    // errors 0.01, 0.02: near y exchanged, pi/4 and 3pi/4 not; the start angle 10 rad.
    std::vector<std::tuple<double, bool, double>> const rows = {
        {100, true, 10},
        {170, false, -10},
        {45, false, 45},
        {135, false, -45},
        {10 / kDegToRad, false, 10 / kDegToRad - 540}};
    for (auto const& [in, exchanged, out] : rows) {
        SCOPED_TRACE(in);
        double s1 = 0.3, s2 = 0.5, angle = in * kDegToRad, e1 = 0.01, e2 = 0.02;
        moffatNormalizeAxes(s1, s2, angle, e1, e2);
        EXPECT_EQ(s1, exchanged ? 0.5 : 0.3);
        EXPECT_EQ(s2, exchanged ? 0.3 : 0.5);
        EXPECT_EQ(e1, exchanged ? 0.02 : 0.01);
        EXPECT_EQ(e2, exchanged ? 0.01 : 0.02);
        EXPECT_CLOSE(angle, out * kDegToRad, kAngleTol);
    }
    // Any angle ends in [-pi/4, pi/4], a multiple of 90 degrees from the
    // input, an odd multiple exactly when the axes were exchanged.
    for (double deg = -1000.0; deg <= 1000.0; deg += 7.25) {
        double s1 = -0.3, s2 = -0.5, angle = deg * kDegToRad, e1 = 0.0, e2 = 0.0;
        moffatNormalizeAxes(s1, s2, angle, e1, e2);
        EXPECT_GE(angle, -kPi / 4.0);
        EXPECT_LE(angle, kPi / 4.0);
        double const turns = (deg * kDegToRad - angle) / (kPi / 2.0);
        double const k = std::round(turns);
        EXPECT_CLOSE(turns, k, 1e-9) << deg;
        EXPECT_EQ(s1, std::fmod(std::fabs(k), 2.0) == 1.0 ? 0.5 : 0.3) << deg;
        EXPECT_EQ(s2, std::fmod(std::fabs(k), 2.0) == 1.0 ? 0.3 : 0.5) << deg;
    }
}

TEST(MoffatCentrePixel, TruncatesAfterStepDownForNegativesWithinTheStamp) {
    // A negative whole number steps down one pixel, except on the first index,
    // where that would leave the stamp; a NaN centre is on the first index.
    std::vector<std::pair<double, int>> const rows = {
        {3.7, 3},   {0.0, 0},     {-0.5, -1}, {-11.5, -12},
        {-3.0, -4}, {-12.0, -12}, {12.0, 12}, {std::nan(""), -12}};
    for (auto const& r : rows) EXPECT_EQ(moffatCentrePixel(r.first, -12, 12), r.second) << r.first;
}

// Fits the noise-free stamp of t with call c and checks every result: held
// parameters exactly, fitted ones against the truth (the first axis reported
// at angleDeg with widths fwhmX, fwhmY), the centre in stamp coordinates.
// Returns the lines written on standard output.
std::vector<std::string> expectRecovered(Call c, MoffatTruth const& t, double angleDeg,
                                         double fwhmX, double fwhmY) {
    Call const given = c;
    std::vector<std::string> const lines = c.run(makeStamp(t, kBoxlen), ones());
    EXPECT_EQ(c.status, kMoffatOk);
    auto check = [](float out, float in, double truth) {
        bool const fitted = in == kMoffatFitThis;
        EXPECT_CLOSE(out, fitted ? truth : in, fitted ? kNoiseFreeTol : kExact);
    };
    check(c.surface, given.surface, t.background);
    check(c.ax, given.ax, t.slopeX);
    check(c.ay, given.ay, t.slopeY);
    check(c.beta, given.betaMin == given.betaMax ? given.betaMin : kMoffatFitThis, t.beta);
    EXPECT_CLOSE(c.xcen, t.cx, kNoiseFreeTol);
    EXPECT_CLOSE(c.ycen, t.cy, kNoiseFreeTol);
    EXPECT_CLOSE(c.amplitude / t.amplitude, 1.0, kNoiseFreeTol);
    EXPECT_CLOSE(c.xscale, t.scale(fwhmX), kNoiseFreeTol);
    EXPECT_CLOSE(c.yscale, t.scale(fwhmY), kNoiseFreeTol);
    EXPECT_CLOSE(c.angle, angleDeg * kDegToRad, kNoiseFreeTol);
    EXPECT_LT(c.nchi, 1e-3);
    return lines;
}

TEST(Fmoffat, NoiseFreeStarsAreRecovered) {
    MoffatTruth t = roundStar();
    Call c;
    c.xcen = 100.3f;  // image pixels in, stamp coordinates out
    c.ycen = 49.8f;
    c.verbose = 3;
    std::vector<std::string> const row = expectRecovered(c, t, 25.0, 3.6, 3.0);
    // The table row: nchi (< 1e-3), -, data points, background at the centre, slopes,
    // amplitude, centre in image pixels, widths, angle (degrees), beta; the
    // iterations not checked. Data points: pixels within (r + 1) r of the centre.
    ASSERT_EQ(row.size(), 1u);
    ASSERT_EQ(row[0].size(), 13u * 12u);
    std::vector<double> cells;
    for (size_t k = 0; k < 13; ++k) cells.push_back(std::stod(row[0].substr(12 * k, 12)));
    float const sx = 100.3f - 100, sy = 49.8f - 50, circle = (kBoxlen + 1.0f) * kBoxlen;
    int n = 0;
    for (int i = -kBoxlen; i <= kBoxlen; ++i)
        for (int j = -kBoxlen; j <= kBoxlen; ++j)
            if ((i - sx) * (i - sx) + (j - sy) * (j - sy) <= circle) ++n;
    std::vector<double> const expect = {0,       cells[1],    double(n),    0,           0,
                                        0,       t.amplitude, 100.0 + t.cx, 50.0 + t.cy, t.fwhm1,
                                        t.fwhm2, 25.0,        2.9};
    for (size_t k = 0; k < 13; ++k)
        EXPECT_LE(std::fabs(cells[k] - expect[k]), kTableTol) << "cell " << k;

    // Background plane and beta fitted on request.
    c.verbose = 0;
    t.background = 20.0;
    t.slopeX = 0.5;
    t.slopeY = -0.25;
    t.beta = 3.5;
    c.surface = c.ax = c.ay = kMoffatFitThis;
    c.betaMin = 1.0f;
    c.betaMax = 10.0f;
    expectRecovered(c, t, 25.0, 3.6, 3.0);

    // A held background keeps the given value.
    t = roundStar();
    t.background = 20.0;
    Call held;
    held.surface = 20.0f;
    expectRecovered(held, t, 25.0, 3.6, 3.0);

    // The major axis at 100 degrees: reported as the second axis, the first at 10.
    t = roundStar();
    t.fwhm1 = 5.0;
    t.angle = 100.0 * kDegToRad;
    expectRecovered(Call(), t, 10.0, 3.0, 5.0);
}

TEST(Fmoffat, StatusCodesOnCraftedStamps) {
    Stamp const star = makeStamp(roundStar(), kBoxlen), unit = ones(), none;
    Stamp const zero = constantStamp(kBoxlen, 0.0f), large = constantStamp(kBoxlen, 1000.0f);
    Stamp nine = constantStamp(kBoxlen, 0.0f), small(sci::Range(-2, 2), sci::Range(-2, 2));
    small = 1.0f;
    for (int i = -1; i <= 1; ++i)
        for (int j = -1; j <= 1; ++j) nine(i, j) = star(i, j);
    // The same nine and (6, 6), which lies on the circle of a 17 x 17 stamp:
    // r = 8, 6^2 + 6^2 = (r + 1) r. Ten data points, as few as a fit may have.
    Stamp ten(sci::Range(-8, 8), sci::Range(-8, 8));
    ten = 0.0f;
    for (int i = -1; i <= 1; ++i)
        for (int j = -1; j <= 1; ++j) ten(i, j) = star(i, j);
    ten(6, 6) = star(6, 6);
    // The wing of a star beyond the right edge; a faint star, its amplitude
    // uncertain with errors 1000, also with the pixel holding its centre
    // (0.3, -0.2) bad.
    MoffatTruth t = roundStar();
    t.cx = kBoxlen + 3.0;
    Stamp const wing = makeStamp(t, kBoxlen);
    t = roundStar();
    t.amplitude = 10.0;
    Stamp const faint = makeStamp(t, kBoxlen);
    Stamp faintBadCentre = makeStamp(t, kBoxlen);
    faintBadCentre(0, -1) = 0.0f;
    struct Row {
        char const* name;
        Stamp image, error;
        float fwhmMin, fwhmMax, betaMin, betaMax, xcen;
        int status;
    };
    float const b = fittest::kDriverBeta;
    std::vector<Row> const rows = {
        // Nine data points: the fit succeeds, the status says they were few.
        {"3 x 3 usable pixels", nine, unit, 1, 20, b, b, 0, kMoffatFewPixels},
        {"ten pixels, one on the circle", ten, unit, 1, 20, b, b, 0, kMoffatOk},
        {"fwhm_max between the widths", star, unit, 1, 3.3f, b, b, 0, kMoffatWidthOutOfRange},
        {"fwhm_min between the widths", star, unit, 3.3f, 20, b, b, 0, kMoffatWidthOutOfRange},
        {"beta above beta_max", star, unit, 1, 20, 1, 2, 0, kMoffatBetaOutOfRange},
        {"wing of a star beyond the edge", wing, unit, 1, 20, b, b, 0, kMoffatCentreOutside},
        {"faint star, large errors", faint, large, 1, 20, b, b, 0, kMoffatAmplitudeUncertain},
        // The amplitude is only checked where the centre pixel is usable.
        {"the same, centre pixel bad", faintBadCentre, large, 1, 20, b, b, 0, kMoffatOk},
        // Pixels outside a smaller error stamp take no part.
        {"small error stamp", star, small, 1, 20, b, b, 0, kMoffatOk},
        // No data: 18 singular steps, a failed covariance step, all parameters 0.
        {"empty stamps", none, none, 1, 20, b, b, 0, kMoffatWidthOutOfRange},
        {"all pixels 0", zero, unit, 1, 20, b, b, 0, kMoffatWidthOutOfRange},
        {"all errors 0", star, zero, 1, 20, b, b, 0, kMoffatWidthOutOfRange},
        // Positions beyond any image: no pixel in the circle around them.
        {"xcen 1e20", star, unit, 1, 20, b, b, 1e20f, kMoffatWidthOutOfRange},
        {"xcen -1e20", star, unit, 1, 20, b, b, -1e20f, kMoffatWidthOutOfRange},
        {"xcen NaN", star, unit, 1, 20, b, b, kNaN, kMoffatWidthOutOfRange},
        {"xcen inf", star, unit, 1, 20, b, b, kInf, kMoffatWidthOutOfRange},
        // Width limits 0: infinite start widths, a NaN first model value.
        {"width limits 0", star, unit, 0, 0, b, b, 0, kMoffatWidthOutOfRange},
    };
    for (Row const& r : rows) {
        SCOPED_TRACE(r.name);
        Call c;
        c.fwhmMin = r.fwhmMin;
        c.fwhmMax = r.fwhmMax;
        c.betaMin = r.betaMin;
        c.betaMax = r.betaMax;
        c.xcen = r.xcen;
        c.run(r.image, r.error);
        EXPECT_EQ(c.status, r.status);
        // nchi is always written, the rest only for an accepted fit.
        EXPECT_NE(c.nchi, -1.0f);
        if (r.status != kMoffatOk) {
            EXPECT_EQ(c.amplitude, -1.0f);
            EXPECT_EQ(c.xscale, -1.0f);
        }
    }
}

TEST(Fmoffat, NonFinitePixelsAreTreatedAsBad) {
    // The same fit as with those pixels set to 0.0, the bad-pixel mark.
    Stamp image = makeStamp(roundStar(), kBoxlen), error = ones(), zeroed, zeroedError;
    zeroed.copy(image);
    zeroedError.copy(error);
    image(1, 0) = kNaN;
    image(-3, 2) = kInf;
    error(4, 4) = kInf;
    zeroed(1, 0) = zeroed(-3, 2) = zeroedError(4, 4) = 0.0f;
    Call c, ref;
    c.run(image, error);
    ref.run(zeroed, zeroedError);
    ASSERT_EQ(c.status, kMoffatOk);
    ASSERT_EQ(ref.status, kMoffatOk);
    EXPECT_EQ(c.nchi, ref.nchi);
    EXPECT_EQ(c.xscale, ref.xscale);
    EXPECT_EQ(c.angle, ref.angle);
    EXPECT_EQ(c.xcen, ref.xcen);
}

TEST(Fmoffat, TableRowOfAFailedFitAndCentreRoundedHalfToEven) {
    // Nothing usable: 18 singular steps, the failed covariance step sets all
    // parameters to 0 (widths infinite), nchi 0; 100.5 and 49.5 round to the
    // even 100 and 50.
    Stamp const blank = constantStamp(kBoxlen, 0.0f);
    Call c;
    c.verbose = 3;
    c.xcen = 100.5f;
    c.ycen = 49.5f;
    std::vector<std::string> const lines = c.run(blank, blank);
    EXPECT_EQ(c.status, kMoffatWidthOutOfRange);
    EXPECT_EQ(c.xcen, 0.5f);
    EXPECT_EQ(c.ycen, -0.5f);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0],
              "        0.00          18           0        0.00        0.00        0.00"
              "        0.00      100.00       50.00         inf         inf        0.00"
              "        0.00");
    EXPECT_EQ(std::cout.flags() & std::ios_base::floatfield, std::ios_base::fmtflags(0));
}

TEST(Fmoffat, DumpsShowStartValuesWithFirstMaximumInScanOrder) {
    // Two equal maxima, (-1, 5) and (2, -3): i is the outer loop, so (-1, 5)
    // is met first and wins although its j is larger.
    Stamp image = ones();
    image(2, -3) = image(-1, 5) = 9.0f;
    image(-1, 6) = 0.5f;  // the minimum
    Call c;
    c.verbose = 4;
    c.surface = c.ax = c.ay = kMoffatFitThis;
    c.fwhmMin = 2.0f;
    c.fwhmMax = 4.0f;
    std::vector<std::string> const lines = c.run(image, ones());
    ASSERT_GE(lines.size(), 9u);  // 2 x 4 dump lines and the table row
    EXPECT_EQ(lines[0].substr(0, 30), "          a( 1)          a( 2)");
    // minimum, maximum - minimum, 1.1305 / mean of the width limits (+ 0.1),
    // the maximum's position, angle 10, beta 2.9, slopes 0.01.
    std::vector<double> const start = {0.5, 8.5,  1.1305 / 3.0, 1.1305 / 3.0 + 0.1, -1.0, 5.0, 10.0,
                                       2.9, 0.01, 0.01};
    for (size_t k = 0; k < 10; ++k)
        EXPECT_CLOSE(std::stod(lines[1].substr(15 * k, 15)), start[k], kDumpTol) << k;
    EXPECT_EQ(lines[2],
              "        1.00000        1.00000        1.00000        1.00000        "
              "1.00000        1.00000        1.00000        0.00000        1.00000   "
              "     1.00000");
}

}  // namespace
}  // namespace fit
