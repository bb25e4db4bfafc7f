#include "fit/marquardt.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "tests/support/float_compare.h"

namespace {

using sci::MArray;
using sci::Range;

// Normal-equation solutions agree with the fitter's to rounding of a few
// hundred operations on well-conditioned 3x3 systems.
constexpr double kSolveTol = 1e-10;
// Noise-free nonlinear data: the fit stops when chi-square no longer drops,
// i.e. at the parameters' last significant bits.
constexpr double kRecoverTol = 1e-8;
// A 3x3 Gauss-Jordan inverse against the exact one.
constexpr double kInverseTol = 1e-14;

MArray<double, 1> vec(std::vector<double> const& v) {
    MArray<double, 1> a(static_cast<int>(v.size()));
    for (int i = 1; i <= a.last(); ++i) a(i) = v[static_cast<size_t>(i - 1)];
    return a;
}

MArray<int, 1> mask(std::vector<int> const& v) {
    MArray<int, 1> a(static_cast<int>(v.size()));
    for (int i = 1; i <= a.last(); ++i) a(i) = v[static_cast<size_t>(i - 1)];
    return a;
}

// z = a1 + a2 x + a3 y: linear, so the least-squares solution and its
// covariance follow from the normal equations in closed form.
class PlaneFit : public marquardt {
  public:
    using marquardt::marquardt;
    int funcs(double x, double y, MArray<double, 1> const& a, double& yfit,
              MArray<double, 1>& dyda) override {
        yfit = a(1) + a(2) * x + a(3) * y;
        dyda(1) = 1.0;
        dyda(2) = x;
        dyda(3) = y;
        return kModelOk;
    }
};

// z = a1 exp(-((x - a2)^2 + (y - a3)^2) / (2 a4^2)) + a5.
class GaussFit : public marquardt {
  public:
    using marquardt::marquardt;
    int funcs(double x, double y, MArray<double, 1> const& a, double& yfit,
              MArray<double, 1>& dyda) override {
        double const dx = x - a(2);
        double const dy = y - a(3);
        double const s2 = a(4) * a(4);
        double const e = std::exp(-(dx * dx + dy * dy) / (2.0 * s2));
        yfit = a(1) * e + a(5);
        dyda(1) = e;
        dyda(2) = a(1) * e * dx / s2;
        dyda(3) = a(1) * e * dy / s2;
        dyda(4) = a(1) * e * (dx * dx + dy * dy) / (s2 * a(4));
        dyda(5) = 1.0;
        return kModelOk;
    }
};

// z = a1 + a2: the two parameters cannot be told apart, so the undamped
// curvature matrix is singular (the damped one is not).
class DegenerateFit : public marquardt {
  public:
    using marquardt::marquardt;
    int funcs(double, double, MArray<double, 1> const& a, double& yfit,
              MArray<double, 1>& dyda) override {
        yfit = a(1) + a(2);
        dyda(1) = 1.0;
        dyda(2) = 1.0;
        return kModelOk;
    }
};

// z = a1 with a second parameter that has no effect: a zero row and column
// in the curvature matrix, damped or not.
class DeadParameterFit : public marquardt {
  public:
    using marquardt::marquardt;
    int funcs(double, double, MArray<double, 1> const& a, double& yfit,
              MArray<double, 1>& dyda) override {
        yfit = a(1);
        dyda(1) = 1.0;
        dyda(2) = 0.0;
        return kModelOk;
    }
};

// The plane model failing on demand: at the start parameters (a1 = startA1)
// for the data point (failAtX, failAtY), or on every call after the first
// callsBeforeFailure.
class FailingPlaneFit : public PlaneFit {
  public:
    using PlaneFit::PlaneFit;
    int funcs(double x, double y, MArray<double, 1> const& p, double& yfit,
              MArray<double, 1>& dyda) override {
        ++calls;
        if (x == failAtX && y == failAtY && p(1) == startA1) return kModelFailed;
        if (callsBeforeFailure >= 0 && calls > callsBeforeFailure) return kModelFailed;
        return PlaneFit::funcs(x, y, p, yfit, dyda);
    }
    double failAtX = std::numeric_limits<double>::quiet_NaN();
    double failAtY = std::numeric_limits<double>::quiet_NaN();
    double startA1 = std::numeric_limits<double>::quiet_NaN();
    int callsBeforeFailure = -1;
    int calls = 0;
};

// A 5 x 5 grid of points, x = 0..4, y = 0..4, with a plane, deterministic
// scatter and errors that differ from point to point.
struct PlaneData {
    MArray<double, 1> x{25}, y{25}, z{25}, sig{25};
    PlaneData() {
        for (int i = 1; i <= 25; ++i) {
            x(i) = (i - 1) % 5;
            y(i) = (i - 1) / 5;
            z(i) = 1.5 + 0.25 * x(i) - 0.75 * y(i) + 0.1 * std::sin(3.0 * i);
            sig(i) = 0.1 + 0.01 * i;
        }
    }
};

// Solves the weighted normal equations of the plane by Cramer's rule:
// N = sum w f f^T, r = sum w z f with f = (1, x, y), w = 1/sig^2; returns the
// solution and the diagonal of N^-1 (the parameter variances).
void planeReference(PlaneData const& d, double sol[3], double var[3]) {
    double n[3][3] = {};
    double r[3] = {};
    for (int i = 1; i <= 25; ++i) {
        if (!(d.sig(i) > 0.0)) continue;
        double const f[3] = {1.0, d.x(i), d.y(i)};
        double const w = 1.0 / (d.sig(i) * d.sig(i));
        for (int j = 0; j < 3; ++j) {
            r[j] += w * d.z(i) * f[j];
            for (int k = 0; k < 3; ++k) n[j][k] += w * f[j] * f[k];
        }
    }
    auto det3 = [](double const m[3][3]) {
        return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
               m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
               m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    };
    double const det = det3(n);
    for (int c = 0; c < 3; ++c) {
        double m[3][3];
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) m[j][k] = k == c ? r[j] : n[j][k];
        sol[c] = det3(m) / det;
    }
    // Diagonal of the inverse: cofactor / determinant.
    var[0] = (n[1][1] * n[2][2] - n[1][2] * n[2][1]) / det;
    var[1] = (n[0][0] * n[2][2] - n[0][2] * n[2][0]) / det;
    var[2] = (n[0][0] * n[1][1] - n[0][1] * n[1][0]) / det;
}

