#include "fit/moffat.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "fit/print_f.h"
#include "sci/angles.h"

namespace fit {

namespace {

constexpr double kHalfTurnDeg = 180.0;

constexpr int kParams = 10;         // a(1..10)
constexpr int kMinDataPoints = 10;  // fewer data points: kMoffatFewPixels
constexpr int kMaxIterations = 1000;

// Beyond this magnitude log10(X) (1 + a8) makes X^-(1+a8) negligible (> 100)
// or an overflow (< -100).
constexpr double kPowerLimit = 100.0;
// The bounds on X that decide the power limit without log10 lie this far
// (relative, in the exponent and in X) inside the limit, far more than the
// rounding of log10, of the product and of pow (a few 1e-16) can move it.
constexpr double kLimitMargin = 1e-6;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

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

void printCell_(std::ostream& out, double value, int precision) {
    printF{kCellWidth, precision, value, kCellBlanks}(out);
}

// The parts of the model that depend only on the parameters a(1..10), each
// formed with the operations and in the order of the model's formulas below,
// so that every value and derivative is bit for bit the same whether they
// are formed once per call or at every point.
struct MoffatTerms {
    double a1, a2, a3, a4, a5, a6, a8, a9, a10;
    double s, c;           // sin a7, cos a7
    double k, k3, k4;      // -2 a2 a8, -2 a2 a8 a3, -2 a2 a8 a4
    double a33, a44;       // a3 a3, a4 a4
    double na33, d34;      // (-a3) a3, a3 a3 - a4 a4
    double na2;            // -a2
    double b, expP, expQ;  // 1 + a8, -(1 + a8), -a8
    bool needP;            // some of a3..a7 needs P = X^-(1+a8)
    bool needLog;          // a8's derivative needs ln X
    // X < below: log10(X) (1 + a8) is certainly within [-100, 100]; X > above:
    // certainly > 100; otherwise (or X not a number) the exact test decides.
    double below = -kInfinity;
    double above = kInfinity;
};

// Terms for the parameters a(1..10). withBounds: set below and above (for
// 1 + a8 > 0, where X >= 1 makes the product >= 0 and the limit of 100 is
// crossed at X = 10^(100 / (1 + a8))); otherwise every point takes the exact test.
MoffatTerms moffatTerms(sci::MArray<double, 1> const& a, bool needP, bool needLog,
                        bool withBounds) {
    MoffatTerms t;
    t.a1 = a(1);
    t.a2 = a(2);
    t.a3 = a(3);
    t.a4 = a(4);
    t.a5 = a(5);
    t.a6 = a(6);
    double const a7 = a(7);
    t.a8 = a(8);
    t.a9 = a(9);
    t.a10 = a(10);
    t.s = std::sin(a7);
    t.c = std::cos(a7);
    t.k = -2.0 * t.a2 * t.a8;
    t.k3 = t.k * t.a3;
    t.k4 = t.k * t.a4;
    t.a33 = t.a3 * t.a3;
    t.a44 = t.a4 * t.a4;
    t.na33 = -t.a3 * t.a3;
    t.d34 = t.a3 * t.a3 - t.a4 * t.a4;
    t.na2 = -t.a2;
    t.b = 1.0 + t.a8;
    t.expP = -(1.0 + t.a8);
    t.expQ = -t.a8;
    t.needP = needP;
    t.needLog = needLog;
    if (withBounds && t.b > 0.0) {
        double const exponent = kPowerLimit / t.b;  // log10 of X at the limit
        t.below = std::pow(10.0, exponent * (1.0 - kLimitMargin)) * (1.0 - kLimitMargin);
        t.above = std::pow(10.0, exponent * (1.0 + kLimitMargin)) * (1.0 + kLimitMargin);
    }
    return t;
}

// The rotated offsets u, v of the point (x, y) and X = 1 + (a3 u)^2 + (a4 v)^2.
struct PointShape {
    double u, v, X;
};

// The point of offsets u, v with its X.
PointShape shapeOf(MoffatTerms const& t, double u, double v) {
    double const a3u = t.a3 * u;
    double const a4v = t.a4 * v;
    return {u, v, 1.0 + a3u * a3u + a4v * a4v};
}

PointShape shapeAt(MoffatTerms const& t, double x, double y) {
    double const dx = x - t.a5;
    double const dy = y - t.a6;
    return shapeOf(t, dx * t.c + dy * t.s, dy * t.c - dx * t.s);
}

// Where the point lies against the power limit, from q = log10(X) (1 + a8),
// the size of the power that the profile needs: q > 100 the profile term is
// negligible, q < -100 X^-a8 would overflow.
enum class Power { kProfile, kNegligible, kOverflow };

Power powerAt(MoffatTerms const& t, double X) {
    if (X < t.below) return Power::kProfile;
    if (X > t.above) return Power::kNegligible;
    double const q = std::log10(X) * t.b;
    if (q > kPowerLimit) return Power::kNegligible;
    if (q < -kPowerLimit) return Power::kOverflow;
    return Power::kProfile;
}

// The background plane a9 x + a1 + a10 y.
double planeAt(MoffatTerms const& t, double x, double y) {
    return t.a9 * x + t.a1 + t.a10 * y;
}

// The derivatives d[1..10] at a point of shape p with Q = X^-a8 (d[3..7]
// only when t.needP, d[8] only when t.needLog; otherwise meaningless). Beyond
// the power limit those of the plane alone.
inline void derivativesAt(MoffatTerms const& t, double x, double y, PointShape const& p,
                          bool negligible, double Q, double* d) {
    d[1] = 1.0;
    d[9] = x;
    d[10] = y;
    if (negligible) {
        for (int l = 2; l <= 8; ++l) d[l] = 0.0;
        return;
    }
    // P = X^-(1+a8); d(X^-a8)/dt = -a8 P dX/dt with
    // dX/da3 = 2 a3 u^2, dX/da4 = 2 a4 v^2,
    // dX/da5 = 2 (a4^2 v sin a7 - a3^2 u cos a7), dX/da6 = 2 (-a3^2 u sin a7 - a4^2 v cos a7),
    // dX/da7 = 2 u v (a3^2 - a4^2)   (du/da7 = v, dv/da7 = -u);
    // d(X^-a8)/da8 = -ln(X) X^-a8.
    double const u = p.u;
    double const v = p.v;
    double const P = t.needP ? std::pow(p.X, t.expP) : 0.0;
    d[2] = Q;
    d[3] = t.k3 * u * u * P;
    d[4] = t.k4 * v * v * P;
    d[5] = t.k * (t.a44 * v * t.s - t.a33 * u * t.c) * P;
    d[6] = t.k * (t.na33 * u * t.s - t.a44 * v * t.c) * P;
    d[7] = t.k * u * v * t.d34 * P;
    d[8] = t.needLog ? t.na2 * std::log(p.X) * Q : 0.0;
}

// The N x N sub-points of a pixel for one set of parameters: the point
// (x + o_k, y + o_l), o_k = (k + 0.5) / N - 0.5, has the rotated offsets
//     u = u0 + o_k cos a7 + o_l sin a7,  v = v0 + o_l cos a7 - o_k sin a7,
// where u0, v0 are those of the pixel centre (x, y). Sub-points are taken
// with the x offset k fastest.
struct SubGrid {
    int n;                           // N
    int points;                      // N^2
    double weight;                   // 1 / N^2: the mean over the sub-points
    double oc[kMoffatMaxSubsample];  // o_k cos a7, k = 0..N-1
    double os[kMoffatMaxSubsample];  // o_k sin a7

