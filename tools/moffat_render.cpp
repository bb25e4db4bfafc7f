#include "tools/moffat_render.h"

#include <algorithm>
#include <cmath>

#include "sci/angles.h"

namespace tools {

namespace {

using sci::kPi;

// Gauss-Legendre nodes on [-1/2, 1/2] (half the nodes on [-1, 1]) with
// weights summing to 1: 2 points at +-1/(2 sqrt 3), 3 points at 0 and
// +-sqrt(3/5)/2 with weights 4/9 and 5/18.
constexpr double kGl2Node = 0.28867513459481287;  // 1 / (2 sqrt 3)
constexpr double kGl3Node = 0.3872983346207417;   // sqrt(3/5) / 2
constexpr double kGl3Centre = 4.0 / 9.0;
constexpr double kGl3Edge = 5.0 / 18.0;

// Radii in units of the wider fwhm inside which the finer quadratures apply.
constexpr double kFineRadius = 1.5;
constexpr double kCoarseRadius = 2.5;
// A star's box reaches at least this many fwhm of its wider axis.
constexpr double kMinRadiusFwhm = 2.0;

// The coefficients of the quadratic form Q(dx, dy) = cxx dx^2 + 2 cxy dx dy +
// cyy dy^2 = (u/alpha1)^2 + (v/alpha2)^2 with u = dx cos t + dy sin t,
// v = -dx sin t + dy cos t.
struct Quadratic {
    double cxx, cxy, cyy, beta;

    explicit Quadratic(MoffatShape const& s) : beta(s.beta) {
        double const a1 = moffatAlpha(s.fwhm1, s.beta);
        double const a2 = moffatAlpha(s.fwhm2, s.beta);
        double const c = std::cos(s.angle), sn = std::sin(s.angle);
        double const i1 = 1.0 / (a1 * a1), i2 = 1.0 / (a2 * a2);
        cxx = c * c * i1 + sn * sn * i2;
        cyy = sn * sn * i1 + c * c * i2;
        cxy = c * sn * (i1 - i2);
    }
    // X^(-beta) with X = 1 + Q, as exp(-beta ln X).
    double profile(double dx, double dy) const {
        double const X = 1.0 + cxx * dx * dx + 2.0 * cxy * dx * dy + cyy * dy * dy;
        return std::exp(-beta * std::log(X));
    }
};

}  // namespace

double moffatAlpha(double fwhm, double beta) {
    return fwhm / (2.0 * std::sqrt(std::pow(2.0, 1.0 / beta) - 1.0));
}

double moffatPeak(MoffatShape const& shape, double flux) {
    double const a1 = moffatAlpha(shape.fwhm1, shape.beta);
    double const a2 = moffatAlpha(shape.fwhm2, shape.beta);
    return flux * (shape.beta - 1.0) / (kPi * a1 * a2);
}

double moffatValue(MoffatShape const& shape, double peak, double dx, double dy) {
    return peak * Quadratic(shape).profile(dx, dy);
}

double moffatEnclosed(double alpha, double beta, double r) {
    return 1.0 - std::pow(1.0 + r * r / (alpha * alpha), 1.0 - beta);
}

// Along the wider axis I(r) = A (1 + r^2/alpha^2)^(-beta) = floor gives
// r = alpha sqrt((A/floor)^(1/beta) - 1).
int renderRadius(MoffatShape const& shape, double peak, double floor, int maxRadius) {
    double const fwhm = std::max(shape.fwhm1, shape.fwhm2);
    double const alpha = moffatAlpha(fwhm, shape.beta);
    double r = kMinRadiusFwhm * fwhm;
    if (floor > 0 && peak > floor)
        r = std::max(r, alpha * std::sqrt(std::pow(peak / floor, 1.0 / shape.beta) - 1.0));
    return static_cast<int>(std::min(std::ceil(r), static_cast<double>(maxRadius)));
}

double addMoffatStar(std::vector<float>& image, long nx, long ny, double xc, double yc, double flux,
                     MoffatShape const& shape, int radius, Sampling sampling) {
    Quadratic const q(shape);
    double const peak = moffatPeak(shape, flux);
    double const fwhm = std::max(shape.fwhm1, shape.fwhm2);
    double const fine2 = (kFineRadius * fwhm) * (kFineRadius * fwhm);
    double const coarse2 = (kCoarseRadius * fwhm) * (kCoarseRadius * fwhm);
    long const ix = std::lround(xc), iy = std::lround(yc);
    long const x1 = std::max(1L, ix - radius), x2 = std::min(nx, ix + radius);
    long const y1 = std::max(1L, iy - radius), y2 = std::min(ny, iy + radius);
    double const g3[3] = {-kGl3Node, 0.0, kGl3Node};
    double const w3[3] = {kGl3Edge, kGl3Centre, kGl3Edge};
    double sum = 0;
    for (long y = y1; y <= y2; ++y) {
        double const dy = static_cast<double>(y) - yc;
        float* row = image.data() + (y - 1) * nx;
        for (long x = x1; x <= x2; ++x) {
            double const dx = static_cast<double>(x) - xc;
            double const r2 = dx * dx + dy * dy;
            double v = 0;
            if (sampling == Sampling::kCentre || r2 >= coarse2) {
                v = q.profile(dx, dy);
            } else if (r2 >= fine2) {
                v = 0.25 * (q.profile(dx - kGl2Node, dy - kGl2Node) +
                            q.profile(dx + kGl2Node, dy - kGl2Node) +
                            q.profile(dx - kGl2Node, dy + kGl2Node) +
                            q.profile(dx + kGl2Node, dy + kGl2Node));
            } else {
                for (int j = 0; j < 3; ++j)
                    for (int i = 0; i < 3; ++i)
                        v += w3[i] * w3[j] * q.profile(dx + g3[i], dy + g3[j]);
            }
            double const add = peak * v;
            row[x - 1] += static_cast<float>(add);
            sum += add;
        }
    }
    return sum;
}

}  // namespace tools
