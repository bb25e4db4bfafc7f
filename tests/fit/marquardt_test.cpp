#include "fit/marquardt.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "tests/support/arrays.h"
#include "tests/support/float_compare.h"

namespace fit {
namespace {

using sci::MArray;
using sci::Range;
using testsupport::toMArray;
using Vec = MArray<double, 1>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Normal-equation solutions agree with the fitter's to rounding of a few
// hundred operations on well-conditioned 3x3 systems.
constexpr double kSolveTol = 1e-10;
// A Gauss-Jordan inverse or solution against the exact one.
constexpr double kInverseTol = 1e-14;

// The fitter of the plane z = a1 + a2 x + a3 y: linear, so the least-squares
// solution and its covariance follow from the normal equations.
class PlaneFit : public marquardt {
  public:
    using marquardt::marquardt;
    int funcs(double px, double py, Vec const& p, double& f, Vec& dfda) override {
        f = p(1) + p(2) * px + p(3) * py;
        dfda(1) = 1.0;
        dfda(2) = px;
        dfda(3) = py;
        return kModelOk;
    }
};

TEST(Gaussj, SolvesAndInvertsOrReportsSingular) {
    // Solves a x = b (a by rows); expects the status and, where given, a and b
    // afterwards (the inverse and the solution when done).
    auto check = [](char const* name, std::vector<double> const& m, std::vector<double> const& rhs,
                    int status, std::vector<double> const& inverse,
                    std::vector<double> const& solution) {
        SCOPED_TRACE(name);
        int const n = static_cast<int>(rhs.size());
        MArray<double, 2> a(n, n);
        for (int k = 0; k < n * n; ++k) a(k / n + 1, k % n + 1) = m[k];
        Vec b = toMArray(rhs);
        EXPECT_EQ(gaussj(a, n, b), status);
        for (int k = 0; k < static_cast<int>(inverse.size()); ++k)
            EXPECT_CLOSE(a(k / n + 1, k % n + 1), inverse[k], kInverseTol) << k;
        for (int k = 0; k < static_cast<int>(solution.size()); ++k)
            EXPECT_CLOSE(b(k + 1), solution[k], kInverseTol) << k;
    };
    // The second-difference matrix; its inverse is (1/4)[[3,2,1],[2,4,2],[1,2,3]].
    check("second difference", {2, -1, 0, -1, 2, -1, 0, -1, 2}, {0, 0, 4}, kGaussjDone,
          {0.75, 0.5, 0.25, 0.5, 1.0, 0.5, 0.25, 0.5, 0.75}, {1, 2, 3});
    // Pivots off the diagonal: rows exchanged, column interchanges undone.
    check("permutation", {0, 4, 0, 0, 0, 2, 8, 0, 0}, {4, 6, 8}, kGaussjDone,
          {0, 0, 0.125, 0.25, 0, 0, 0, 0.5, 0}, {1, 1, 3});
    // All magnitudes 1: the last, (2,2), is the first pivot, leaving b = (b1 - b2, b2)
    // when the singularity shows ((1,1) first would leave (b1, b2 - b1)).
    check("ties", {1, 1, 1, 1}, {1, 10}, kGaussjSingular, {}, {-9, 10});
    check("NaN", {kNaN, kNaN, kNaN, kNaN}, {1, 2}, kGaussjSingular, {}, {});
}

TEST(Marquardt, PlaneFitSolvesTheNormalEquationsSkippingPointsWithoutError) {
    // 25 points of the plane 1.5 + 0.25 x - 0.75 y on a 5 x 5 grid, point k at
    // x = (k - 1) % 5, y = (k - 1) / 5, plus the deterministic scatter
    // 0.1 sin(3 k), errors 0.1 + 0.01 k; indexed -5..22 (the caller's range is
    // kept), with three extra points carrying wild values and errors 0, -1, NaN.
    Range const r(-5, 22);
    Vec x(r), y(r), z(r), sig(r);
    for (int i = -5, k = 1; i <= 22; ++i) {
        bool const extra = i == -2 || i == 5 || i == 14;
        x(i) = extra ? 2.0 : (k - 1) % 5;
        y(i) = extra ? 2.0 : (k - 1) / 5;
        z(i) = extra ? 1e6 : 1.5 + 0.25 * x(i) - 0.75 * y(i) + 0.1 * std::sin(3.0 * k);
        sig(i) = i == -2 ? 0.0 : i == 5 ? -1.0 : i == 14 ? kNaN : 0.1 + 0.01 * k;
        if (!extra) ++k;
    }
    PlaneFit fit(x, y, z, sig, toMArray(std::vector<double>(3, 0.0)),
                 toMArray(std::vector<int>(3, 1)));
    ASSERT_EQ(fit.calc(), kCalcDone);

    // The weighted normal equations N p = r (f = (1, x, y), w = 1/sig^2) of the
    // 25 points alone: the fit solves them, its covariance is N^-1 and sa the
    // root of its diagonal; the skipped points would spoil all of it.
    double n[3][3] = {}, rhs[3] = {}, chisq = 0.0;
    for (int i = -5; i <= 22; ++i) {
        if (!(sig(i) > 0.0)) continue;
        double const f[3] = {1.0, x(i), y(i)}, w = 1.0 / (sig(i) * sig(i));
        for (int j = 0; j < 3; ++j) {
            rhs[j] += w * z(i) * f[j];
            for (int k = 0; k < 3; ++k) n[j][k] += w * f[j] * f[k];
        }
        chisq += w * std::pow(z(i) - (fit.a(1) + fit.a(2) * x(i) + fit.a(3) * y(i)), 2);
    }
    for (int j = 0; j < 3; ++j) {
        SCOPED_TRACE(j);
        EXPECT_CLOSE(n[j][0] * fit.a(1) + n[j][1] * fit.a(2) + n[j][2] * fit.a(3), rhs[j],
                     kSolveTol);
        for (int k = 0; k < 3; ++k) {
            double const cn = fit.covar(j + 1, 1) * n[0][k] + fit.covar(j + 1, 2) * n[1][k] +
                              fit.covar(j + 1, 3) * n[2][k];
            EXPECT_CLOSE(cn, j == k ? 1.0 : 0.0, kSolveTol);
        }
        EXPECT_EQ(fit.sa(j + 1), std::sqrt(fit.covar(j + 1, j + 1)));
    }
    EXPECT_CLOSE(fit.chisq, chisq, kSolveTol);
    EXPECT_EQ(fit.dof, 22);
    EXPECT_EQ(fit.rms, std::sqrt(fit.chisq / 25.0));
    EXPECT_EQ(fit.nchi, std::sqrt(fit.chisq / 22.0));
}

}  // namespace
}  // namespace fit
