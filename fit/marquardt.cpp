#include "fit/marquardt.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <iomanip>
#include <iostream>
#include <utility>
#include <vector>

#include "fit/print_f.h"

namespace fit {

namespace {

// Damping at the start of a fit, the factor applied after each step, and the
// open interval outside which calc stops iterating: from 0.001, 18 more
// rejected than accepted steps reach 1e15 (no further improvement, the normal
// end), 12 more accepted than rejected ones reach 1e-15.
constexpr double kStartDamping = 0.001;
constexpr double kDampingFactor = 10.0;
constexpr double kMinDamping = 1e-15;
constexpr double kMaxDamping = 1e15;
constexpr int kDefaultMaxIterations = 10000;

// Cell geometry of the parameter dumps: 15 characters, 5 digits, 1 blank.
constexpr int kDumpWidth = 15;
constexpr int kDumpPrecision = 5;
constexpr int kDumpBlanks = 1;

// True when the rank-1 array has storage covering lo..hi (or lo..hi is empty).
[[maybe_unused]] bool covers_(sci::MArray<double, 1> const& v, int lo, int hi) {
    return lo > hi || (v.size() > 0 && v.base() <= lo && v.last() >= hi);
}

// The data points of one evaluation: n points, the derivatives of the free
// parameters (point k at dfree[k * m]), measured values, model values and
// weights 1 / sig^2.
struct PointTerms {
    int n;
    double const* dfree;
    double const* z;
    double const* yfit;
    double const* w;
};

// Adds the points to the sums of mrqcof, point by point in order: with
// dy = z - yfit and d the point's free derivatives,
//     sums(j, c) += (d_j w) d_c  (c <= j; row j at offset j (j + 1) / 2),
//     g(j) += dy (d_j w),
// each term formed and added exactly as the plain loop over the mask forms
// it. M > 0: m = M known when compiling, so that the loops unroll over a
// local copy of the sums; M = 0: any m, summed in place.
template <int M>
void addPoints_(PointTerms const& p, double* sums, double* g, int m) {
    constexpr int kFixed = M > 0 ? M : 1;
    constexpr int kCells = kFixed * (kFixed + 1) / 2;
    int const nf = M > 0 ? M : m;
    double fixedSums[kCells];
    double fixedGrad[kFixed];
    double* const s = M > 0 ? fixedSums : sums;
    double* const gr = M > 0 ? fixedGrad : g;
    if (M > 0) {
        for (int c = 0; c < kCells; ++c) fixedSums[c] = sums[c];
        for (int j = 0; j < kFixed; ++j) fixedGrad[j] = g[j];
    }
    double const* d = p.dfree;
    for (int k = 0; k < p.n; ++k, d += nf) {
        double const sig2i = p.w[k];
        double const dy = p.z[k] - p.yfit[k];
        double* row = s;
        for (int j = 0; j < nf; ++j) {
            double const wt = d[j] * sig2i;
            for (int c = 0; c <= j; ++c) row[c] += wt * d[c];
            gr[j] += dy * wt;
            row += j + 1;
        }
    }
    if (M > 0) {
        for (int c = 0; c < kCells; ++c) sums[c] = fixedSums[c];
        for (int j = 0; j < kFixed; ++j) g[j] = fixedGrad[j];
    }
}

// addPoints_ for m = 0..10 free parameters (element m); more take addPoints_<0>.
constexpr int kUnrolledSums = 11;
constexpr void (*kAddPoints[kUnrolledSums])(PointTerms const&, double*, double*, int) = {
    addPoints_<0>, addPoints_<1>, addPoints_<2>, addPoints_<3>, addPoints_<4>, addPoints_<5>,
    addPoints_<6>, addPoints_<7>, addPoints_<8>, addPoints_<9>, addPoints_<10>};

}  // namespace

int gaussj(sci::MArray<double, 2>& a, int n, sci::MArray<double, 1>& b) {
    // Index vectors 1..n (element 0 unused).
    std::vector<int> indxr(static_cast<size_t>(std::max(n, 0)) + 1, 0);
    std::vector<int> indxc(indxr.size(), 0);
    std::vector<int> ipiv(indxr.size(), 0);
    int irow = 0;
    int icol = 0;

    for (int i = 1; i <= n; ++i) {
        // Full pivoting: the largest |a(j,k)| over rows and columns not yet
        // used; >= lets the last of equal magnitudes win.
        double big = 0.0;
        bool found = false;
        for (int j = 1; j <= n; ++j) {
            if (ipiv[j] == 1) continue;
            for (int k = 1; k <= n; ++k) {
                if (ipiv[k] == 0) {
                    if (std::fabs(a(j, k)) >= big) {
                        big = std::fabs(a(j, k));
                        irow = j;
                        icol = k;
                        found = true;
                    }
                } else if (ipiv[k] > 1) {
                    return kGaussjSingular;
                }
            }
        }
        // Only NaN elements left: no pivot can be compared, the system has no
        // usable solution.
        if (!found) return kGaussjSingular;

        ++ipiv[icol];
        if (irow != icol) {
            for (int l = 1; l <= n; ++l) std::swap(a(irow, l), a(icol, l));
            std::swap(b(irow), b(icol));
        }
        indxr[i] = irow;
        indxc[i] = icol;
        if (a(icol, icol) == 0.0) return kGaussjSingular;

        double const pivinv = 1.0 / a(icol, icol);
        a(icol, icol) = 1.0;
        for (int l = 1; l <= n; ++l) a(icol, l) *= pivinv;
        b(icol) *= pivinv;

        for (int ll = 1; ll <= n; ++ll) {
            if (ll == icol) continue;
            double const dum = a(ll, icol);
            a(ll, icol) = 0.0;
            for (int l = 1; l <= n; ++l) a(ll, l) -= a(icol, l) * dum;
            b(ll) -= b(icol) * dum;
        }
    }

    // Undo the column interchanges in reverse order.
    for (int l = n; l >= 1; --l) {
        if (indxr[l] != indxc[l]) {
            for (int k = 1; k <= n; ++k) std::swap(a(k, indxr[l]), a(k, indxc[l]));
        }
    }
    return kGaussjDone;
}

marquardt::marquardt(sci::MArray<double, 1> const& x_, sci::MArray<double, 1> const& y_,
                     sci::MArray<double, 1> const& z_, sci::MArray<double, 1> const& sig_,
                     sci::MArray<double, 1> const& a_, sci::MArray<int, 1> const& ia_)
    : ilo(z_.base()),
      ihi(z_.last()),
      nz(z_.length()),
      ndata(0),
      ma(a_.size() > 0 ? std::max(a_.last(), 0) : 0),
      mfit(0),
      ochisq(0.0),
      alpha(ma, ma),
      covar(ma, ma),
      atry(ma),
      grad(ma),
      da(ma),
      dof(0),
      max_iterations(kDefaultMaxIterations),
      verbose(0),
      iterations(0),
      damping_factor(kDampingFactor),
      chisq(0.0),
      alamda(-1.0),
      rms(0.0),
      nchi(0.0),
      sa(ma),
      dyda_(ma) {
    x.copy(x_);
    y.copy(y_);
    z.copy(z_);
    sig.copy(sig_);
    a.copy(a_);
    ia.copy(ia_);
    assert(covers_(x, ilo, ihi) && covers_(y, ilo, ihi) && covers_(sig, ilo, ihi));
    assert(ma == 0 || (a.base() <= 1 && ia.size() > 0 && ia.base() <= 1 && ia.last() >= ma));

    for (int i = ilo; i <= ihi; ++i)
        if (sig(i) > 0.0) ++ndata;
    alpha = 0.0;
    covar = 0.0;
    atry = 0.0;
    grad = 0.0;
    da = 0.0;
    sa = 0.0;
}

int marquardt::calc() {
    alamda = -1.0;
    int iter = 0;
    do {
        ++iter;
        mrqmin();
        if (iter > max_iterations) break;
    } while (kMinDamping < alamda && alamda < kMaxDamping);
    iterations = iter;

    // Covariance step: the inverse of the undamped curvature matrix.
    alamda = 0.0;
    int const r = mrqmin();
    if (r != kStepDone) {
        for (int i = 1; i <= ma; ++i) {
            a(i) = 0.0;
            sa(i) = 0.0;
        }
        if (verbose > 0) std::cerr << "marquardt: error " << r << '\n';
        return kCalcCovarianceFailed;
    }

    for (int i = 1; i <= ma; ++i) sa(i) = covar(i, i) > 0.0 ? std::sqrt(covar(i, i)) : 0.0;

    // chisq is that of the accepted parameters (a rejected step restores it).
    int maskSum = 0;
    for (int i = 1; i <= ma; ++i) maskSum += ia(i);
    rms = std::sqrt(chisq / ndata);
    dof = ndata - maskSum;
    nchi = std::sqrt(chisq / dof);

    if (iter <= max_iterations) return kCalcDone;
    if (verbose > 0) std::cerr << "marquardt: iterations: " << iter << '\n';
    return kCalcIterationCap;
}

int marquardt::mrqmin() {
    if (alamda < 0.0) {
        atry = 0.0;
        grad = 0.0;
        da = 0.0;
        mfit = 0;
        for (int l = 1; l <= ma; ++l)
            if (ia(l) != 0) ++mfit;
        alamda = kStartDamping;
        if (mrqcof(a, alpha, grad) != kCoefDone) return kStepFirstModelFailed;
        ochisq = chisq;
        for (int l = 1; l <= ma; ++l) atry(l) = a(l);
    }

    // Damped normal equations: the diagonal of the curvature scaled by 1 + alamda.
    for (int j = 1; j <= mfit; ++j) {
        for (int k = 1; k <= mfit; ++k) covar(j, k) = alpha(j, k);
        covar(j, j) = alpha(j, j) * (1.0 + alamda);
        da(j) = grad(j);
    }
    if (gaussj(covar, mfit, da) != kGaussjDone) {
        alamda = alamda * damping_factor;
        chisq = ochisq;
        return kStepSingular;
    }

    if (alamda == 0.0) {
        cov_srt(covar);
        cov_srt(alpha);
        return kStepDone;
    }

    for (int j = 0, l = 1; l <= ma; ++l) {
        if (ia(l) != 0) {
            ++j;
            atry(l) = a(l) + da(j);
        }
    }
    if (mrqcof(atry, covar, da, true) != kCoefDone) {
        alamda = alamda * damping_factor;
        chisq = ochisq;
        return kStepTrialModelFailed;
    }

    // Accept only a strictly smaller chi-square.
    if (chisq < ochisq) {
        alamda = alamda / damping_factor;
        ochisq = chisq;
        for (int j = 1; j <= mfit; ++j) {
            for (int k = 1; k <= mfit; ++k) alpha(j, k) = covar(j, k);
            grad(j) = da(j);
        }
        for (int l = 1; l <= ma; ++l) a(l) = atry(l);
    } else {
        chisq = ochisq;
        alamda = alamda * damping_factor;
    }
    return kStepDone;
}

int marquardt::funcsValues(sci::MArray<double, 1> const& params, double const* px, double const* py,
                           int n, double* yfit) {
    size_t const row = static_cast<size_t>(std::max(ma, 0));
    dydaKept_.resize(static_cast<size_t>(n) * row);
    dyda_ = 0.0;
    for (int k = 0; k < n; ++k) {
        yfit[k] = 0.0;
        if (funcs(px[k], py[k], params, yfit[k], dyda_) != kModelOk) return k;
        double* const kept = dydaKept_.data() + static_cast<size_t>(k) * row;
        for (int l = 1; l <= ma; ++l) kept[l - 1] = dyda_(l);
    }
    return n;
}

void marquardt::funcsDerivatives(sci::MArray<double, 1> const& /*params*/, int const* free,
                                 int nfree, double const* /*px*/, double const* /*py*/, int n,
                                 double* dfree) {
    size_t const row = static_cast<size_t>(std::max(ma, 0));
    for (int k = 0; k < n; ++k) {
        double const* const kept = dydaKept_.data() + static_cast<size_t>(k) * row;
        double* const d = dfree + static_cast<size_t>(k) * static_cast<size_t>(nfree);
        for (int j = 0; j < nfree; ++j) d[j] = kept[free[j] - 1];
    }
}

int marquardt::mrqcof(sci::MArray<double, 1> const& p, sci::MArray<double, 2>& curvature,
                      sci::MArray<double, 1>& gradient, bool trial) {
    free_.clear();
    for (int l = 1; l <= ma; ++l)
        if (ia(l) != 0) free_.push_back(l);
    int const m = static_cast<int>(free_.size());

    // The data points with sig > 0, in order, with their weights 1 / sig^2.
    size_t const span = ihi >= ilo ? static_cast<size_t>(ihi - ilo) + 1 : 0;
    pointX_.resize(span);
    pointY_.resize(span);
    pointZ_.resize(span);
    pointW_.resize(span);
    double* const px = pointX_.data();
    double* const py = pointY_.data();
    double* const pz = pointZ_.data();
    double* const pw = pointW_.data();
    int n = 0;
    for (int i = ilo; i <= ihi; ++i) {
        double const s = sig(i);
        if (!(s > 0.0)) continue;
        px[n] = x(i);
        py[n] = y(i);
        pz[n] = z(i);
        pw[n] = 1.0 / (s * s);
        ++n;
    }

    // chi-square from the values alone.
    yfit_.resize(static_cast<size_t>(n));
    double const* const yfit = yfit_.data();
    int const evaluated = funcsValues(p, px, py, n, yfit_.data());
    double chi = 0.0;
    for (int k = 0; k < evaluated; ++k) {
        double const dy = pz[k] - yfit[k];
        chi += dy * dy * pw[k];
    }
    chisq = chi;
    bool const complete = evaluated == n;
    if (trial && complete && !(chisq < ochisq)) return kCoefDone;

    // The sums over the points evaluated (see addPoints_).
    dfree_.resize(static_cast<size_t>(evaluated) * static_cast<size_t>(m));
    funcsDerivatives(p, free_.data(), m, px, py, evaluated, dfree_.data());
    curvature_.assign(static_cast<size_t>(m) * static_cast<size_t>(m + 1) / 2, 0.0);
    gradient_.assign(static_cast<size_t>(m), 0.0);
    double* const sums = curvature_.data();
    double* const g = gradient_.data();
    PointTerms const points{evaluated, dfree_.data(), pz, yfit, pw};
    (m < kUnrolledSums ? kAddPoints[m] : addPoints_<0>)(points, sums, g, m);

    // Into the packed block 1..m: the lower triangle, and above it its mirror
    // (or 0.0 when the model failed, the sums being incomplete).
    for (int j = 1; j <= m; ++j) {
        double const* const row = sums + static_cast<size_t>(j - 1) * static_cast<size_t>(j) / 2;
        for (int k = 1; k <= j; ++k) curvature(j, k) = row[k - 1];
        for (int k = 1; k < j; ++k) curvature(k, j) = complete ? row[k - 1] : 0.0;
        gradient(j) = g[j - 1];
    }
    return complete ? kCoefDone : kCoefModelFailed;
}

int marquardt::cov_srt(sci::MArray<double, 2>& m) {
    for (int i = mfit + 1; i <= ma; ++i)
        for (int j = 1; j <= i; ++j) m(i, j) = m(j, i) = 0.0;
    int k = mfit;
    for (int j = ma; j >= 1; --j) {
        if (ia(j) == 0) continue;
        for (int i = 1; i <= ma; ++i) std::swap(m(i, k), m(i, j));
        for (int i = 1; i <= ma; ++i) std::swap(m(k, i), m(j, i));
        --k;
    }
    return kCovSrtDone;
}

void marquardt::print_title(std::ostream& os) const {
    for (int i = 1; i <= ma; ++i) os << "          a(" << std::setw(2) << i << ")";
    os << '\n';
}

void marquardt::print_a(std::ostream& os) const {
    for (int i = 1; i <= ma; ++i) printF{kDumpWidth, kDumpPrecision, a(i), kDumpBlanks}(os);
    os << std::endl;
}

void marquardt::print_sa(std::ostream& os) const {
    for (int i = 1; i <= ma; ++i) printF{kDumpWidth, kDumpPrecision, sa(i), kDumpBlanks}(os);
    os << std::endl;
}

void marquardt::print_ia(std::ostream& os) const {
    for (int i = 1; i <= ma; ++i)
        printF{kDumpWidth, kDumpPrecision, static_cast<double>(ia(i)), kDumpBlanks}(os);
    os << std::endl;
}

}  // namespace fit
