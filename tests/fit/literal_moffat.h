// The Moffat model and the fitter's sums computed the plain way: the model
// with every derivative at every point (or at every sub-point of a pixel),
// the sums walking the mask for every point and parameter. The reference that
// the fit library's evaluation is compared with: bit for bit at pixel
// centres, to rounding when sub-sampled (tests and benchmark). Parameters
// a(1..10) as in fit::Class_moffat_fit; data points and sums as in fit::marquardt.
#pragma once

#include <cmath>
#include <memory>

#include "fit/marquardt.h"
#include "sci/marray.h"

namespace literal {

using Vec = sci::MArray<double, 1>;
using Mat = sci::MArray<double, 2>;

// a1 + a9 x + a10 y + a2 X^-a8, X = 1 + (a3 u)^2 + (a4 v)^2, and its derivatives.
inline int moffat(double px, double py, Vec const& params, double& yfit, Vec& dyda) {
    double const a1 = params(1), a2 = params(2), a3 = params(3), a4 = params(4), a5 = params(5),
                 a6 = params(6), a7 = params(7), a8 = params(8), a9 = params(9), a10 = params(10);
    double const s = std::sin(a7), c = std::cos(a7);
    double const dx = px - a5, dy = py - a6;
    double const u = dx * c + dy * s, v = dy * c - dx * s;
    double const a3u = a3 * u, a4v = a4 * v;
    double const X = 1.0 + a3u * a3u + a4v * a4v;
    double const q = std::log10(X) * (1.0 + a8);
    if (q > 100.0) {
        yfit = a9 * px + a1 + a10 * py;
        dyda(1) = 1.0;
        for (int l = 2; l <= 8; ++l) dyda(l) = 0.0;
        dyda(9) = px;
        dyda(10) = py;
        return fit::kModelOk;
    }
    if (q < -100.0) return fit::kModelFailed;
    double const P = std::pow(X, -(1.0 + a8)), Q = std::pow(X, -a8);
    yfit = a9 * px + a1 + a10 * py + a2 * Q;
    dyda(1) = 1.0;
    dyda(2) = Q;
    dyda(3) = -2.0 * a2 * a8 * a3 * u * u * P;
    dyda(4) = -2.0 * a2 * a8 * a4 * v * v * P;
    dyda(5) = -2.0 * a2 * a8 * (a4 * a4 * v * s - a3 * a3 * u * c) * P;
    dyda(6) = -2.0 * a2 * a8 * (-a3 * a3 * u * s - a4 * a4 * v * c) * P;
    dyda(7) = -2.0 * a2 * a8 * u * v * (a3 * a3 - a4 * a4) * P;
    dyda(8) = -a2 * std::log(X) * Q;
    dyda(9) = px;
    dyda(10) = py;
    return fit::kModelOk;
}

// The model averaged over n x n points of the pixel (px, py): the plane at
// the pixel centre plus the mean over the points (px + o_k, py + o_l),
// o_k = (k + 0.5) / n - 0.5, of the profile term a2 X^-a8 (moffat with the
// plane's parameters 0) and of its derivatives; n = 1: moffat.
inline int moffatSampled(double px, double py, Vec const& params, int n, double& yfit, Vec& dyda) {
    if (n == 1) return moffat(px, py, params, yfit, dyda);
    Vec profile(10);
    for (int l = 1; l <= 10; ++l) profile(l) = params(l);
    profile(1) = profile(9) = profile(10) = 0.0;
    double sum = 0.0;
    Vec sumD(10), d(10);
    sumD = 0.0;
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            double v = 0.0;
            double const ox = (i + 0.5) / n - 0.5, oy = (j + 0.5) / n - 0.5;
            if (moffat(px + ox, py + oy, profile, v, d) != fit::kModelOk) return fit::kModelFailed;
            sum += v;
            for (int l = 2; l <= 8; ++l) sumD(l) += d(l);
        }
    }
    yfit = params(9) * px + params(1) + params(10) * py + sum / (n * n);
    dyda(1) = 1.0;
    for (int l = 2; l <= 8; ++l) dyda(l) = sumD(l) / (n * n);
    dyda(9) = px;
    dyda(10) = py;
    return fit::kModelOk;
}

// The fitter with the plain model and the plain sums.
class MoffatFit : public fit::marquardt {
  public:
    MoffatFit(Vec const& x_, Vec const& y_, Vec const& z_, Vec const& sig_, Vec const& a_,
              sci::MArray<int, 1> const& ia_, int subsample = 1)
        : fit::marquardt(x_, y_, z_, sig_, a_, ia_), subsample_(subsample) {}

    int funcs(double px, double py, Vec const& params, double& yfit, Vec& dyda) override {
        return moffatSampled(px, py, params, subsample_, yfit, dyda);
    }

    // Every sum at every evaluation, trial step or not.
    int mrqcof(Vec const& p, Mat& curvature, Vec& gradient, bool /*trial*/) override {
        Vec dyda(ma);
        dyda = 0.0;
        int m = 0;
        for (int l = 1; l <= ma; ++l)
            if (ia(l) != 0) ++m;
        for (int j = 1; j <= m; ++j) {
            for (int k = 1; k <= m; ++k) curvature(j, k) = 0.0;
            gradient(j) = 0.0;
        }
        chisq = 0.0;
        for (int i = ilo; i <= ihi; ++i) {
            if (!(sig(i) > 0.0)) continue;
            double ymod = 0.0;
            if (funcs(x(i), y(i), p, ymod, dyda) != fit::kModelOk) return fit::kCoefModelFailed;
            double const sig2i = 1.0 / (sig(i) * sig(i));
            double const dy = z(i) - ymod;
            for (int j = 0, l = 1; l <= ma; ++l) {
                if (ia(l) == 0) continue;
                double const wt = dyda(l) * sig2i;
                ++j;
                for (int k = 0, mm = 1; mm <= l; ++mm) {
                    if (ia(mm) == 0) continue;
                    ++k;
                    curvature(j, k) += wt * dyda(mm);
                }
                gradient(j) += dy * wt;
            }
            chisq += dy * dy * sig2i;
        }
        for (int j = 2; j <= m; ++j)
            for (int k = 1; k < j; ++k) curvature(k, j) = curvature(j, k);
        return fit::kCoefDone;
    }

  private:
    int subsample_;
};

// The maker of fit::fmoffat for the plain fitter.
inline std::unique_ptr<fit::marquardt> makeMoffatFit(Vec const& x, Vec const& y, Vec const& z,
                                                     Vec const& sig, Vec const& a,
                                                     sci::MArray<int, 1> const& ia, int subsample) {
    return std::make_unique<MoffatFit>(x, y, z, sig, a, ia, subsample);
}

}  // namespace literal