// Noise-free Gaussian on a 15 x 15 grid, indexed from 1.
struct GaussData {
    static constexpr double kTruth[5] = {10.0, 7.3, 6.8, 2.2, 1.0};
    MArray<double, 1> x{225}, y{225}, z{225}, sig{225};
    GaussData() {
        for (int i = 1; i <= 225; ++i) {
            x(i) = (i - 1) % 15;
            y(i) = (i - 1) / 15;
            double const dx = x(i) - kTruth[1];
            double const dy = y(i) - kTruth[2];
            z(i) = kTruth[0] * std::exp(-(dx * dx + dy * dy) / (2.0 * kTruth[3] * kTruth[3])) +
                   kTruth[4];
            sig(i) = 0.5;
        }
    }
};

// ---------------------------------------------------------------- gaussj

TEST(Gaussj, OneByOneGivesInverseAndSolution) {
    MArray<double, 2> a(1, 1);
    a(1, 1) = 2.0;
    MArray<double, 1> b = vec({4.0});
    EXPECT_EQ(gaussj(a, 1, b), kGaussjDone);
    EXPECT_EQ(a(1, 1), 0.5);
    EXPECT_EQ(b(1), 2.0);
}

TEST(Gaussj, ThreeByThreeMatchesKnownInverse) {
    // The second-difference matrix and its inverse (1/4)[[3,2,1],[2,4,2],[1,2,3]].
    double const m[3][3] = {{2, -1, 0}, {-1, 2, -1}, {0, -1, 2}};
    double const inv[3][3] = {{0.75, 0.5, 0.25}, {0.5, 1.0, 0.5}, {0.25, 0.5, 0.75}};
    MArray<double, 2> a(3, 3);
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 3; ++j) a(i, j) = m[i - 1][j - 1];
    // b = A (1, 2, 3)^T.
    MArray<double, 1> b = vec({0.0, 0.0, 4.0});
    ASSERT_EQ(gaussj(a, 3, b), kGaussjDone);
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 3; ++j) EXPECT_CLOSE(a(i, j), inv[i - 1][j - 1], kInverseTol);
    EXPECT_CLOSE(b(1), 1.0, kInverseTol);
    EXPECT_CLOSE(b(2), 2.0, kInverseTol);
    EXPECT_CLOSE(b(3), 3.0, kInverseTol);
}