    SubGrid(MoffatTerms const& t, int subsample)
        : n(subsample), points(subsample * subsample), weight(1.0 / (subsample * subsample)) {
        for (int k = 0; k < n; ++k) {
            double const o = (k + 0.5) / n - 0.5;
            oc[k] = o * t.c;
            os[k] = o * t.s;
        }
    }

    // u, v and X of sub-point (k, l) from the pixel centre's u0, v0.
    PointShape at(MoffatTerms const& t, double u0, double v0, int k, int l) const {
        return shapeOf(t, u0 + oc[k] + os[l], v0 + oc[l] - os[k]);
    }
};

// The power at every sub-point of the pixel (x, y) into p[0..N^2-1] and the
// sum of the powers into sum. Returns false when the power would overflow at
// a sub-point (p and sum are then incomplete).
bool subPointPowers(MoffatTerms const& t, SubGrid const& g, double x, double y, MoffatSubPower* p,
                    double& sum) {
    PointShape const centre = shapeAt(t, x, y);
    double total = 0.0;
    for (int l = 0; l < g.n; ++l) {
        for (int k = 0; k < g.n; ++k, ++p) {
            double const X = g.at(t, centre.u, centre.v, k, l).X;
            Power const power = powerAt(t, X);
            if (power == Power::kOverflow) return false;
            p->negligible = power == Power::kNegligible;
            if (p->negligible) {
                p->q = 0.0;
                continue;
            }
            // X^-a8 = exp(-a8 ln X), ln X kept for the derivative by a8.
            p->logX = std::log(X);
            p->q = std::exp(t.expQ * p->logX);
            total += p->q;
        }
    }
    sum = total;
    return true;
}

// The derivatives d[1..10] of the model sampled at the sub-points of pixel
// (x, y), from their powers p (subPointPowers): the profile's derivatives
// (those of derivativesAt, with P = X^-(1+a8) = Q / X) summed over the
// sub-points within the power limit, their constant factors applied once,
// times 1 / N^2; the plane's at the pixel centre. d[3..7] only when t.needP,
// d[8] only when t.needLog (otherwise meaningless).
void subPointDerivatives(MoffatTerms const& t, SubGrid const& g, double x, double y,
                         MoffatSubPower const* p, double* d) {
    PointShape const centre = shapeAt(t, x, y);
    double s2 = 0.0, s3 = 0.0, s4 = 0.0, s5 = 0.0, s6 = 0.0, s7 = 0.0, s8 = 0.0;
    for (int l = 0; l < g.n; ++l) {
        for (int k = 0; k < g.n; ++k, ++p) {
            if (p->negligible) continue;
            double const Q = p->q;
            s2 += Q;
            if (t.needP) {
                PointShape const sp = g.at(t, centre.u, centre.v, k, l);
                double const P = Q / sp.X;
                s3 += sp.u * sp.u * P;
                s4 += sp.v * sp.v * P;
                s5 += (t.a44 * sp.v * t.s - t.a33 * sp.u * t.c) * P;
                s6 += (t.na33 * sp.u * t.s - t.a44 * sp.v * t.c) * P;
                s7 += sp.u * sp.v * P;
            }
            if (t.needLog) s8 += p->logX * Q;
        }
    }
    double const w = g.weight;
    d[1] = 1.0;
    d[2] = s2 * w;
    d[3] = t.k3 * s3 * w;
    d[4] = t.k4 * s4 * w;
    d[5] = t.k * s5 * w;
    d[6] = t.k * s6 * w;
    d[7] = t.k * t.d34 * s7 * w;
    d[8] = t.na2 * s8 * w;
    d[9] = x;
    d[10] = y;
}

// Room for the sub-points of one pixel.
constexpr int kMaxSubPoints = kMoffatMaxSubsample * kMoffatMaxSubsample;

}  // namespace

Class_moffat_fit::Class_moffat_fit(sci::MArray<double, 1> const& x_,
                                   sci::MArray<double, 1> const& y_,
                                   sci::MArray<double, 1> const& z_,
                                   sci::MArray<double, 1> const& sig_,
                                   sci::MArray<double, 1> const& a_, sci::MArray<int, 1> const& ia_,
                                   int subsample)
    : marquardt(x_, y_, z_, sig_, a_, ia_),
      subsample_(std::clamp(subsample, 1, kMoffatMaxSubsample)) {}

int Class_moffat_fit::funcs(double px, double py, sci::MArray<double, 1> const& params,
                            double& yfit, sci::MArray<double, 1>& dyda) {
    MoffatTerms const t = moffatTerms(params, true, true, false);
    if (subsample_ > 1) {
        SubGrid const g(t, subsample_);
        MoffatSubPower powers[kMaxSubPoints];
        double sum = 0.0;
        if (!subPointPowers(t, g, px, py, powers, sum)) return kModelFailed;
        yfit = planeAt(t, px, py) + t.a2 * (sum * g.weight);
        double d[kParams + 1];
        subPointDerivatives(t, g, px, py, powers, d);
        for (int l = 1; l <= kParams; ++l) dyda(l) = d[l];
        return kModelOk;
    }
    PointShape const p = shapeAt(t, px, py);
    Power const power = powerAt(t, p.X);
    if (power == Power::kOverflow) return kModelFailed;
    bool const negligible = power == Power::kNegligible;
    double const Q = negligible ? 0.0 : std::pow(p.X, t.expQ);
    yfit = negligible ? planeAt(t, px, py) : planeAt(t, px, py) + t.a2 * Q;
    double d[kParams + 1];
    derivativesAt(t, px, py, p, negligible, Q, d);
    for (int l = 1; l <= kParams; ++l) dyda(l) = d[l];
    return kModelOk;
}

int Class_moffat_fit::funcsValues(sci::MArray<double, 1> const& params, double const* px,
                                  double const* py, int n, double* yfit) {
    if (ma != kParams) return marquardt::funcsValues(params, px, py, n, yfit);
    MoffatTerms const t = moffatTerms(params, false, false, true);
    if (subsample_ > 1) {
        SubGrid const g(t, subsample_);
        size_t const m = static_cast<size_t>(g.points);
        subPowers_.resize(static_cast<size_t>(n) * m);
        for (int k = 0; k < n; ++k) {
            double sum = 0.0;
            if (!subPointPowers(t, g, px[k], py[k], &subPowers_[static_cast<size_t>(k) * m], sum))
                return k;
            yfit[k] = planeAt(t, px[k], py[k]) + t.a2 * (sum * g.weight);
        }
        return n;
    }
    powerQ_.resize(static_cast<size_t>(n));
    negligible_.resize(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) {
        double const X = shapeAt(t, px[k], py[k]).X;
        Power const power = powerAt(t, X);
        if (power == Power::kOverflow) return k;
        bool const negligible = power == Power::kNegligible;
        double const Q = negligible ? 0.0 : std::pow(X, t.expQ);
        negligible_[k] = negligible;
        powerQ_[k] = Q;
        yfit[k] = negligible ? planeAt(t, px[k], py[k]) : planeAt(t, px[k], py[k]) + t.a2 * Q;
    }
    return n;
}

void Class_moffat_fit::funcsDerivatives(sci::MArray<double, 1> const& params, int const* free,
                                        int nfree, double const* px, double const* py, int n,
                                        double* dfree) {
    if (ma != kParams) {
        marquardt::funcsDerivatives(params, free, nfree, px, py, n, dfree);
        return;
    }
    bool needP = false;
    bool needLog = false;
    for (int j = 0; j < nfree; ++j) {
        if (free[j] >= 3 && free[j] <= 7) needP = true;
        if (free[j] == 8) needLog = true;
    }
    MoffatTerms const t = moffatTerms(params, needP, needLog, false);  // sides kept
    double d[kParams + 1];
    if (subsample_ > 1) {
        SubGrid const g(t, subsample_);
        size_t const m = static_cast<size_t>(g.points);
        for (int k = 0; k < n; ++k) {
            subPointDerivatives(t, g, px[k], py[k], &subPowers_[static_cast<size_t>(k) * m], d);
            double* const out = dfree + static_cast<size_t>(k) * static_cast<size_t>(nfree);
            for (int j = 0; j < nfree; ++j) out[j] = d[free[j]];
        }
        return;
    }
    for (int k = 0; k < n; ++k) {
        derivativesAt(t, px[k], py[k], shapeAt(t, px[k], py[k]), negligible_[k] != 0, powerQ_[k],
                      d);
        double* const out = dfree + static_cast<size_t>(k) * static_cast<size_t>(nfree);
        for (int j = 0; j < nfree; ++j) out[j] = d[free[j]];
    }
}

double moffatFwhm(double beta, double scale) {
    // Half maximum where X^-beta = 1/2, X = 1 + (scale r)^2: r = sqrt(2^(1/beta) - 1) / scale.
    return 2.0 * std::sqrt(std::pow(2.0, 1.0 / beta) - 1.0) / scale;
}

void moffatNormalizeAxes(double& scale1, double& scale2, double& angle, double& error1,
                         double& error2) {
    scale1 = std::fabs(scale1);
    scale2 = std::fabs(scale2);
    angle = std::fmod(std::fmod(angle, sci::kPi) + sci::kPi, sci::kPi);
    if (sci::kPi / 4.0 < angle && angle < 3.0 * sci::kPi / 4.0) {
        std::swap(scale1, scale2);
        std::swap(error1, error2);
        angle -= sci::kPi / 2.0;
    }
    if (angle >= 3.0 * sci::kPi / 4.0) angle -= sci::kPi;
}

int moffatCentrePixel(double c, int first, int last) {
    double t = std::trunc(c < 0.0 ? c - 1.0 : c);
    if (!(t >= first)) t = first;  // also a NaN centre
    if (t > last) t = last;
    return static_cast<int>(t);
}

namespace {

// The data points of a fit and the pixel values that give its start values.
struct StampData {
    // Usable pixels within the circle, in scan order: stamp indices, value, error.
    std::vector<double> x, y, z, sig;
    double vmin = kNoMinimum;  // smallest and largest value of all usable pixels
    double vmax = kNoMaximum;
    int imax = 0;  // the pixel of vmax, the first one in scan order
    int jmax = 0;

