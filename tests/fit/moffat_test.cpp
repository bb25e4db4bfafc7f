#include "fit/moffat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "tests/fit/literal_moffat.h"
#include "tests/support/arrays.h"
#include "tests/support/float_compare.h"
#include "tests/support/moffat_fit.h"

namespace fit {
namespace {

using sci::MArray;
using testsupport::constantStamp;
using testsupport::GaussianNoise;
using testsupport::makeStamp;
using testsupport::MoffatCall;
using testsupport::MoffatStar;
using testsupport::sameBits;
using testsupport::Stamp;
using testsupport::toMArray;
using Vec = MArray<double, 1>;

constexpr int kBoxlen = 12;
constexpr double kPi = M_PI;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// The sub-sampled model against the plain pixel mean: the power as
// exp(-a8 ln X), X^-(1+a8) as X^-a8 / X and the sums in another order move
// each term by a few units of rounding, of |a8 ln X| units for the power.
constexpr double kSampledTol = 1e-12;

// A star of widths 3.6 and 3.0 at 25 degrees, centred at (0.3, -0.2).
MoffatStar roundStar() {
    MoffatStar t;
    t.fwhm1 = 3.6;
    t.angle = 25.0 * kPi / 180.0;
    t.cx = 0.3;
    t.cy = -0.2;
    return t;
}

Stamp ones() {
    return constantStamp(kBoxlen, 1.0f);
}

TEST(Fmoffat, StatusCodesOnCraftedStamps) {
    Stamp const star = makeStamp(roundStar(), kBoxlen), unit = ones(), none;
    // The pixels (-1..1, -1..1) of the star; ten: also (6, 6), which lies on
    // the circle of a 17 x 17 stamp: r = 8, 6^2 + 6^2 = (r + 1) r. Ten data
    // points are as few as a fit may have.
    Stamp nine = constantStamp(kBoxlen, 0.0f), ten = constantStamp(8, 0.0f);
    for (int i = -1; i <= 1; ++i)
        for (int j = -1; j <= 1; ++j) nine(i, j) = ten(i, j) = star(i, j);
    ten(6, 6) = star(6, 6);
    // A faint star, its amplitude uncertain with errors 1000, also with the
    // pixel holding its centre (0.3, -0.2) bad.
    MoffatStar t = roundStar();
    t.amplitude = 10.0;
    Stamp const faint = makeStamp(t, kBoxlen), large = constantStamp(kBoxlen, 1000.0f);
    Stamp faintBadCentre = makeStamp(t, kBoxlen);
    faintBadCentre(0, -1) = 0.0f;
    // Pixels that are not finite, or have an error that is not, take no part.
    Stamp nonFinite = makeStamp(roundStar(), kBoxlen), nonFiniteError = ones();
    nonFinite(1, 0) = kNaN;
    nonFinite(-3, 2) = kInf;
    nonFiniteError(4, 4) = kInf;
    struct Row {
        char const* name;
        Stamp image, error;
        float fwhmMax, xcen;
        int status;
    };
    std::vector<Row> const rows = {
        // Nine data points: the fit succeeds, the status says they were few.
        {"3 x 3 usable pixels", nine, unit, 20, 0, kMoffatFewPixels},
        {"ten pixels, one on the circle", ten, constantStamp(8, 1.0f), 20, 0, kMoffatOk},
        {"fwhm_max between the widths", star, unit, 3.3f, 0, kMoffatWidthOutOfRange},
        {"faint star, large errors", faint, large, 20, 0, kMoffatAmplitudeUncertain},
        // The amplitude is only checked where the centre pixel is usable.
        {"the same, centre pixel bad", faintBadCentre, large, 20, 0, kMoffatOk},
        {"non-finite pixels", nonFinite, nonFiniteError, 20, 0, kMoffatOk},
        // No data: 18 singular steps, a failed covariance step, all parameters 0.
        {"empty stamps", none, none, 20, 0, kMoffatWidthOutOfRange},
        // Positions beyond any image: no pixel in the circle around them.
        {"xcen 1e20", star, unit, 20, 1e20f, kMoffatWidthOutOfRange},
        {"xcen NaN", star, unit, 20, kNaN, kMoffatWidthOutOfRange},
    };
    for (Row const& r : rows) {
        SCOPED_TRACE(r.name);
        MoffatCall c;
        c.fwhmMax = r.fwhmMax;
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

TEST(Fmoffat, TableRowOfAFailedFitAndCentreRoundedHalfToEven) {
    // Nothing usable: 18 singular steps, the failed covariance step sets all
    // parameters to 0 (widths infinite), nchi 0; 100.5 and 49.5 round to the
    // even 100 and 50.
    Stamp const blank = constantStamp(kBoxlen, 0.0f);
    MoffatCall c;
    c.verbose = 3;
    c.xcen = 100.5f;
    c.ycen = 49.5f;
    std::vector<std::string> const lines = c.run(blank, blank);
    EXPECT_EQ(c.xcen, 0.5f);
    EXPECT_EQ(c.ycen, -0.5f);
    EXPECT_EQ(lines, std::vector<std::string>{
                         "        0.00          18           0        0.00        0.00        0.00"
                         "        0.00      100.00       50.00         inf         inf        0.00"
                         "        0.00"});
}

// Random parameters a(1..10), inverse widths in [0.05, 2].
std::vector<double> randomParams(GaussianNoise& rng) {
    return {rng.uniform(-5, 5), rng.uniform(10, 1000), rng.uniform(0.05, 2), rng.uniform(0.05, 2),
            rng.uniform(-2, 2), rng.uniform(-2, 2),    rng.uniform(-7, 7),   rng.uniform(0.5, 6),
            rng.uniform(-1, 1), rng.uniform(-1, 1)};
}

// Sampled at n x n points of each pixel (n = 1: the pixel centre) the values
// and derivatives of funcs, funcsValues and funcsDerivatives are those of the
// plain model of tests/fit/literal_moffat.h: bit for bit at pixel centres, to
// rounding when sub-sampled (the power as exp(-a8 ln X) and the sums in
// another order), with funcsValues and funcsDerivatives bit for bit those of
// funcs in both.
TEST(MoffatModel, EvaluationIsThatOfThePlainModel) {
    // Data points in random order; x whole, to meet x = +-2 below.
    GaussianNoise rng(1515u);
    std::vector<double> px, py;
    for (int k = 1; k <= 120; ++k) {
        px.push_back(std::floor(rng.uniform(-kBoxlen, kBoxlen + 1.0)));
        py.push_back(rng.uniform(-kBoxlen, kBoxlen));
    }
    int const n = static_cast<int>(px.size());
    Vec const x = toMArray(px), y = toMArray(py);

    // a8 = 2.9, a7 = 0, a4 = 0, centre 0: X = 1 + (a3 x)^2 reaches the power
    // limit 10^(100 / 3.9) at x = +-2 for a3 = limit; scaled a little to lie
    // in or just out of the band where log10 decides.
    double const limit = std::sqrt(std::pow(10.0, 100.0 / 3.9) - 1.0) / 2.0;
    double const nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<std::vector<double>> centred = {
        {1, 300, 1e30, 1e30, 0.3, -0.2, 0.7, 2.9, 0.1, -0.2},   // huge widths 1/a3
        {1, 300, 1e200, 0.25, 0.3, -0.2, 0.7, 2.9, 0.1, -0.2},  // X = inf
        {1, 300, 1e12, 0.25, 0.3, -0.2, 0.7, -5, 0.1, -0.2},    // overflow beyond |u| ~ 3
        {1, 300, 0.4, 0.25, 0.3, -0.2, 0.7, -1, 0.1, -0.2},     // 1 + a8 = 0
        {1, 300, 0.4, 0.25, 0.3, -0.2, 0.7, nan, 0.1, -0.2}};
    // Sub-sampled: the power limit, 10^(100 / 3.9) = (2e12 r)^2, at r = 3.3
    // pixels, where some pixels have sub-points on both sides; the power
    // overflowing in the pixels far enough out.
    std::vector<std::vector<double>> sampled = {
        {1, 300, 2e12, 2e12, 0.3, -0.2, 0.7, 2.9, 0.1, -0.2}, centred[2]};
    for (double angle : {0.0, kPi / 2, kPi, 1.5 * kPi, -kPi / 2, 2 * kPi, 10.0})
        centred.push_back({1, 300, 0.4, 0.25, 0.3, -0.2, angle, 2.9, 0.1, -0.2});
    for (double f : {1.0, 1 - 1e-9, 1 + 1e-9, 1 - 1e-4, 1 + 1e-4})
        centred.push_back({0, 100, limit * f, 0, 0, 0, 0, 2.9, 0, 0});
    for (int r = 0; r < 30; ++r) {
        centred.push_back(randomParams(rng));
        if (r < 8) sampled.push_back(randomParams(rng));
    }
    // The driver's free parameters, all and a mixed set, taken in turn.
    std::vector<std::vector<int>> const masks = {
        {0, 1, 1, 1, 1, 1, 1, 0, 0, 0}, std::vector<int>(10, 1), {1, 0, 0, 1, 0, 1, 0, 1, 1, 0}};

    int failed = 0, negligible = 0;
    for (int sub : {1, 2, 3, 5, kMoffatMaxSubsample}) {
        std::vector<std::vector<double>> const& cases = sub == 1 ? centred : sampled;
        auto same = [sub](double a, double b) {
            return sub == 1 ? sameBits(a, b) : testsupport::closeTo(a, b, kSampledTol);
        };
        for (size_t ci = 0; ci < cases.size(); ++ci) {
            SCOPED_TRACE("subsample " + std::to_string(sub) + " case " + std::to_string(ci));
            Vec const a = toMArray(cases[ci]);
            MArray<int, 1> const ia = toMArray(masks[ci % masks.size()]);
            std::vector<int> free;
            for (int l = 1; l <= 10; ++l)
                if (ia(l) != 0) free.push_back(l);
            int const m = static_cast<int>(free.size());
            Class_moffat_fit fast(x, y, x, y, a, ia, sub);

            // Values and the free derivatives at every point, in runs up to the
            // next point where the model fails; funcs with all ten derivatives.
            std::vector<double> yfit(px.size()), dfree(px.size() * free.size());
            for (int start = 0; start < n;) {
                int const done =
                    fast.funcsValues(a, &px[start], &py[start], n - start, &yfit[start]);
                fast.funcsDerivatives(a, free.data(), m, &px[start], &py[start], done,
                                      dfree.data() + start * m);
                for (int k = start; k < n && k <= start + done; ++k) {
                    SCOPED_TRACE("point " + std::to_string(k));
                    double ref = 0.0, one = 0.0;
                    Vec refD(10), oneD(10);
                    int const status = literal::moffatSampled(px[k], py[k], a, sub, ref, refD);
                    ASSERT_EQ(fast.funcs(px[k], py[k], a, one, oneD), status);
                    ASSERT_EQ(status, k < start + done ? kModelOk : kModelFailed);
                    failed += status != kModelOk;
                    if (status != kModelOk) continue;
                    negligible += refD(2) == 0.0 && refD(3) == 0.0;
                    EXPECT_TRUE(same(one, ref));
                    EXPECT_TRUE(sameBits(yfit[k], one));
                    for (int j = 0; j < m; ++j)
                        EXPECT_TRUE(sameBits(dfree[k * m + j], oneD(free[j]))) << free[j];
                    for (int l = 1; l <= 10; ++l) EXPECT_TRUE(same(oneD(l), refD(l))) << l;
                }
                start += done + 1;
            }
        }
    }
    EXPECT_GT(failed, 0);
    EXPECT_GT(negligible, 0);
}

TEST(Fmoffat, FitsAreBitForBitThoseOfThePlainFitter) {
    // Stamps that drive the fit to its limits: a single bright pixel (the
    // profile term negligible almost everywhere), a flat stamp, no data; and
    // stars of random shape (some at multiples of 90 degrees), unit noise.
    Stamp spike = constantStamp(kBoxlen, 0.001f);
    spike(0, 0) = 1000.0f;
    std::vector<Stamp> stamps = {spike, ones(), constantStamp(kBoxlen, 0.0f)};
    GaussianNoise rng(2015u);
    for (int r = 0; r < 8; ++r) {
        MoffatStar t;
        t.amplitude = rng.uniform(3, 3000);
        t.fwhm1 = rng.uniform(1.5, 6);
        t.fwhm2 = t.fwhm1 * rng.uniform(0.7, 1.0);
        t.angle = r % 3 == 0 ? (r / 3) * kPi / 2 : rng.uniform(-kPi, kPi);
        t.cx = rng.uniform(-0.5, 0.5);
        t.cy = rng.uniform(-0.5, 0.5);
        t.background = r % 2 ? rng.uniform(-5, 5) : 0.0;
        t.beta = rng.uniform(2, 4);
        stamps.push_back(makeStamp(t, kBoxlen, 1.0, &rng));
    }
    // Each fitted as the driver fits it and with background, slopes and beta
    // free; with width limits 1, 20; 1e-30 (start inverse widths 1e30, every
    // point beyond the power limit); 0 (infinite, a NaN model).
    for (size_t si = 0; si < stamps.size(); ++si) {
        for (int variant = 0; variant < 6; ++variant) {
            SCOPED_TRACE("stamp " + std::to_string(si) + " variant " + std::to_string(variant));
            MoffatCall c;
            c.verbose = 4;
            if (variant % 2 == 1) {
                c.surface = c.ax = c.ay = kMoffatFitThis;
                c.betaMin = 1.5f;
                c.betaMax = 5.0f;
            }
            if (variant >= 2) c.fwhmMin = c.fwhmMax = variant < 4 ? 1e-30f : 0.0f;
            MoffatCall ref = c;
            // The dumps, and the table row with nchi and the iterations.
            EXPECT_EQ(c.run(stamps[si], ones()),
                      ref.run(stamps[si], ones(), literal::makeMoffatFit));
            EXPECT_EQ(c.status, ref.status);
            for (float MoffatCall::*f :
                 {&MoffatCall::surface, &MoffatCall::ax, &MoffatCall::ay, &MoffatCall::xcen,
                  &MoffatCall::ycen, &MoffatCall::amplitude, &MoffatCall::xscale,
                  &MoffatCall::yscale, &MoffatCall::angle, &MoffatCall::beta, &MoffatCall::nchi})
                EXPECT_TRUE(sameBits(c.*f, ref.*f)) << c.*f << " " << ref.*f;
        }
    }
}

}  // namespace
}  // namespace fit
