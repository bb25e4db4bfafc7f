// Recovery of known elliptical Moffat profiles from noisy synthetic stamps,
// fitted with the settings of the star-selection driver: background and
// slopes held at 0, beta held at 2.9, widths accepted in [1, 20] pixels,
// 25 x 25 stamps (boxlen 12), the noise sigma as the error stamp.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "fit/moffat.h"
#include "tests/fit/synthetic_stamp.h"
#include "tests/support/float_compare.h"

namespace {

using fittest::GaussianNoise;
using fittest::kDegToRad;
using fittest::kPi;
using fittest::MoffatTruth;

constexpr int kBoxlen = 12;
// Data points lie within (r + 1) r of the centre, r = boxlen.
constexpr float kCircle = (kBoxlen + 1.0f) * kBoxlen;
constexpr float kDriverBeta = 2.9f;
constexpr float kDriverFwhmMin = 1.0f;
constexpr float kDriverFwhmMax = 20.0f;

// The accuracy asked of the fit: mean FWHM within 1 % of the truth, the
// major-axis angle within 2 degrees where the ellipticity is at least 0.1,
// nchi in [0.9, 1.1] (a correct model with correct errors over ~490 pixels
// gives nchi = 1 with a scatter of 1/sqrt(2 * 484) = 0.032).
constexpr double kFwhmRelTol = 0.01;
constexpr double kAngleTolDeg = 2.0;
constexpr double kMinEllipticityForAngle = 0.1;
constexpr double kNchiLow = 0.9;
constexpr double kNchiHigh = 1.1;

// At a peak S/N of 200 the noise alone limits smaller stars more than that
// (scatter over 300 noise realisations per shape, fitter at the least-squares
// minimum): the mean FWHM scatters by about 0.0093 / FWHM(px) relative (0.62 %
// at 1.5 px, 0.27 % at 3 px), the angle by about 0.42 deg / (e * FWHM(px))
// (2.8 deg at e = 0.1 and 1.5 px). The 1 % and 2 degree limits are checked
// where they are at least about three times that scatter; elsewhere the limits
// are four to five times the scatter.
constexpr double kSnr200FullFwhmFrom = 3.0;           // px
constexpr double kSnr200SmallStarFwhmRelTol = 0.03;   // 0.62 % scatter at 1.5 px
constexpr double kSnr200FullAngleFromEFwhm = 0.6;     // e * FWHM(px): 0.7 deg scatter
constexpr double kSnr200AngleScatterDegEFwhm = 0.42;  // deg * e * FWHM(px)
constexpr double kSnr200AngleScatterMultiple = 5.0;

// The fit from the start values of fmoffat ends at the same least-squares
// minimum as a fit started at the truth: chi differs by the float narrowing of
// nchi, the widths by much less than their statistical scatter.
constexpr double kSameMinimumNchiTol = 1e-6;
constexpr double kSameMinimumFwhmTol = 1e-4;

struct DriverFit {
    int status;
    float xcen, ycen, amplitude, xscale, yscale, angle, beta, nchi;
    double xfwhm, yfwhm, fwhm;  // as the driver derives them from the returned floats
};

DriverFit fitLikeDriver(sci::MArray<float, 2> const& image, sci::MArray<float, 2> const& error,
                        float x, float y) {
    DriverFit f{};
    float surface = 0.0f, ax = 0.0f, ay = 0.0f;
    f.xcen = x;
    f.ycen = y;
    f.status = fmoffat(image, error, surface, ax, ay, kDriverBeta, kDriverBeta, kDriverFwhmMin,
                       kDriverFwhmMax, f.xcen, f.ycen, f.amplitude, f.xscale, f.yscale, f.angle,
                       f.beta, f.nchi, 0);
    // xfwhm = 2 sqrt(2^(1/beta) - 1) / xscale in double, stored as float; the
    // mean of the two stored widths.
    f.xfwhm = static_cast<float>(2.0 * std::sqrt(std::pow(2.0, 1.0 / f.beta) - 1.0) / f.xscale);
    f.yfwhm = static_cast<float>(2.0 * std::sqrt(std::pow(2.0, 1.0 / f.beta) - 1.0) / f.yscale);
    f.fwhm = (static_cast<float>(f.xfwhm) + static_cast<float>(f.yfwhm)) * 0.5;
    return f;
}

// The difference of two axis angles (degrees), which are the same modulo 180.
double axisAngleDiffDeg(double a, double b) {
    return std::fabs(std::remainder(a - b, 180.0));
}

// A synthetic star: mean FWHM m, ellipticity e = 1 - minor/major, random
// major-axis angle and sub-pixel centre.
MoffatTruth randomStar(double peakSnr, double sigma, double meanFwhm, double e,
                       GaussianNoise& rng) {
    MoffatTruth t;
    t.amplitude = peakSnr * sigma;
    t.beta = kDriverBeta;
    t.fwhm1 = 2.0 * meanFwhm / (2.0 - e);
    t.fwhm2 = t.fwhm1 * (1.0 - e);
    t.angle = (rng.uniform() * 180.0 - 90.0) * kDegToRad;
    t.cx = rng.uniform() - 0.5;
    t.cy = rng.uniform() - 0.5;
    return t;
}

struct Worst {
    double fwhmRel = 0.0;
    double angleDeg = 0.0;
    double nchiLow = 10.0;
    double nchiHigh = 0.0;
    int fits = 0;
};

// Limits for one star shape.
struct Limits {
    double fwhmRel;
    double angleDeg;
};

constexpr double kFwhms[] = {1.5, 2.0, 3.0, 4.5, 6.0, 8.0, 10.0};
constexpr double kEllipticities[] = {0.0, 0.1, 0.2, 0.3};
constexpr double kSigma = 5.0;
constexpr int kStarsPerShape = 3;

// Fits stamps over the grid of mean FWHMs and ellipticities, three random
// angles and centres each, at the given peak S/N; checks every fit against
// limits(meanFwhm, e) and returns the worst deviations.
template <class LimitsOf>
Worst recoverGrid(double peakSnr, std::uint32_t seed, LimitsOf limits) {
    GaussianNoise noise(seed);
    sci::MArray<float, 2> error = fittest::constantStamp(kBoxlen, static_cast<float>(kSigma));
    Worst worst;
    for (double meanFwhm : kFwhms) {
        for (double e : kEllipticities) {
            Limits const lim = limits(meanFwhm, e);
            for (int k = 0; k < kStarsPerShape; ++k) {
                MoffatTruth const t = randomStar(peakSnr, kSigma, meanFwhm, e, noise);
                sci::MArray<float, 2> image = fittest::makeStamp(t, kBoxlen, kSigma, &noise);
                DriverFit const f = fitLikeDriver(image, error, static_cast<float>(500.0 + t.cx),
                                                  static_cast<float>(300.0 + t.cy));
                SCOPED_TRACE(::testing::Message()
                             << "fwhm " << meanFwhm << " e " << e << " angle "
                             << t.angle / kDegToRad << " centre " << t.cx << "," << t.cy);
                ++worst.fits;
                EXPECT_EQ(f.status, kMoffatOk);
                double const rel = std::fabs(f.fwhm / meanFwhm - 1.0);
                EXPECT_LE(rel, lim.fwhmRel);
                worst.fwhmRel = std::fmax(worst.fwhmRel, rel);
                EXPECT_GE(f.nchi, kNchiLow);
                EXPECT_LE(f.nchi, kNchiHigh);
                worst.nchiLow = std::fmin(worst.nchiLow, f.nchi);
                worst.nchiHigh = std::fmax(worst.nchiHigh, f.nchi);
                EXPECT_LE(std::fabs(f.angle), kPi / 4.0 + 1e-6);
                if (e >= kMinEllipticityForAngle) {
                    // The major axis is the first one when xfwhm > yfwhm.
                    double const major = f.angle / kDegToRad + (f.xfwhm >= f.yfwhm ? 0.0 : 90.0);
                    double const d = axisAngleDiffDeg(major, t.angle / kDegToRad);
                    EXPECT_LE(d, lim.angleDeg);
                    worst.angleDeg = std::fmax(worst.angleDeg, d);
                }
            }
        }
    }
    return worst;
}

void report(char const* label, Worst const& w) {
    std::printf(
        "%s: %d fits, worst |mean FWHM / truth - 1| = %.5f, worst angle error = %.3f deg, "
        "nchi in [%.4f, %.4f]\n",
        label, w.fits, w.fwhmRel, w.angleDeg, w.nchiLow, w.nchiHigh);
}

TEST(MoffatRecovery, KnownProfilesAtPeakSnr1000MeetTheAccuracyLimits) {
    Worst const w = recoverGrid(1000.0, 77u, [](double, double) {
        return Limits{kFwhmRelTol, kAngleTolDeg};
    });
    report("peak S/N 1000", w);
}

TEST(MoffatRecovery, KnownProfilesAtPeakSnr200WithinTheNoiseFloor) {
    Worst const w = recoverGrid(200.0, 20240611u, [](double meanFwhm, double e) {
        Limits lim{kFwhmRelTol, kAngleTolDeg};
        if (meanFwhm < kSnr200FullFwhmFrom) lim.fwhmRel = kSnr200SmallStarFwhmRelTol;
        if (e * meanFwhm < kSnr200FullAngleFromEFwhm)
            lim.angleDeg =
                kSnr200AngleScatterMultiple * kSnr200AngleScatterDegEFwhm / (e * meanFwhm);
        return lim;
    });
    report("peak S/N 200", w);
}

TEST(MoffatRecovery, EndsAtTheLeastSquaresMinimum) {
    // The same data fitted from the truth (the driver's fixed parameters)
    // with the fitter itself.
    GaussianNoise noise(31337u);
    sci::MArray<float, 2> error = fittest::constantStamp(kBoxlen, static_cast<float>(kSigma));
    for (double meanFwhm : kFwhms) {
        for (double e : {0.05, 0.3}) {
            MoffatTruth const t = randomStar(200.0, kSigma, meanFwhm, e, noise);
            sci::MArray<float, 2> image = fittest::makeStamp(t, kBoxlen, kSigma, &noise);
            DriverFit const f =
                fitLikeDriver(image, error, static_cast<float>(t.cx), static_cast<float>(t.cy));
            ASSERT_EQ(f.status, kMoffatOk);

            std::vector<double> px, py, pz;
            float const cx = static_cast<float>(t.cx);
            float const cy = static_cast<float>(t.cy);
            for (int i = -kBoxlen; i <= kBoxlen; ++i)
                for (int j = -kBoxlen; j <= kBoxlen; ++j)
                    if ((i - cx) * (i - cx) + (j - cy) * (j - cy) <= kCircle) {
                        px.push_back(i);
                        py.push_back(j);
                        pz.push_back(image(i, j));
                    }
            int const n = static_cast<int>(px.size());
            sci::MArray<double, 1> x(n), y(n), z(n), sig(n);
            for (int k = 1; k <= n; ++k) {
                x(k) = px[k - 1];
                y(k) = py[k - 1];
                z(k) = pz[k - 1];
                sig(k) = kSigma;
            }
            sci::MArray<double, 1> a(10);
            sci::MArray<int, 1> ia(10);
            a(1) = 0.0;
            a(2) = t.amplitude;
            a(3) = t.scale(t.fwhm1);
            a(4) = t.scale(t.fwhm2);
            a(5) = t.cx;
            a(6) = t.cy;
            a(7) = t.angle;
            a(8) = kDriverBeta;
            a(9) = 0.0;
            a(10) = 0.0;
            ia = 1;
            ia(1) = ia(8) = ia(9) = ia(10) = 0;
            Class_moffat_fit fit(x, y, z, sig, a, ia);
            ASSERT_EQ(fit.calc(), kCalcDone);
            double const truthStartMean = (moffatFwhm(fit.a(8), std::fabs(fit.a(3))) +
                                           moffatFwhm(fit.a(8), std::fabs(fit.a(4)))) *
                                          0.5;
            SCOPED_TRACE(::testing::Message() << "fwhm " << meanFwhm << " e " << e);
            EXPECT_CLOSE(f.nchi, fit.nchi, kSameMinimumNchiTol);
            EXPECT_CLOSE(f.fwhm / truthStartMean, 1.0, kSameMinimumFwhmTol);
        }
    }
}

}  // namespace
