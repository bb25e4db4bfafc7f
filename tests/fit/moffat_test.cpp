#include "fit/moffat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "tests/fit/synthetic_stamp.h"
#include "tests/support/float_compare.h"

namespace {

using fittest::constantStamp;
using fittest::kDegToRad;
using fittest::kPi;
using fittest::makeStamp;
using fittest::MoffatTruth;
using sci::MArray;
using Stamp = MArray<float, 2>;
using Vec = MArray<double, 1>;

constexpr int kBoxlen = 12;
constexpr float kBeta = 2.9f;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Central differences with step h have error ~ h^2 f''' + eps f / h; with
// h = 1e-5 relative both stay below 1e-6 of the derivative's scale.
constexpr double kDerivTol = 1e-6;
// Noise-free stamps stored as float: the fit reproduces the truth to the
// float rounding of the pixel values.
constexpr double kNoiseFreeTol = 1e-4;
// Angle arithmetic on a few multiples of pi.
constexpr double kAngleTol = 1e-12;
// Cells of the table row (two decimals) and of the parameter dumps (five).
constexpr double kTableTol = 0.01;
constexpr double kDumpTol = 5e-6;

// All arguments of one fmoffat call, preset as the star-selection driver does
// (background and slopes held at 0, beta held at 2.9, widths in [1, 20]); the
// outputs preset to -1 to show whether they were written.
struct Call {
    float surface = 0.0f, ax = 0.0f, ay = 0.0f;
    float betaMin = kBeta, betaMax = kBeta;
    float fwhmMin = 1.0f, fwhmMax = 20.0f;
    float xcen = 0.3f, ycen = -0.2f;
    float amplitude = -1.0f, xscale = -1.0f, yscale = -1.0f, angle = -1.0f, beta = -1.0f;
    float nchi = -1.0f;
    int verbose = 0;

    int run(Stamp const& image, Stamp const& error) {
        return fmoffat(image, error, surface, ax, ay, betaMin, betaMax, fwhmMin, fwhmMax, xcen,
                       ycen, amplitude, xscale, yscale, angle, beta, nchi, verbose);
    }
    // The run's standard output, split into lines.
    std::vector<std::string> lines(Stamp const& image, Stamp const& error, int& status) {
        testing::internal::CaptureStdout();
        status = run(image, error);
        std::istringstream out(testing::internal::GetCapturedStdout());
        std::vector<std::string> v;
        for (std::string line; std::getline(out, line);) v.push_back(line);
        return v;
    }
};

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
        Vec a = params({uni(-5, 5), uni(50, 500), uni(0.1, 1.0), uni(0.1, 1.0), uni(-1, 1),
                        uni(-1, 1), uni(-3, 3), uni(1.5, 5), uni(-1, 1), uni(-1, 1)});
        double const x = uni(-6, 6), y = uni(-6, 6);
        Vec dyda(10), scratch(10);
        double f = 0.0, fu = 0.0, fd = 0.0;
        ASSERT_EQ(model(a, x, y, f, dyda), kModelOk);
        for (int l = 1; l <= 10; ++l) {
            double const h = 1e-5 * std::fmax(1.0, std::fabs(a(l)));
            Vec up, down;
            up.copy(a);
            down.copy(a);
            up(l) += h;
            down(l) -= h;
            model(up, x, y, fu, scratch);
            model(down, x, y, fd, scratch);
            // Scale: the profile amplitude per unit parameter.
            double const scale = std::fmax(1.0, a(2));
            EXPECT_CLOSE(dyda(l) / scale, (fu - fd) / (2.0 * h) / scale, kDerivTol)
                << "trial " << trial << " parameter " << l;
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
    // {scale1, scale2, angle} in -> {scale1, scale2, error1, error2, angle} out
    // (degrees; errors 0.01, 0.02 in).
    struct Row {
        double s1, s2, deg, outS1, outS2, outE1, outE2, outDeg;
    };
    std::vector<Row> const rows = {
        {0.3, 0.5, 100.0, 0.5, 0.3, 0.02, 0.01, 10.0},  // near y: axes exchanged
        {0.3, 0.5, 170.0, 0.3, 0.5, 0.01, 0.02, -10.0},
        {0.3, 0.5, 45.0, 0.3, 0.5, 0.01, 0.02, 45.0},  // pi/4, 3pi/4: not exchanged
        {0.3, 0.5, 135.0, 0.3, 0.5, 0.01, 0.02, -45.0},
        {-0.2, -0.3, 10.0 / kDegToRad, 0.2, 0.3, 0.01, 0.02, 10.0 / kDegToRad - 540.0},  // start
    };
    for (Row const& r : rows) {
        SCOPED_TRACE(r.deg);
        double s1 = r.s1, s2 = r.s2, angle = r.deg * kDegToRad, e1 = 0.01, e2 = 0.02;
        moffatNormalizeAxes(s1, s2, angle, e1, e2);
        EXPECT_EQ(s1, r.outS1);
        EXPECT_EQ(s2, r.outS2);
        EXPECT_EQ(e1, r.outE1);
        EXPECT_EQ(e2, r.outE2);
        EXPECT_CLOSE(angle, r.outDeg * kDegToRad, kAngleTol);
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
void expectRecovered(Call c, MoffatTruth const& t, double angleDeg, double fwhmX, double fwhmY) {
    Call const given = c;
    ASSERT_EQ(c.run(makeStamp(t, kBoxlen), ones()), kMoffatOk);
    auto check = [](float out, float in, double truth) {
        if (in == kMoffatFitThis) {
            EXPECT_CLOSE(out, truth, kNoiseFreeTol);
        } else {
            EXPECT_EQ(out, in);
        }
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
}

TEST(Fmoffat, NoiseFreeStarsAreRecovered) {
    MoffatTruth t = roundStar();
    Call c;
    c.xcen = 100.3f;  // image pixels in, stamp coordinates out
    c.ycen = 49.8f;
    expectRecovered(c, t, 25.0, 3.6, 3.0);

    // Background plane and beta fitted on request.
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
    MoffatTruth t = roundStar();
    t.cx = kBoxlen + 3.0;
    Stamp const wing = makeStamp(t, kBoxlen);
    t = roundStar();
    t.amplitude = 10.0;
    Stamp const faint = makeStamp(t, kBoxlen);
    Stamp faintBadCentre;
    faintBadCentre.copy(faint);
    faintBadCentre(0, -1) = 0.0f;  // the pixel that holds the centre (0.3, -0.2)
    struct Row {
        char const* name;
        Stamp image, error;
        float fwhmMin, fwhmMax, betaMin, betaMax, xcen;
        int status;
    };
    float const b = kBeta;
    std::vector<Row> const rows = {
        // Nine data points: the fit succeeds, the status says they were few.
        {"3 x 3 usable pixels", nine, unit, 1, 20, b, b, 0.3f, kMoffatFewPixels},
        {"fwhm_max between the widths", star, unit, 1, 3.3f, b, b, 0.3f, kMoffatWidthOutOfRange},
        {"fwhm_min between the widths", star, unit, 3.3f, 20, b, b, 0.3f, kMoffatWidthOutOfRange},
        {"beta above beta_max", star, unit, 1, 20, 1, 2, 0.3f, kMoffatBetaOutOfRange},
        {"wing of a star beyond the edge", wing, unit, 1, 20, b, b, 0.3f, kMoffatCentreOutside},
        {"faint star, large errors", faint, large, 1, 20, b, b, 0.3f, kMoffatAmplitudeUncertain},
        // The amplitude is only checked where the centre pixel is usable.
        {"the same, centre pixel bad", faintBadCentre, large, 1, 20, b, b, 0.3f, kMoffatOk},
        // Pixels outside a smaller error stamp take no part.
        {"small error stamp", star, small, 1, 20, b, b, 0.3f, kMoffatOk},
        // No data: 18 singular steps, a failed covariance step, all parameters 0.
        {"empty stamps", none, none, 1, 20, b, b, 0.3f, kMoffatWidthOutOfRange},
        {"all pixels 0", zero, unit, 1, 20, b, b, 0.3f, kMoffatWidthOutOfRange},
        {"all errors 0", star, zero, 1, 20, b, b, 0.3f, kMoffatWidthOutOfRange},
        // Positions beyond any image: no pixel in the circle around them.
        {"xcen 1e20", star, unit, 1, 20, b, b, 1e20f, kMoffatWidthOutOfRange},
        {"xcen -1e20", star, unit, 1, 20, b, b, -1e20f, kMoffatWidthOutOfRange},
        {"xcen NaN", star, unit, 1, 20, b, b, kNaN, kMoffatWidthOutOfRange},
        {"xcen inf", star, unit, 1, 20, b, b, kInf, kMoffatWidthOutOfRange},
        // Width limits 0: infinite start widths, a NaN first model value.
        {"width limits 0", star, unit, 0, 0, b, b, 0.3f, kMoffatWidthOutOfRange},
    };
    for (Row const& r : rows) {
        SCOPED_TRACE(r.name);
        Call c;
        c.fwhmMin = r.fwhmMin;
        c.fwhmMax = r.fwhmMax;
        c.betaMin = r.betaMin;
        c.betaMax = r.betaMax;
        c.xcen = r.xcen;
        EXPECT_EQ(c.run(r.image, r.error), r.status);
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
    ASSERT_EQ(c.run(image, error), kMoffatOk);
    ASSERT_EQ(ref.run(zeroed, zeroedError), kMoffatOk);
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
    int status = 0;
    std::vector<std::string> const lines = c.lines(blank, blank, status);
    EXPECT_EQ(status, kMoffatWidthOutOfRange);
    EXPECT_EQ(c.xcen, 0.5f);
    EXPECT_EQ(c.ycen, -0.5f);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0],
              "        0.00          18           0        0.00        0.00        0.00"
              "        0.00      100.00       50.00         inf         inf        0.00"
              "        0.00");
    EXPECT_EQ(std::cout.flags() & std::ios_base::floatfield, std::ios_base::fmtflags(0));
}

TEST(Fmoffat, TableRowOfASuccessfulFit) {
    MoffatTruth const t = roundStar();
    Call c;
    c.verbose = 3;
    c.xcen = 100.3f;
    c.ycen = 49.8f;
    int status = 0;
    std::vector<std::string> const lines = c.lines(makeStamp(t, kBoxlen), ones(), status);
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_EQ(lines[0].size(), 13u * 12u);
    std::vector<double> cells;
    for (size_t k = 0; k < 13; ++k) cells.push_back(std::stod(lines[0].substr(12 * k, 12)));
    // Data points: the pixels within (r + 1) r of the centre, r = boxlen.
    float const sx = 100.3f - 100, sy = 49.8f - 50, circle = (kBoxlen + 1.0f) * kBoxlen;
    int dataPoints = 0;
    for (int i = -kBoxlen; i <= kBoxlen; ++i)
        for (int j = -kBoxlen; j <= kBoxlen; ++j)
            if ((i - sx) * (i - sx) + (j - sy) * (j - sy) <= circle) ++dataPoints;
    // nchi, -, n, background at the centre, slopes, amplitude, centre in
    // image pixels, widths, angle (degrees), beta; the iterations not checked.
    std::vector<double> const expect = {
        c.nchi,      cells[1],     double(dataPoints), 0,       0,       0,
        t.amplitude, 100.0 + t.cx, 50.0 + t.cy,        t.fwhm1, t.fwhm2, 25.0,
        2.9};
    for (size_t k = 0; k < 13; ++k)
        EXPECT_LE(std::fabs(cells[k] - expect[k]), kTableTol) << "cell " << k;
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
    int status = 0;
    std::vector<std::string> const lines = c.lines(image, ones(), status);
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
