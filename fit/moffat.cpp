#include "fit/moffat.h"

#include <cmath>
#include <iostream>
#include <utility>
#include <vector>

#include "fit/print_f.h"

namespace {

// M_PI, spelled out so that it does not depend on a non-standard macro.
constexpr double kPi = 3.14159265358979323846;
constexpr double kHalfTurnDeg = 180.0;

constexpr int kParams = 10;         // a(1..10)
constexpr int kMinDataPoints = 10;  // fewer data points: kMoffatFewPixels
constexpr int kMaxIterations = 1000;

// Beyond this magnitude log10(X) (1 + a8) makes X^-(1+a8) negligible (> 100)
// or an overflow (< -100).
constexpr double kPowerLimit = 100.0;

// Start values of the fit. 1.1305 is taken exactly as the program uses it:
// the start inverse width for the mean of fwhm_min and fwhm_max, not derived
// from the start beta.
constexpr double kStartScale = 1.1305;
constexpr double kStartScaleStep = 0.1;  // a4 = a3 + 0.1: a slightly elliptical start
constexpr double kStartAngle = 10.0;     // radian
constexpr double kStartBeta = 3.0;
constexpr double kStartSlope = 0.01;
constexpr double kNoMinimum = 1e100;
constexpr double kNoMaximum = -1e100;

// Beyond this a position cannot be a stamp centre (and would not fit an int).
constexpr float kMaxCentreIndex = 1e9f;

// Table row: 13 cells of 12 characters with one leading blank.
constexpr int kCellWidth = 12;
constexpr int kCellBlanks = 1;
constexpr int kCellPrecision = 2;
constexpr int kCountPrecision = 0;

// The nearest integer, halves to even (the default rounding mode); 0 for a
// position that is not a number or out of any image's range.
int nearestIndex_(float v) {
    float const r = std::nearbyint(v);
    if (!(std::fabs(r) <= kMaxCentreIndex)) return 0;
    return static_cast<int>(r);
}

// A pixel takes part in the fit (as data point or for the start values) when
// it lies in both stamps, its value is finite and not 0.0 (0.0 marks a bad
// pixel) and its error is finite and positive.
bool usable_(sci::MArray<float, 2> const& image, sci::MArray<float, 2> const& error, int i, int j) {
    if (i < image.base(1) || i > image.last(1) || j < image.base(2) || j > image.last(2))
        return false;
    if (i < error.base(1) || i > error.last(1) || j < error.base(2) || j > error.last(2))
        return false;
    float const v = image(i, j);
    float const e = error(i, j);
    return v != 0.0f && std::isfinite(v) && e > 0.0f && std::isfinite(e);
}

void printCell_(double value, int precision) {
    printF{kCellWidth, precision, value, kCellBlanks}(std::cout);
}

}  // namespace

int Class_moffat_fit::funcs(double x, double y, sci::MArray<double, 1> const& a, double& yfit,
                            sci::MArray<double, 1>& dyda) {
    double const a1 = a(1), a2 = a(2), a3 = a(3), a4 = a(4), a5 = a(5), a6 = a(6), a7 = a(7),
                 a8 = a(8), a9 = a(9), a10 = a(10);
    double const s = std::sin(a7);
    double const c = std::cos(a7);
    double const dx = x - a5;
    double const dy = y - a6;
    double const u = dx * c + dy * s;
    double const v = dy * c - dx * s;
    double const a3u = a3 * u;
    double const a4v = a4 * v;
    double const X = 1.0 + a3u * a3u + a4v * a4v;

    // log10 of X^(1 + a8): the size of the power that the profile needs.
    double const q = std::log10(X) * (1.0 + a8);
    if (q > kPowerLimit) {
        // The profile term is negligible: the background plane alone.
        yfit = a9 * x + a1 + a10 * y;
        dyda(1) = 1.0;
        for (int l = 2; l <= 8; ++l) dyda(l) = 0.0;
        dyda(9) = x;
        dyda(10) = y;
        return kModelOk;
    }
    if (q < -kPowerLimit) return kModelFailed;

    // P = X^-(1+a8), Q = X^-a8; d(X^-a8)/dt = -a8 P dX/dt with
    // dX/da3 = 2 a3 u^2, dX/da4 = 2 a4 v^2,
    // dX/da5 = 2 (a4^2 v sin a7 - a3^2 u cos a7), dX/da6 = 2 (-a3^2 u sin a7 - a4^2 v cos a7),
    // dX/da7 = 2 u v (a3^2 - a4^2)   (du/da7 = v, dv/da7 = -u).
    double const P = std::pow(X, -(1.0 + a8));
    double const Q = std::pow(X, -a8);
    yfit = a9 * x + a1 + a10 * y + a2 * Q;
    dyda(1) = 1.0;
    dyda(2) = Q;
    dyda(3) = -2.0 * a2 * a8 * a3 * u * u * P;
    dyda(4) = -2.0 * a2 * a8 * a4 * v * v * P;
    dyda(5) = -2.0 * a2 * a8 * (a4 * a4 * v * s - a3 * a3 * u * c) * P;
    dyda(6) = -2.0 * a2 * a8 * (-a3 * a3 * u * s - a4 * a4 * v * c) * P;
    dyda(7) = -2.0 * a2 * a8 * u * v * (a3 * a3 - a4 * a4) * P;
    dyda(8) = -a2 * std::log(X) * Q;
    dyda(9) = x;
    dyda(10) = y;
    return kModelOk;
}

