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
using fittest::GaussianNoise;
using fittest::kDegToRad;
using fittest::kPi;
using fittest::makeStamp;
using fittest::MoffatTruth;
using sci::MArray;
using sci::Range;

constexpr int kBoxlen = 12;
// Data points lie within (r + 1) r of the centre, r = boxlen.
constexpr float kCircle = (kBoxlen + 1.0f) * kBoxlen;
constexpr float kBeta = 2.9f;

// Central differences with step h have error ~ h^2 f''' + eps f / h; with
// h = 1e-5 relative both stay below 1e-6 of the derivative's scale.
constexpr double kDerivTol = 1e-6;
// Noise-free stamps stored as float: the fit reproduces the truth to the
// float rounding of the pixel values.
constexpr double kNoiseFreeTol = 1e-4;
// Angle arithmetic on a few multiples of pi.
constexpr double kAngleTol = 1e-12;

// All arguments of one fmoffat call, preset as the star-selection driver does
// (background and slopes held at 0, beta held at 2.9, widths in [1, 20]).
struct Call {
    float surface = 0.0f, ax = 0.0f, ay = 0.0f;
    float betaMin = kBeta, betaMax = kBeta;
    float fwhmMin = 1.0f, fwhmMax = 20.0f;
    float xcen = 0.0f, ycen = 0.0f;
    float amplitude = -1.0f, xscale = -1.0f, yscale = -1.0f, angle = -1.0f, beta = -1.0f;
    float nchi = -1.0f;
    int verbose = 0;

    int run(MArray<float, 2> const& image, MArray<float, 2> const& error) {
        return fmoffat(image, error, surface, ax, ay, betaMin, betaMax, fwhmMin, fwhmMax, xcen,
                       ycen, amplitude, xscale, yscale, angle, beta, nchi, verbose);
    }
};

// ---------------------------------------------------------------- model

MArray<double, 1> params(std::vector<double> const& v) {
    MArray<double, 1> a(static_cast<int>(v.size()));
    for (int i = 1; i <= a.last(); ++i) a(i) = v[static_cast<size_t>(i - 1)];
    return a;
}

// A fitter object only to reach funcs; its data are irrelevant here.
Class_moffat_fit& modelOnly() {
    static MArray<double, 1> none(0);
    static MArray<int, 1> ia(10);
    static Class_moffat_fit fit(none, none, none, none, params(std::vector<double>(10, 0.0)), ia);
    return fit;
}

TEST(MoffatModel, DerivativesMatchCentralDifferences) {
    GaussianNoise rng(4242u);
    auto uni = [&rng](double lo, double hi) { return lo + (hi - lo) * rng.uniform(); };
    for (int trial = 0; trial < 50; ++trial) {
        MArray<double, 1> a =
            params({uni(-5, 5), uni(50, 500), uni(0.1, 1.0), uni(0.1, 1.0), uni(-1, 1), uni(-1, 1),
                    uni(-3, 3), uni(1.5, 5), uni(-1, 1), uni(-1, 1)});
        double const x = uni(-6, 6);
        double const y = uni(-6, 6);
        MArray<double, 1> dyda(10);
        double f = 0.0;
        ASSERT_EQ(modelOnly().funcs(x, y, a, f, dyda), kModelOk);
        for (int l = 1; l <= 10; ++l) {
            double const h = 1e-5 * std::fmax(1.0, std::fabs(a(l)));
            MArray<double, 1> up, down, scratch(10);
            up.copy(a);
            down.copy(a);
            up(l) += h;
            down(l) -= h;
            double fu = 0.0, fd = 0.0;
            modelOnly().funcs(x, y, up, fu, scratch);
            modelOnly().funcs(x, y, down, fd, scratch);
            double const numeric = (fu - fd) / (2.0 * h);
            // Scale: the profile amplitude per unit parameter.
            double const scale = std::fmax(1.0, a(2));
            EXPECT_CLOSE(dyda(l) / scale, numeric / scale, kDerivTol)
                << "trial " << trial << " parameter " << l;
        }
    }
}