    int count() const { return static_cast<int>(x.size()); }
};

// Scans the stamp, i outer and j inner. A usable pixel is a data point when it
// lies within the circle (i - xcen)^2 + (j - ycen)^2 <= (r + 1) r around the
// centre (stamp coordinates), r = half the first dimension's index span
// (float arithmetic); the extremes run over every usable pixel.
StampData collectDataPoints(sci::MArray<float, 2> const& image, sci::MArray<float, 2> const& error,
                            float xcen, float ycen) {
    int const i1 = image.base(1);
    int const i2 = image.last(1);
    int const j1 = image.base(2);
    int const j2 = image.last(2);
    float const r = (i2 - i1) * 0.5f;
    float const limit = (r + 1) * r;
    StampData d;
    for (int i = i1; i <= i2; ++i) {
        for (int j = j1; j <= j2; ++j) {
            if (!usable_(image, error, i, j)) continue;
            double const value = image(i, j);
            float const di = i - xcen;
            float const dj = j - ycen;
            if (di * di + dj * dj <= limit) {
                d.x.push_back(i);
                d.y.push_back(j);
                d.z.push_back(value);
                d.sig.push_back(error(i, j));
            }
            if (value < d.vmin) d.vmin = value;
            if (value > d.vmax) {
                d.vmax = value;
                d.imax = i;
                d.jmax = j;
            }
        }
    }
    return d;
}

// The fitter's arguments and results.
struct FitParameters {
    sci::MArray<double, 1> a{kParams};   // start values, then the fit, a(1..10)
    sci::MArray<int, 1> ia{kParams};     // 1: fitted, 0: held at its start value
    sci::MArray<double, 1> sa{kParams};  // standard errors of the fit
};

// Start values from the data: background at the smallest value, amplitude up to
// the largest, inverse widths for the mean of fwhm_min and fwhm_max, centre on
// the brightest pixel. Every parameter is free except those the caller holds:
// the background (surface), its slopes (ax, ay) and beta (beta_min = beta_max).
FitParameters startValues(StampData const& d, float surface, float ax, float ay, float beta_min,
                          float beta_max, float fwhm_min, float fwhm_max) {
    FitParameters p;
    sci::MArray<double, 1>& a = p.a;
    sci::MArray<int, 1>& ia = p.ia;
    a(1) = d.vmin;
    a(2) = d.vmax - d.vmin;
    a(3) = kStartScale / ((fwhm_min + fwhm_max) * 0.5);
    a(4) = a(3) + kStartScaleStep;
    a(5) = d.imax;
    a(6) = d.jmax;
    a(7) = kStartAngle;
    a(8) = kStartBeta;
    a(9) = kStartSlope;
    a(10) = kStartSlope;
    ia = 1;
    p.sa = 0.0;

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
    return p;
}

// What the fit reports besides the parameters.
struct FitOutcome {
    int iterations;  // damped steps of the fitter
    double nchi;     // sqrt(chisq / dof)
};

void dumpParameters(marquardt const& fitter, std::ostream& out) {
    fitter.print_title(out);
    fitter.print_a(out);
    fitter.print_ia(out);
    fitter.print_sa(out);
}

// Runs the fitter on the data points from p's start values and stores its
// parameters and errors in p. A failed covariance step shows as all-zero
// parameters, which the width check turns into kMoffatWidthOutOfRange.
// verbose > 3: the parameter dumps before and after, on out. The fitter is
// made by makeFitter with the model sampled at subsample x subsample points.
FitOutcome runFit(StampData const& d, FitParameters& p, int verbose, std::ostream& out,
                  MoffatFitterMaker makeFitter, int subsample) {
    int const n = d.count();
    sci::MArray<double, 1> x(n), y(n), z(n), sig(n);
    for (int k = 1; k <= n; ++k) {
        x(k) = d.x[k - 1];
        y(k) = d.y[k - 1];
        z(k) = d.z[k - 1];
        sig(k) = d.sig[k - 1];
    }
    std::unique_ptr<marquardt> const made = makeFitter(x, y, z, sig, p.a, p.ia, subsample);
    marquardt& fitter = *made;
    if (verbose > 3) dumpParameters(fitter, out);
    fitter.max_iterations = kMaxIterations;
    fitter.calc();
    if (verbose > 3) dumpParameters(fitter, out);
    for (int l = 1; l <= kParams; ++l) {
        p.a(l) = fitter.a(l);
        p.sa(l) = fitter.sa(l);
    }
    return FitOutcome{fitter.iterations, fitter.nchi};
}

// The first check the fit fails, in this order: widths within
// [fwhm_min, fwhm_max], beta within [beta_min, beta_max], centre inside the
// stamp, amplitude error at most |a2| when the centre pixel is usable;
// kMoffatOk when it passes them all. Written so that a NaN fails them.
int failedCheck(sci::MArray<float, 2> const& image, sci::MArray<float, 2> const& error,
                FitParameters const& p, double xfwhm, double yfwhm, float beta_min, float beta_max,
                float fwhm_min, float fwhm_max) {
    sci::MArray<double, 1> const& a = p.a;
    int const i1 = image.base(1);
    int const i2 = image.last(1);
    int const j1 = image.base(2);
    int const j2 = image.last(2);
    bool const widthsOk =
        fwhm_min <= xfwhm && fwhm_min <= yfwhm && xfwhm <= fwhm_max && yfwhm <= fwhm_max;
    bool const betaOk = beta_min <= a(8) && a(8) <= beta_max;
    bool const centreOk = i1 <= a(5) && a(5) <= i2 && j1 <= a(6) && a(6) <= j2;
    if (!widthsOk) return kMoffatWidthOutOfRange;
    if (!betaOk) return kMoffatBetaOutOfRange;
    if (!centreOk) return kMoffatCentreOutside;
    int const ci = moffatCentrePixel(a(5), i1, i2);
    int const cj = moffatCentrePixel(a(6), j1, j2);
    if (usable_(image, error, ci, cj) && p.sa(2) > std::fabs(a(2)))
        return kMoffatAmplitudeUncertain;
    return kMoffatOk;
}

// One row of the fit table under the driver's two header lines: nchi,
// iterations, data points, background at the centre, its slopes, amplitude,
// centre in image pixels (ix, iy: the stamp's pixel 0), the two widths, the
// angle in degrees and beta.
void printTableRow(std::ostream& out, FitOutcome const& outcome, int n,
                   sci::MArray<double, 1> const& a, int ix, int iy, double xfwhm, double yfwhm) {
    out << std::fixed;
    printCell_(out, static_cast<float>(outcome.nchi), kCellPrecision);
    printCell_(out, outcome.iterations, kCountPrecision);
    printCell_(out, n, kCountPrecision);
    printCell_(out, static_cast<float>(a(1) + a(9) * a(5) + a(10) * a(6)), kCellPrecision);
    printCell_(out, static_cast<float>(a(9)), kCellPrecision);
    printCell_(out, static_cast<float>(a(10)), kCellPrecision);
    printCell_(out, a(2), kCellPrecision);
    printCell_(out, ix + a(5), kCellPrecision);
    printCell_(out, iy + a(6), kCellPrecision);
    printCell_(out, xfwhm, kCellPrecision);
    printCell_(out, yfwhm, kCellPrecision);
    printCell_(out, a(7) * kHalfTurnDeg / sci::kPi, kCellPrecision);  // degrees, a7 * 180 / pi
    printCell_(out, a(8), kCellPrecision);
    out << '\n';
}

}  // namespace

std::unique_ptr<marquardt> makeClassMoffatFit(sci::MArray<double, 1> const& x,
                                              sci::MArray<double, 1> const& y,
                                              sci::MArray<double, 1> const& z,
                                              sci::MArray<double, 1> const& sig,
                                              sci::MArray<double, 1> const& a,
                                              sci::MArray<int, 1> const& ia, int subsample) {
    return std::make_unique<Class_moffat_fit>(x, y, z, sig, a, ia, subsample);
}

int fmoffat(sci::MArray<float, 2> const& image, sci::MArray<float, 2> const& error, float& surface,
            float& ax, float& ay, float beta_min, float beta_max, float fwhm_min, float fwhm_max,
            float& xcen, float& ycen, float& amplitude, float& xscale, float& yscale, float& angle,
            float& beta, float& nchi, int verbose) {
    return fmoffat(image, error, surface, ax, ay, beta_min, beta_max, fwhm_min, fwhm_max, xcen,
                   ycen, amplitude, xscale, yscale, angle, beta, nchi, verbose, std::cout);
}

int fmoffat(sci::MArray<float, 2> const& image, sci::MArray<float, 2> const& error, float& surface,
            float& ax, float& ay, float beta_min, float beta_max, float fwhm_min, float fwhm_max,
            float& xcen, float& ycen, float& amplitude, float& xscale, float& yscale, float& angle,
            float& beta, float& nchi, int verbose, std::ostream& out, MoffatFitterMaker makeFitter,
            int subsample) {
    // The centre in stamp coordinates: offsets from the pixel nearest to the star.
    int const ix = nearestIndex_(xcen);
    int const iy = nearestIndex_(ycen);
    xcen -= ix;
    ycen -= iy;

    StampData const data = collectDataPoints(image, error, xcen, ycen);
    FitParameters p = startValues(data, surface, ax, ay, beta_min, beta_max, fwhm_min, fwhm_max);
    FitOutcome const outcome =
        runFit(data, p, verbose, out, makeFitter, std::clamp(subsample, 1, kMoffatMaxSubsample));
    sci::MArray<double, 1>& a = p.a;

    // The reported shape and its widths.
    moffatNormalizeAxes(a(3), a(4), a(7), p.sa(3), p.sa(4));
    nchi = static_cast<float>(outcome.nchi);
    double const xfwhm = moffatFwhm(a(8), a(3));
    double const yfwhm = moffatFwhm(a(8), a(4));

    // Too few data points count only when the fit passes every check.
    int status = failedCheck(image, error, p, xfwhm, yfwhm, beta_min, beta_max, fwhm_min, fwhm_max);
    if (status == kMoffatOk && data.count() < kMinDataPoints) status = kMoffatFewPixels;

    if (verbose > 2) printTableRow(out, outcome, data.count(), a, ix, iy, xfwhm, yfwhm);

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

}  // namespace fit