TEST(Gaussj, NonSymmetricMatrixNeedingRowSwaps) {
    // A permutation-like matrix: the pivots lie off the diagonal, so rows are
    // exchanged and the column interchanges undone at the end.
    MArray<double, 2> a(3, 3);
    a = 0.0;
    a(1, 2) = 4.0;
    a(2, 3) = 2.0;
    a(3, 1) = 8.0;
    MArray<double, 1> b = vec({4.0, 6.0, 8.0});
    ASSERT_EQ(gaussj(a, 3, b), kGaussjDone);
    EXPECT_EQ(a(2, 1), 0.25);
    EXPECT_EQ(a(3, 2), 0.5);
    EXPECT_EQ(a(1, 3), 0.125);
    EXPECT_EQ(a(1, 1) + a(1, 2) + a(2, 2) + a(2, 3) + a(3, 1) + a(3, 3), 0.0);
    EXPECT_EQ(b(1), 1.0);
    EXPECT_EQ(b(2), 1.0);
    EXPECT_EQ(b(3), 3.0);
}

TEST(Gaussj, ZeroColumnIsSingular) {
    MArray<double, 2> a(3, 3);
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 3; ++j) a(i, j) = j == 2 ? 0.0 : 100.0 * i + j;
    MArray<double, 1> b = vec({1.0, 2.0, 3.0});
    EXPECT_EQ(gaussj(a, 3, b), kGaussjSingular);
}

TEST(Gaussj, LastElementOfGreatestMagnitudeIsTheFirstPivot) {
    // All four elements have magnitude 1. Taking (2,2) first (the last one)
    // leaves b = (b1 - b2, b2) when the singularity shows; taking (1,1)
    // first would leave (b1, b2 - b1).
    MArray<double, 2> a(2, 2);
    a = 1.0;
    MArray<double, 1> b = vec({1.0, 10.0});
    EXPECT_EQ(gaussj(a, 2, b), kGaussjSingular);
    EXPECT_EQ(b(1), -9.0);
    EXPECT_EQ(b(2), 10.0);
}

TEST(Gaussj, NaNMatrixIsSingularWithoutTouchingIndexZero) {
    MArray<double, 2> a(2, 2);
    a = std::numeric_limits<double>::quiet_NaN();
    MArray<double, 1> b = vec({1.0, 2.0});
    EXPECT_EQ(gaussj(a, 2, b), kGaussjSingular);
}

TEST(Gaussj, EmptySystemDoesNothing) {
    MArray<double, 2> a(1, 1);
    a(1, 1) = 3.0;
    MArray<double, 1> b = vec({5.0});
    EXPECT_EQ(gaussj(a, 0, b), kGaussjDone);
    EXPECT_EQ(a(1, 1), 3.0);
    EXPECT_EQ(b(1), 5.0);
}

// ---------------------------------------------------------------- marquardt

TEST(Marquardt, ConstructionCopiesAndCounts) {
    PlaneData d;
    d.sig(3) = 0.0;
    d.sig(7) = -1.0;
    MArray<double, 1> a = vec({0.0, 0.0, 0.0});
    MArray<int, 1> ia = mask({1, 1, 1});
    PlaneFit fit(d.x, d.y, d.z, d.sig, a, ia);
    EXPECT_EQ(fit.ilo, 1);
    EXPECT_EQ(fit.ihi, 25);
    EXPECT_EQ(fit.nz, 25);
    EXPECT_EQ(fit.ndata, 23);
    EXPECT_EQ(fit.ma, 3);
    EXPECT_EQ(fit.max_iterations, 10000);
    EXPECT_EQ(fit.alamda, -1.0);
    // Deep copies: later changes of the caller's arrays do not reach the fitter.
    d.z(1) = 1e6;
    a(1) = 42.0;
    ia(1) = 0;
    EXPECT_NE(fit.z(1), 1e6);
    EXPECT_EQ(fit.a(1), 0.0);
    EXPECT_EQ(fit.ia(1), 1);
}