TEST(MoffatModel, ValueAtCentreAndAtHalfMaximum) {
    // a1 + a9 x + a10 y + a2 at the centre; half the amplitude at FWHM/2
    // along the first axis.
    double const beta = 2.5;
    double const scale = 0.4;
    double const angle = 0.3;
    MArray<double, 1> a = params({1.0, 100.0, scale, 0.25, 0.5, -0.5, angle, beta, 0.1, 0.2});
    MArray<double, 1> dyda(10);
    double f = 0.0;
    modelOnly().funcs(0.5, -0.5, a, f, dyda);
    EXPECT_EQ(f, 0.1 * 0.5 + 1.0 + 0.2 * -0.5 + 100.0);
    EXPECT_EQ(dyda(2), 1.0);

    double const half = moffatFwhm(beta, scale) / 2.0;
    double const x = 0.5 + half * std::cos(angle);
    double const y = -0.5 + half * std::sin(angle);
    modelOnly().funcs(x, y, a, f, dyda);
    EXPECT_CLOSE(f - (1.0 + 0.1 * x + 0.2 * y), 50.0, 1e-12);
}

TEST(MoffatModel, NegligibleProfileLeavesThePlane) {
    // X = 1 + (1e30)^2: log10(X) (1 + a8) = 60 * 3.9 > 100.
    MArray<double, 1> a = params({2.0, 100.0, 1e30, 1.0, 0.0, 0.0, 0.0, 2.9, 0.5, 0.25});
    MArray<double, 1> dyda(10);
    dyda = 7.0;
    double f = 0.0;
    ASSERT_EQ(modelOnly().funcs(3.0, 4.0, a, f, dyda), kModelOk);
    EXPECT_EQ(f, 0.5 * 3.0 + 2.0 + 0.25 * 4.0);
    EXPECT_EQ(dyda(1), 1.0);
    for (int l = 2; l <= 8; ++l) EXPECT_EQ(dyda(l), 0.0);
    EXPECT_EQ(dyda(9), 3.0);
    EXPECT_EQ(dyda(10), 4.0);
}

TEST(MoffatModel, OverflowingPowerIsAFailure) {
    // a8 = -5: X^-(1+a8) = X^4 with X = 1e60 would overflow.
    MArray<double, 1> a = params({0.0, 1.0, 1e30, 1.0, 0.0, 0.0, 0.0, -5.0, 0.0, 0.0});
    MArray<double, 1> dyda(10);
    double f = 0.0;
    EXPECT_EQ(modelOnly().funcs(1.0, 0.0, a, f, dyda), kModelFailed);
}

TEST(MoffatModel, FwhmFormula) {
    // beta = 1: 2 sqrt(2 - 1) / scale.
    EXPECT_EQ(moffatFwhm(1.0, 0.5), 4.0);
    EXPECT_EQ(moffatFwhm(2.9, 1.0), 2.0 * std::sqrt(std::pow(2.0, 1.0 / 2.9) - 1.0));
    EXPECT_TRUE(std::isinf(moffatFwhm(2.9, 0.0)));
}

// ---------------------------------------------------------------- normalisation

struct Shape {
    double s1, s2, angle, e1, e2;
};

Shape normalized(double s1, double s2, double angleDeg) {
    Shape s{s1, s2, angleDeg * kDegToRad, 0.01, 0.02};
    moffatNormalizeAxes(s.s1, s.s2, s.angle, s.e1, s.e2);
    return s;
}

TEST(MoffatNormalize, AxisNearYIsSwappedNearHalfTurnNegated) {
    // 100 degrees: 10 degrees with the axes and their errors exchanged.
    Shape const s = normalized(0.3, 0.5, 100.0);
    EXPECT_EQ(s.s1, 0.5);
    EXPECT_EQ(s.s2, 0.3);
    EXPECT_EQ(s.e1, 0.02);
    EXPECT_EQ(s.e2, 0.01);
    EXPECT_CLOSE(s.angle, 10.0 * kDegToRad, kAngleTol);
    // 170 degrees: -10 degrees, no exchange.
    Shape const t = normalized(0.3, 0.5, 170.0);
    EXPECT_EQ(t.s1, 0.3);
    EXPECT_EQ(t.e1, 0.01);
    EXPECT_CLOSE(t.angle, -10.0 * kDegToRad, kAngleTol);
}

