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
      sa(ma) {
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
    if (mrqcof(atry, covar, da) != kCoefDone) {
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

int marquardt::mrqcof(sci::MArray<double, 1> const& p, sci::MArray<double, 2>& curvature,
                      sci::MArray<double, 1>& gradient) {
    sci::MArray<double, 1> dyda(ma);
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
        if (funcs(x(i), y(i), p, ymod, dyda) != kModelOk) return kCoefModelFailed;
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

    // Fill the upper triangle from the lower one.
    for (int j = 2; j <= m; ++j)
        for (int k = 1; k < j; ++k) curvature(k, j) = curvature(j, k);
    return kCoefDone;
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

void marquardt::print_title() const {
    for (int i = 1; i <= ma; ++i) std::cout << "          a(" << std::setw(2) << i << ")";
    std::cout << '\n';
}

void marquardt::print_a() const {
    for (int i = 1; i <= ma; ++i) printF{kDumpWidth, kDumpPrecision, a(i), kDumpBlanks}(std::cout);
    std::cout << std::endl;
}

void marquardt::print_sa() const {
    for (int i = 1; i <= ma; ++i) printF{kDumpWidth, kDumpPrecision, sa(i), kDumpBlanks}(std::cout);
    std::cout << std::endl;
}

void marquardt::print_ia() const {
    for (int i = 1; i <= ma; ++i)
        printF{kDumpWidth, kDumpPrecision, static_cast<double>(ia(i)), kDumpBlanks}(std::cout);
    std::cout << std::endl;
}

}  // namespace fit