TEST(Marquardt, PlaneFitMatchesNormalEquations) {
    PlaneData d;
    MArray<double, 1> a = vec({0.0, 0.0, 0.0});
    MArray<int, 1> ia = mask({1, 1, 1});
    PlaneFit fit(d.x, d.y, d.z, d.sig, a, ia);
    ASSERT_EQ(fit.calc(), kCalcDone);

    double sol[3], var[3];
    planeReference(d, sol, var);
    double chisq = 0.0;
    for (int i = 1; i <= 25; ++i) {
        double const r = (d.z(i) - (sol[0] + sol[1] * d.x(i) + sol[2] * d.y(i))) / d.sig(i);
        chisq += r * r;
    }
    for (int l = 1; l <= 3; ++l) {
        EXPECT_CLOSE(fit.a(l), sol[l - 1], kSolveTol) << "a(" << l << ")";
        EXPECT_CLOSE(fit.sa(l), std::sqrt(var[l - 1]), kSolveTol) << "sa(" << l << ")";
    }
    EXPECT_CLOSE(fit.chisq, chisq, kSolveTol);
    EXPECT_EQ(fit.dof, 22);
    EXPECT_EQ(fit.rms, std::sqrt(fit.chisq / 25.0));
    EXPECT_EQ(fit.nchi, std::sqrt(fit.chisq / 22.0));
    EXPECT_GT(fit.iterations, 1);
    // The caller's parameters are not written.
    EXPECT_EQ(a(1), 0.0);
}

TEST(Marquardt, PointsWithoutPositiveErrorTakeNoPart) {
    PlaneData clean;
    // The same points, indexed -5..22 (the caller's range is kept), with three
    // extra ones in between that carry wild values and errors 0, -1 and NaN.
    Range const r(-5, 22);
    MArray<double, 1> x(r), y(r), z(r), sig(r);
    for (int i = -5, k = 1; i <= 22; ++i) {
        bool const extra = i == -2 || i == 5 || i == 14;
        x(i) = extra ? 2.0 : clean.x(k);
        y(i) = extra ? 2.0 : clean.y(k);
        z(i) = extra ? 1e6 : clean.z(k);
        sig(i) = i == -2 ? 0.0 : i == 5 ? -1.0 : i == 14 ? std::nan("") : clean.sig(k);
        if (!extra) ++k;
    }
    MArray<double, 1> a = vec({0.0, 0.0, 0.0});
    MArray<int, 1> ia = mask({1, 1, 1});
    PlaneFit ref(clean.x, clean.y, clean.z, clean.sig, a, ia);
    PlaneFit fit(x, y, z, sig, a, ia);
    EXPECT_EQ(fit.ilo, -5);
    EXPECT_EQ(fit.ihi, 22);
    EXPECT_EQ(fit.ndata, 25);
    ref.calc();
    fit.calc();
    // Skipped points add nothing, so the arithmetic is the same.
    for (int l = 1; l <= 3; ++l) {
        EXPECT_EQ(fit.a(l), ref.a(l));
        EXPECT_EQ(fit.sa(l), ref.sa(l));
    }
    EXPECT_EQ(fit.chisq, ref.chisq);
    EXPECT_EQ(fit.iterations, ref.iterations);
    EXPECT_EQ(fit.dof, 22);
}

TEST(Marquardt, GaussianRecoveredFromNoiseFreeData) {
    GaussData d;
    MArray<double, 1> a = vec({8.0, 7.0, 7.0, 3.0, 0.0});
    MArray<int, 1> ia = mask({1, 1, 1, 1, 1});
    GaussFit fit(d.x, d.y, d.z, d.sig, a, ia);
    ASSERT_EQ(fit.calc(), kCalcDone);
    for (int l = 1; l <= 5; ++l)
        EXPECT_CLOSE(fit.a(l), GaussData::kTruth[l - 1], kRecoverTol) << "a(" << l << ")";
    EXPECT_LT(fit.chisq, 1e-12);
    for (int l = 1; l <= 5; ++l) EXPECT_GT(fit.sa(l), 0.0);
}

TEST(Marquardt, FixedParameterKeepsItsStartValueAndHasNoError) {
    GaussData d;
    double const heldBackground = 0.75;  // not the truth, 1.0
    MArray<double, 1> a = vec({8.0, 7.0, 7.0, 3.0, heldBackground});
    MArray<int, 1> ia = mask({1, 1, 1, 1, 0});
    GaussFit fit(d.x, d.y, d.z, d.sig, a, ia);
    fit.calc();
    EXPECT_EQ(fit.a(5), heldBackground);
    EXPECT_EQ(fit.sa(5), 0.0);
    for (int l = 1; l <= 5; ++l) {
        EXPECT_EQ(fit.covar(5, l), 0.0);
        EXPECT_EQ(fit.covar(l, 5), 0.0);
    }
    for (int l = 1; l <= 4; ++l) EXPECT_GT(fit.sa(l), 0.0);
    EXPECT_EQ(fit.dof, 225 - 4);
}