TEST(MoffatNormalize, AnglesOfAnySizeEndWithinAQuarterTurnWindow) {
    for (double deg = -1000.0; deg <= 1000.0; deg += 7.25) {
        Shape const s = normalized(-0.3, -0.5, deg);
        EXPECT_GT(s.s1, 0.0);
        EXPECT_GT(s.s2, 0.0);
        EXPECT_GE(s.angle, -kPi / 4.0);
        EXPECT_LE(s.angle, kPi / 4.0);
        // The same axis pair: the first axis differs from the input angle by
        // a multiple of 90 degrees, odd exactly when the axes were swapped.
        double const turns = (deg * kDegToRad - s.angle) / (kPi / 2.0);
        double const k = std::round(turns);
        EXPECT_CLOSE(turns, k, 1e-9) << deg;
        bool const swapped = std::fmod(std::fabs(k), 2.0) == 1.0;
        EXPECT_EQ(s.s1, swapped ? 0.5 : 0.3) << deg;
    }
    // The start angle of every fit, 10 radian.
    Shape const s = normalized(0.2, 0.3, 10.0 / kDegToRad);
    EXPECT_CLOSE(s.angle, 10.0 - 3.0 * kPi, kAngleTol);
    EXPECT_EQ(s.s1, 0.2);
}

TEST(MoffatNormalize, QuarterTurnBoundariesAreNotSwapped) {
    // pi/4 and 3pi/4 themselves are outside the open swap interval.
    double s1 = 0.3, s2 = 0.5, e1 = 1.0, e2 = 2.0;
    double angle = kPi / 4.0;
    moffatNormalizeAxes(s1, s2, angle, e1, e2);
    EXPECT_EQ(angle, kPi / 4.0);
    EXPECT_EQ(s1, 0.3);
    angle = 3.0 * kPi / 4.0;
    moffatNormalizeAxes(s1, s2, angle, e1, e2);
    EXPECT_CLOSE(angle, -kPi / 4.0, kAngleTol);
    EXPECT_EQ(s1, 0.3);
}

TEST(MoffatCentrePixel, TruncatesAfterStepDownForNegatives) {
    EXPECT_EQ(moffatCentrePixel(3.7, -12, 12), 3);
    EXPECT_EQ(moffatCentrePixel(0.0, -12, 12), 0);
    EXPECT_EQ(moffatCentrePixel(-0.5, -12, 12), -1);
    EXPECT_EQ(moffatCentrePixel(-11.5, -12, 12), -12);
    // A negative whole number steps down one pixel ...
    EXPECT_EQ(moffatCentrePixel(-3.0, -12, 12), -4);
    // ... except on the first index, where that would leave the stamp.
    EXPECT_EQ(moffatCentrePixel(-12.0, -12, 12), -12);
    EXPECT_EQ(moffatCentrePixel(12.0, -12, 12), 12);
    EXPECT_EQ(moffatCentrePixel(std::nan(""), -12, 12), -12);
}

// ---------------------------------------------------------------- fmoffat

MoffatTruth roundStar() {
    MoffatTruth t;
    t.amplitude = 1000.0;
    t.fwhm1 = 3.6;
    t.fwhm2 = 3.0;
    t.angle = 25.0 * kDegToRad;
    t.beta = kBeta;
    t.cx = 0.3;
    t.cy = -0.2;
    return t;
}