double moffatFwhm(double beta, double scale) {
    // Half maximum where X^-beta = 1/2, X = 1 + (scale r)^2: r = sqrt(2^(1/beta) - 1) / scale.
    return 2.0 * std::sqrt(std::pow(2.0, 1.0 / beta) - 1.0) / scale;
}

void moffatNormalizeAxes(double& scale1, double& scale2, double& angle, double& error1,
                         double& error2) {
    scale1 = std::fabs(scale1);
    scale2 = std::fabs(scale2);
    angle = std::fmod(std::fmod(angle, kPi) + kPi, kPi);
    if (kPi / 4.0 < angle && angle < 3.0 * kPi / 4.0) {
        std::swap(scale1, scale2);
        std::swap(error1, error2);
        angle -= kPi / 2.0;
    }
    if (angle >= 3.0 * kPi / 4.0) angle -= kPi;
}

int moffatCentrePixel(double c, int first, int last) {
    double t = std::trunc(c < 0.0 ? c - 1.0 : c);
    if (!(t >= first)) t = first;  // also a NaN centre
    if (t > last) t = last;
    return static_cast<int>(t);
}

int fmoffat(sci::MArray<float, 2> const& image, sci::MArray<float, 2> const& error, float& surface,
            float& ax, float& ay, float beta_min, float beta_max, float fwhm_min, float fwhm_max,
            float& xcen, float& ycen, float& amplitude, float& xscale, float& yscale, float& angle,
            float& beta, float& nchi, int verbose) {
    // 1. Centre in stamp coordinates: offsets from the pixel nearest to the star.
    int const ix = nearestIndex_(xcen);
    int const iy = nearestIndex_(ycen);
    xcen -= ix;
    ycen -= iy;
    int const i1 = image.base(1);
    int const i2 = image.last(1);
    int const j1 = image.base(2);
    int const j2 = image.last(2);
    float const r = (i2 - i1) * 0.5f;
    float const limit = (r + 1) * r;

    // 2./3. Data points (usable pixels within the circle), scanned i outer, j
    // inner; the extremes over all usable pixels give the start values, the
    // first maximum in scan order winning.
    std::vector<double> px, py, pz, ps;
    double vmin = kNoMinimum;
    double vmax = kNoMaximum;
    int imax = 0;
    int jmax = 0;
    for (int i = i1; i <= i2; ++i) {
        for (int j = j1; j <= j2; ++j) {
            if (!usable_(image, error, i, j)) continue;
            double const value = image(i, j);
            float const di = i - xcen;
            float const dj = j - ycen;
            if (di * di + dj * dj <= limit) {
                px.push_back(i);
                py.push_back(j);
                pz.push_back(value);
                ps.push_back(error(i, j));
            }
            if (value < vmin) vmin = value;
            if (value > vmax) {
                vmax = value;
                imax = i;
                jmax = j;
            }
        }
    }
    int const n = static_cast<int>(px.size());
    int status = n >= kMinDataPoints ? kMoffatOk : kMoffatFewPixels;

    sci::MArray<double, 1> x(n), y(n), z(n), sig(n);
    for (int k = 1; k <= n; ++k) {
        x(k) = px[k - 1];
        y(k) = py[k - 1];
        z(k) = pz[k - 1];
        sig(k) = ps[k - 1];
    }

    // 4. Start values; every parameter free.
    sci::MArray<double, 1> a(kParams), sa(kParams);
    sci::MArray<int, 1> ia(kParams);
    a(1) = vmin;
    a(2) = vmax - vmin;
    a(3) = kStartScale / ((fwhm_min + fwhm_max) * 0.5);
    a(4) = a(3) + kStartScaleStep;
    a(5) = imax;
    a(6) = jmax;
    a(7) = kStartAngle;
    a(8) = kStartBeta;
    a(9) = kStartSlope;
    a(10) = kStartSlope;
    ia = 1;
    sa = 0.0;

    // 5. Parameters held at given values.
    if (ax == 0.0f && ay == 0.0f) a(1) = surface;
    if (surface != kMoffatFitThis) {
        a(1) = surface;
        ia(1) = 0;
    }
    if (ax != kMoffatFitThis) {
        a(9) = ax;
        ia(9) = 0;
    }
    if (ay != kMoffatFitThis) {
        a(10) = ay;
        ia(10) = 0;
    }
    if (beta_min == beta_max) {
        a(8) = beta_min;
        ia(8) = 0;
    }

    // 6. Fit. A failed covariance step shows as all-zero parameters, which
    // the width check below turns into kMoffatWidthOutOfRange.
    Class_moffat_fit fit(x, y, z, sig, a, ia);
    if (verbose > 3) {
        fit.print_title();
        fit.print_a();
        fit.print_ia();
        fit.print_sa();
    }
    fit.max_iterations = kMaxIterations;
    fit.calc();
    int const iterations = fit.iterations;
    if (verbose > 3) {
        fit.print_title();
        fit.print_a();
        fit.print_ia();
        fit.print_sa();
    }
    for (int l = 1; l <= kParams; ++l) {
        a(l) = fit.a(l);
        sa(l) = fit.sa(l);
    }

    // 7./8./9.
    moffatNormalizeAxes(a(3), a(4), a(7), sa(3), sa(4));
    nchi = static_cast<float>(fit.nchi);
    double const xfwhm = moffatFwhm(a(8), a(3));
    double const yfwhm = moffatFwhm(a(8), a(4));

    // 10. Checks, written so that a NaN fails them.
    bool const widthsOk =
        fwhm_min <= xfwhm && fwhm_min <= yfwhm && xfwhm <= fwhm_max && yfwhm <= fwhm_max;
    bool const betaOk = beta_min <= a(8) && a(8) <= beta_max;
    bool const centreOk = i1 <= a(5) && a(5) <= i2 && j1 <= a(6) && a(6) <= j2;
    if (!widthsOk) {
        status = kMoffatWidthOutOfRange;
    } else if (!betaOk) {
        status = kMoffatBetaOutOfRange;
    } else if (!centreOk) {
        status = kMoffatCentreOutside;
    } else {
        int const p = moffatCentrePixel(a(5), i1, i2);
        int const q = moffatCentrePixel(a(6), j1, j2);
        if (usable_(image, error, p, q) && sa(2) > std::fabs(a(2)))
            status = kMoffatAmplitudeUncertain;
    }

    // 11. Table row under the driver's two header lines.
    if (verbose > 2) {
        std::cout << std::fixed;
        printCell_(static_cast<float>(fit.nchi), kCellPrecision);
        printCell_(iterations, kCountPrecision);
        printCell_(n, kCountPrecision);
        printCell_(static_cast<float>(a(1) + a(9) * a(5) + a(10) * a(6)), kCellPrecision);
        printCell_(static_cast<float>(a(9)), kCellPrecision);
        printCell_(static_cast<float>(a(10)), kCellPrecision);
        printCell_(a(2), kCellPrecision);
        printCell_(ix + a(5), kCellPrecision);
        printCell_(iy + a(6), kCellPrecision);
        printCell_(xfwhm, kCellPrecision);
        printCell_(yfwhm, kCellPrecision);
        printCell_(a(7) * kHalfTurnDeg / kPi, kCellPrecision);  // degrees, a7 * 180 / pi
        printCell_(a(8), kCellPrecision);
        std::cout << '\n';
    }

    // 12. Results.
    if (status == kMoffatOk) {
        surface = static_cast<float>(a(1));
        amplitude = static_cast<float>(a(2));
        xscale = static_cast<float>(a(3));
        yscale = static_cast<float>(a(4));
        xcen = static_cast<float>(a(5));
        ycen = static_cast<float>(a(6));
        angle = static_cast<float>(a(7));
        beta = static_cast<float>(a(8));
        ax = static_cast<float>(a(9));
        ay = static_cast<float>(a(10));
    }
    return status;
}