TEST(Marquardt, AllParametersFixedEndsAfterEighteenRejections) {
    GaussData d;
    MArray<double, 1> a = vec({8.0, 7.0, 7.0, 3.0, 0.5});
    MArray<int, 1> ia = mask({0, 0, 0, 0, 0});
    GaussFit fit(d.x, d.y, d.z, d.sig, a, ia);
    EXPECT_EQ(fit.calc(), kCalcDone);
    // An unchanged chi-square is a rejection: alamda goes 1e-3 -> 1e15.
    EXPECT_EQ(fit.iterations, 18);
    EXPECT_EQ(fit.mfit, 0);
    for (int l = 1; l <= 5; ++l) {
        EXPECT_EQ(fit.a(l), a(l));
        EXPECT_EQ(fit.sa(l), 0.0);
    }
    EXPECT_EQ(fit.dof, 225);
    EXPECT_EQ(fit.nchi, fit.rms);
    EXPECT_GT(fit.chisq, 0.0);
}

TEST(Marquardt, IterationCapReturnsOneWithValidResults) {
    GaussData d;
    MArray<double, 1> a = vec({8.0, 7.0, 7.0, 3.0, 0.0});
    MArray<int, 1> ia = mask({1, 1, 1, 1, 1});
    GaussFit quiet(d.x, d.y, d.z, d.sig, a, ia);
    quiet.max_iterations = 2;
    testing::internal::CaptureStderr();
    EXPECT_EQ(quiet.calc(), kCalcIterationCap);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");  // verbose 0: no message

    GaussFit fit(d.x, d.y, d.z, d.sig, a, ia);
    fit.max_iterations = 2;
    fit.verbose = 1;
    testing::internal::CaptureStderr();
    int const r = fit.calc();
    std::string const err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(r, kCalcIterationCap);
    EXPECT_EQ(fit.iterations, 3);
    EXPECT_EQ(err, "marquardt: iterations: 3\n");
    for (int l = 1; l <= 5; ++l) EXPECT_GT(fit.sa(l), 0.0);
    EXPECT_TRUE(std::isfinite(fit.nchi));
    EXPECT_GT(fit.nchi, 0.0);
    EXPECT_EQ(fit.nchi, std::sqrt(fit.chisq / 220.0));
    // Three accepted steps from the start: not yet converged.
    EXPECT_GT(std::fabs(fit.a(4) - GaussData::kTruth[3]), 1e-6);
}

TEST(Marquardt, SingularCovarianceZeroesParametersAndErrors) {
    PlaneData d;
    MArray<double, 1> a = vec({1.0, 1.0});
    MArray<int, 1> ia = mask({1, 1});
    DegenerateFit fit(d.x, d.y, d.z, d.sig, a, ia);
    fit.verbose = 1;
    testing::internal::CaptureStderr();
    int const r = fit.calc();
    std::string const err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(r, kCalcCovarianceFailed);
    EXPECT_EQ(err, "marquardt: error -2\n");
    for (int l = 1; l <= 2; ++l) {
        EXPECT_EQ(fit.a(l), 0.0);
        EXPECT_EQ(fit.sa(l), 0.0);
    }
}

TEST(Marquardt, SingularDampedSystemIsARejectedStep) {
    PlaneData d;
    MArray<double, 1> a = vec({1.0, 1.0});
    MArray<int, 1> ia = mask({1, 1});
    DeadParameterFit fit(d.x, d.y, d.z, d.sig, a, ia);
    EXPECT_EQ(fit.mrqmin(), kStepSingular);
    EXPECT_EQ(fit.alamda, 0.001 * 10.0);
    EXPECT_EQ(fit.chisq, fit.ochisq);
    EXPECT_GT(fit.ochisq, 0.0);
    // calc goes on until the damping leaves its range, then fails the
    // covariance step as well.
    EXPECT_EQ(fit.calc(), kCalcCovarianceFailed);
    EXPECT_EQ(fit.iterations, 18);
}