TEST(Fmoffat, NoiseFreeStarIsRecovered) {
    MoffatTruth const t = roundStar();
    MArray<float, 2> image = makeStamp(t, kBoxlen);
    MArray<float, 2> error = constantStamp(kBoxlen, 1.0f);
    Call c;
    c.xcen = 100.3f;
    c.ycen = 49.8f;
    ASSERT_EQ(c.run(image, error), kMoffatOk);
    // The returned centre is in stamp coordinates.
    EXPECT_CLOSE(c.xcen, t.cx, kNoiseFreeTol);
    EXPECT_CLOSE(c.ycen, t.cy, kNoiseFreeTol);
    EXPECT_CLOSE(c.amplitude / t.amplitude, 1.0, kNoiseFreeTol);
    EXPECT_CLOSE(c.xscale, t.scale(t.fwhm1), kNoiseFreeTol);
    EXPECT_CLOSE(c.yscale, t.scale(t.fwhm2), kNoiseFreeTol);
    EXPECT_CLOSE(c.angle, t.angle, kNoiseFreeTol);
    EXPECT_EQ(c.beta, kBeta);
    EXPECT_EQ(c.surface, 0.0f);
    EXPECT_EQ(c.ax, 0.0f);
    EXPECT_EQ(c.ay, 0.0f);
    EXPECT_LT(c.nchi, 1e-3);
}

TEST(Fmoffat, BackgroundPlaneAndBetaFittedOnRequest) {
    MoffatTruth t = roundStar();
    t.background = 20.0;
    t.slopeX = 0.5;
    t.slopeY = -0.25;
    t.beta = 3.5;
    MArray<float, 2> image = makeStamp(t, kBoxlen);
    MArray<float, 2> error = constantStamp(kBoxlen, 1.0f);
    Call c;
    c.surface = c.ax = c.ay = kMoffatFitThis;
    c.betaMin = 1.0f;
    c.betaMax = 10.0f;
    c.xcen = 100.3f;
    c.ycen = 49.8f;
    ASSERT_EQ(c.run(image, error), kMoffatOk);
    EXPECT_CLOSE(c.surface / t.background, 1.0, kNoiseFreeTol);
    EXPECT_CLOSE(c.ax, t.slopeX, kNoiseFreeTol);
    EXPECT_CLOSE(c.ay, t.slopeY, kNoiseFreeTol);
    EXPECT_CLOSE(c.beta / t.beta, 1.0, kNoiseFreeTol);
    EXPECT_CLOSE(c.xscale, t.scale(t.fwhm1), kNoiseFreeTol);
}

TEST(Fmoffat, HeldBackgroundKeepsTheGivenValue) {
    MoffatTruth t = roundStar();
    t.background = 20.0;
    Call c;
    c.surface = 20.0f;
    ASSERT_EQ(c.run(makeStamp(t, kBoxlen), constantStamp(kBoxlen, 1.0f)), kMoffatOk);
    EXPECT_EQ(c.surface, 20.0f);
    EXPECT_EQ(c.ax, 0.0f);
    EXPECT_CLOSE(c.xscale, t.scale(t.fwhm1), kNoiseFreeTol);
}

TEST(Fmoffat, AxisAlongYIsReportedAsTheSecondAxis) {
    // Major axis at 100 degrees: reported as first axis at 10 degrees, the
    // wider width second.
    MoffatTruth t = roundStar();
    t.fwhm1 = 5.0;
    t.fwhm2 = 3.0;
    t.angle = 100.0 * kDegToRad;
    MArray<float, 2> image = makeStamp(t, kBoxlen);
    MArray<float, 2> error = constantStamp(kBoxlen, 1.0f);
    Call c;
    c.xcen = 0.3f;
    c.ycen = -0.2f;
    ASSERT_EQ(c.run(image, error), kMoffatOk);
    EXPECT_CLOSE(c.angle, 10.0 * kDegToRad, kNoiseFreeTol);
    EXPECT_CLOSE(c.xscale, t.scale(3.0), kNoiseFreeTol);
    EXPECT_CLOSE(c.yscale, t.scale(5.0), kNoiseFreeTol);
}

TEST(Fmoffat, FewDataPointsGiveMinusTwo) {
    // Nine usable pixels (3 x 3 around the centre) of a noise-free star: the
    // fit of six parameters succeeds, the status says the data were few.
    MoffatTruth const t = roundStar();
    MArray<float, 2> full = makeStamp(t, kBoxlen);
    MArray<float, 2> image = constantStamp(kBoxlen, 0.0f);
    for (int i = -1; i <= 1; ++i)
        for (int j = -1; j <= 1; ++j) image(i, j) = full(i, j);
    MArray<float, 2> error = constantStamp(kBoxlen, 1.0f);
    Call c;
    c.xcen = 0.3f;
    c.ycen = -0.2f;
    EXPECT_EQ(c.run(image, error), kMoffatFewPixels);
    // Not accepted: the outputs are untouched, nchi is written.
    EXPECT_EQ(c.amplitude, -1.0f);
    EXPECT_EQ(c.xscale, -1.0f);
    EXPECT_NE(c.nchi, -1.0f);
    // ... but the centre was reduced to stamp coordinates at entry.
    EXPECT_EQ(c.xcen, 0.3f);
}

TEST(Fmoffat, WidthOutsideRangeGivesMinusThree) {
    MArray<float, 2> image = makeStamp(roundStar(), kBoxlen);
    MArray<float, 2> error = constantStamp(kBoxlen, 1.0f);
    Call c;
    c.fwhmMax = 3.3f;  // between the two widths 3.0 and 3.6
    EXPECT_EQ(c.run(image, error), kMoffatWidthOutOfRange);
    Call d;
    d.fwhmMin = 3.3f;
    EXPECT_EQ(d.run(image, error), kMoffatWidthOutOfRange);
}

TEST(Fmoffat, BetaOutsideRangeGivesMinusFour) {
    MArray<float, 2> image = makeStamp(roundStar(), kBoxlen);
    MArray<float, 2> error = constantStamp(kBoxlen, 1.0f);
    Call c;
    c.betaMin = 1.0f;
    c.betaMax = 2.0f;  // the star has 2.9
    EXPECT_EQ(c.run(image, error), kMoffatBetaOutOfRange);
}

TEST(Fmoffat, CentreOutsideStampGivesMinusFive) {
    // The wing of a star centred 3 pixels beyond the stamp's right edge.
    MoffatTruth t = roundStar();
    t.cx = kBoxlen + 3.0;
    t.cy = 0.0;
    MArray<float, 2> image = makeStamp(t, kBoxlen);
    MArray<float, 2> error = constantStamp(kBoxlen, 1.0f);
    Call c;
    EXPECT_EQ(c.run(image, error), kMoffatCentreOutside);
}

TEST(Fmoffat, UncertainAmplitudeGivesMinusSix) {
    // A faint star with enormous errors: the amplitude's error exceeds it.
    MoffatTruth t = roundStar();
    t.amplitude = 10.0;
    MArray<float, 2> image = makeStamp(t, kBoxlen);
    MArray<float, 2> error = constantStamp(kBoxlen, 1000.0f);
    Call c;
    EXPECT_EQ(c.run(image, error), kMoffatAmplitudeUncertain);
    // The same with the pixel holding the centre (0.3, -0.2) unusable: the
    // test is skipped.
    image(0, -1) = 0.0f;
    Call d;
    EXPECT_EQ(d.run(image, error), kMoffatOk);
}

TEST(Fmoffat, EmptyAndBlankStampsFailWithoutReadingOutside) {
    MArray<float, 2> none;
    Call c;
    EXPECT_EQ(c.run(none, none), kMoffatWidthOutOfRange);
    // All pixels 0.0 (bad): no data, the fit fails and leaves zeros.
    MArray<float, 2> blank = constantStamp(kBoxlen, 0.0f);
    MArray<float, 2> error = constantStamp(kBoxlen, 1.0f);
    Call d;
    EXPECT_EQ(d.run(blank, error), kMoffatWidthOutOfRange);
    // Errors 0 everywhere: the same.
    MArray<float, 2> image = makeStamp(roundStar(), kBoxlen);
    MArray<float, 2> zeroError = constantStamp(kBoxlen, 0.0f);
    Call e;
    EXPECT_EQ(e.run(image, zeroError), kMoffatWidthOutOfRange);
    // An error stamp smaller than the image: pixels outside it take no part.
    MArray<float, 2> small(Range(-2, 2), Range(-2, 2));
    small = 1.0f;
    Call f;
    f.xcen = 0.3f;
    f.ycen = -0.2f;
    EXPECT_EQ(f.run(image, small), kMoffatOk);
}