TEST(Marquardt, ModelFailureAtTheTrialIsARejectedStep) {
    PlaneData d;
    MArray<double, 1> a = vec({0.0, 0.0, 0.0});
    MArray<int, 1> ia = mask({1, 1, 1});
    FailingPlaneFit fit(d.x, d.y, d.z, d.sig, a, ia);
    fit.callsBeforeFailure = 25;  // the start evaluation succeeds
    EXPECT_EQ(fit.mrqmin(), kStepTrialModelFailed);
    EXPECT_EQ(fit.alamda, 0.001 * 10.0);
    EXPECT_EQ(fit.chisq, fit.ochisq);
    EXPECT_GT(fit.ochisq, 0.0);
    EXPECT_EQ(fit.a(1), 0.0);
}

TEST(Marquardt, ModelFailureOnFirstEvaluationKeepsStartValues) {
    PlaneData d;
    MArray<double, 1> a = vec({0.5, 0.5, 0.5});
    MArray<int, 1> ia = mask({1, 1, 1});
    // The last point (x = 4, y = 4) fails at the start parameters only.
    FailingPlaneFit fit(d.x, d.y, d.z, d.sig, a, ia);
    fit.failAtX = 4.0;
    fit.failAtY = 4.0;
    fit.startA1 = 0.5;
    EXPECT_EQ(fit.mrqmin(), kStepFirstModelFailed);
    EXPECT_EQ(fit.alamda, 0.001);
    EXPECT_EQ(fit.ochisq, 0.0);
    EXPECT_EQ(fit.calc(), kCalcDone);
    // No trial beats the accepted chi-square 0: one failed start, then 18
    // rejections.
    EXPECT_EQ(fit.iterations, 19);
    for (int l = 1; l <= 3; ++l) EXPECT_EQ(fit.a(l), 0.5);
    EXPECT_EQ(fit.chisq, 0.0);
    EXPECT_EQ(fit.nchi, 0.0);
}

TEST(Marquardt, NoDataGivesNonFiniteChiWithoutThrowing) {
    MArray<double, 1> empty(0);
    MArray<double, 1> a = vec({0.0, 0.0, 0.0});
    {
        PlaneFit fit(empty, empty, empty, empty, a, mask({1, 1, 1}));
        EXPECT_EQ(fit.ndata, 0);
        EXPECT_EQ(fit.calc(), kCalcCovarianceFailed);
    }
    PlaneFit fit(empty, empty, empty, empty, a, mask({0, 0, 0}));
    EXPECT_EQ(fit.calc(), kCalcDone);
    EXPECT_TRUE(std::isnan(fit.rms));
    EXPECT_TRUE(std::isnan(fit.nchi));
}

TEST(Marquardt, CovSrtSpreadsThePackedBlock) {
    PlaneData d;
    MArray<double, 1> a = vec({0.0, 0.0, 0.0, 0.0});
    MArray<int, 1> ia = mask({0, 1, 0, 1});
    PlaneFit fit(d.x, d.y, d.z, d.sig, a, ia);
    fit.mfit = 2;
    MArray<double, 2> m(4, 4);
    for (int i = 1; i <= 4; ++i)
        for (int j = 1; j <= 4; ++j) m(i, j) = 100.0 * i + j;
    EXPECT_EQ(fit.cov_srt(m), kCovSrtDone);
    // Packed (1,1) (1,2) (2,1) (2,2) belong to parameters 2 and 4.
    double const expect[4][4] = {{0, 0, 0, 0}, {0, 101, 0, 102}, {0, 0, 0, 0}, {0, 201, 0, 202}};
    for (int i = 1; i <= 4; ++i)
        for (int j = 1; j <= 4; ++j)
            EXPECT_EQ(m(i, j), expect[i - 1][j - 1]) << "(" << i << "," << j << ")";
}

TEST(Marquardt, DumpsWriteFifteenCharacterCells) {
    PlaneData d;
    MArray<double, 1> a = vec({1.5, -2.0, 0.001});
    MArray<int, 1> ia = mask({1, 0, 1});
    PlaneFit fit(d.x, d.y, d.z, d.sig, a, ia);
    testing::internal::CaptureStdout();
    fit.print_title();
    fit.print_a();
    fit.print_ia();
    fit.print_sa();
    std::string const out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out,
              "          a( 1)          a( 2)          a( 3)\n"
              "        1.50000       -2.00000        0.00100\n"
              "        1.00000        0.00000        1.00000\n"
              "        0.00000        0.00000        0.00000\n");
}

}  // namespace