TEST(Fmoffat, NonFinitePixelsAreTreatedAsBad) {
    MoffatTruth const t = roundStar();
    MArray<float, 2> image = makeStamp(t, kBoxlen);
    MArray<float, 2> error = constantStamp(kBoxlen, 1.0f);
    MArray<float, 2> zeroed;
    zeroed.copy(image);
    image(1, 0) = std::numeric_limits<float>::quiet_NaN();
    zeroed(1, 0) = 0.0f;
    image(-3, 2) = std::numeric_limits<float>::infinity();
    zeroed(-3, 2) = 0.0f;
    error(4, 4) = std::numeric_limits<float>::infinity();
    MArray<float, 2> zeroedError;
    zeroedError.copy(error);
    zeroedError(4, 4) = 0.0f;
    Call c, ref;
    c.xcen = ref.xcen = 0.3f;
    c.ycen = ref.ycen = -0.2f;
    ASSERT_EQ(c.run(image, error), kMoffatOk);
    ASSERT_EQ(ref.run(zeroed, zeroedError), kMoffatOk);
    EXPECT_EQ(c.nchi, ref.nchi);
    EXPECT_EQ(c.xscale, ref.xscale);
    EXPECT_EQ(c.angle, ref.angle);
    EXPECT_EQ(c.xcen, ref.xcen);
}

TEST(Fmoffat, UnusablePositionsAndLimitsFailCleanly) {
    MArray<float, 2> image = makeStamp(roundStar(), kBoxlen);
    MArray<float, 2> error = constantStamp(kBoxlen, 1.0f);
    // A position beyond any image: no pixel lies in the circle around it.
    for (float far : {1e20f, -1e20f, std::numeric_limits<float>::quiet_NaN(),
                      std::numeric_limits<float>::infinity()}) {
        Call c;
        c.xcen = far;
        EXPECT_EQ(c.run(image, error), kMoffatWidthOutOfRange) << far;
    }
    // Width limits 0 make the start widths infinite and the first model
    // value NaN: every step fails, then the covariance step.
    Call d;
    d.fwhmMin = d.fwhmMax = 0.0f;
    d.xcen = 0.3f;
    d.ycen = -0.2f;
    EXPECT_EQ(d.run(image, error), kMoffatWidthOutOfRange);
}

TEST(Fmoffat, CentreIsRoundedHalfToEven) {
    MArray<float, 2> blank = constantStamp(kBoxlen, 0.0f);
    Call c;
    c.xcen = 100.5f;
    c.ycen = 101.5f;
    c.run(blank, blank);
    EXPECT_EQ(c.xcen, 0.5f);
    EXPECT_EQ(c.ycen, -0.5f);
}

// The lines written on standard output by one call.
std::vector<std::string> outputLines(Call& c, MArray<float, 2> const& image,
                                     MArray<float, 2> const& error, int* status = nullptr) {
    testing::internal::CaptureStdout();
    int const s = c.run(image, error);
    std::string const out = testing::internal::GetCapturedStdout();
    if (status) *status = s;
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(Fmoffat, TableRowOfAFailedFit) {
    // Nothing usable: 18 singular steps, then the failed covariance step sets
    // all parameters to 0 (both widths infinite) and leaves nchi at 0.
    MArray<float, 2> blank = constantStamp(kBoxlen, 0.0f);
    Call c;
    c.verbose = 3;
    c.xcen = 100.3f;
    c.ycen = 49.8f;
    int status = 0;
    std::vector<std::string> const lines = outputLines(c, blank, blank, &status);
    EXPECT_EQ(status, kMoffatWidthOutOfRange);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0],
              "        0.00          18           0        0.00        0.00        0.00"
              "        0.00      100.00       50.00         inf         inf        0.00"
              "        0.00");
    EXPECT_EQ(std::cout.flags() & std::ios_base::floatfield, std::ios_base::fmtflags(0));
}

TEST(Fmoffat, TableRowOfASuccessfulFit) {
    MoffatTruth const t = roundStar();
    MArray<float, 2> image = makeStamp(t, kBoxlen);
    MArray<float, 2> error = constantStamp(kBoxlen, 1.0f);
    Call c;
    c.verbose = 3;
    c.xcen = 100.3f;
    c.ycen = 49.8f;
    std::vector<std::string> const lines = outputLines(c, image, error);
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_EQ(lines[0].size(), 13u * 12u);
    // Cells show two decimals of a noise-free fit: within 0.01 of the truth.
    auto shown = [](double expected) { return 0.01 / std::fmax(1.0, std::fabs(expected)); };
    std::vector<double> cells;
    for (size_t k = 0; k < 13; ++k) cells.push_back(std::stod(lines[0].substr(12 * k, 12)));
    float const sx = 100.3f - 100;
    float const sy = 49.8f - 50;
    int dataPoints = 0;
    for (int i = -kBoxlen; i <= kBoxlen; ++i)
        for (int j = -kBoxlen; j <= kBoxlen; ++j)
            if ((i - sx) * (i - sx) + (j - sy) * (j - sy) <= kCircle) ++dataPoints;
    EXPECT_EQ(cells[2], dataPoints);
    EXPECT_EQ(cells[3], 0.0);  // background at the centre
    EXPECT_CLOSE(cells[0], c.nchi, shown(0.0));
    EXPECT_CLOSE(cells[6], t.amplitude, shown(t.amplitude));
    EXPECT_CLOSE(cells[7], 100.0 + t.cx, shown(100.0));
    EXPECT_CLOSE(cells[8], 50.0 + t.cy, shown(50.0));
    EXPECT_CLOSE(cells[9], t.fwhm1, shown(t.fwhm1));
    EXPECT_CLOSE(cells[10], t.fwhm2, shown(t.fwhm2));
    EXPECT_CLOSE(cells[11], 25.0, shown(25.0));
    EXPECT_EQ(cells[12], 2.9);
}

TEST(Fmoffat, DumpsShowStartValuesWithFirstMaximumInScanOrder) {
    // Two equal maxima, (-1, 5) and (2, -3): i is the outer loop, so (-1, 5)
    // is met first and wins although its j is larger.
    MArray<float, 2> image = constantStamp(kBoxlen, 1.0f);
    image(2, -3) = 9.0f;
    image(-1, 5) = 9.0f;
    image(-1, 6) = 0.5f;  // the minimum
    MArray<float, 2> error = constantStamp(kBoxlen, 1.0f);
    Call c;
    c.verbose = 4;
    c.surface = c.ax = c.ay = kMoffatFitThis;
    c.fwhmMin = 2.0f;
    c.fwhmMax = 4.0f;
    std::vector<std::string> const lines = outputLines(c, image, error);
    ASSERT_GE(lines.size(), 9u);  // 2 x 4 dump lines and the table row
    EXPECT_EQ(lines[0].substr(0, 30), "          a( 1)          a( 2)");
    std::vector<double> start;
    for (size_t k = 0; k < 10; ++k) start.push_back(std::stod(lines[1].substr(15 * k, 15)));
    EXPECT_EQ(start[0], 0.5);                    // minimum
    EXPECT_EQ(start[1], 8.5);                    // maximum - minimum
    EXPECT_CLOSE(start[2], 1.1305 / 3.0, 5e-6);  // 1.1305 / mean of the width limits
    EXPECT_CLOSE(start[3], 1.1305 / 3.0 + 0.1, 5e-6);
    EXPECT_EQ(start[4], -1.0);
    EXPECT_EQ(start[5], 5.0);
    EXPECT_EQ(start[6], 10.0);
    EXPECT_EQ(start[7], 2.9);
    EXPECT_EQ(start[8], 0.01);
    EXPECT_EQ(start[9], 0.01);
    EXPECT_EQ(lines[2],
              "        1.00000        1.00000        1.00000        1.00000        "
              "1.00000        1.00000        1.00000        0.00000        1.00000   "
              "     1.00000");
}

}  // namespace
