// marquardt: Levenberg-Marquardt least-squares fitter for a model z(x, y) of
// two independent variables with ma parameters, any of which can be held
// fixed; gaussj: Gauss-Jordan elimination with full pivoting for its normal
// equations. Parameters, mask, errors and matrices are indexed from 1
// (matrices: first index = row); the data arrays keep the caller's index range.
// Units are those of the model. Thread safety: no static or global state; one
// object is used by one thread, distinct objects by any number at once.
#pragma once

#include <iostream>
#include <vector>

#include "sci/marray.h"

namespace fit {

// Status codes of marquardt::funcs (the model).
constexpr int kModelOk = 0;       // value and derivatives stored
constexpr int kModelFailed = -1;  // the model cannot be evaluated at these parameters

// Status codes of marquardt::calc.
constexpr int kCalcDone = 0;               // the damping left (1e-15, 1e15) within max_iterations
constexpr int kCalcIterationCap = 1;       // iter > max_iterations; results are still valid
constexpr int kCalcCovarianceFailed = -1;  // final covariance step failed; a and sa set to 0

// Status codes of marquardt::mrqmin.
constexpr int kStepDone = 0;               // step accepted or rejected, or covariance step done
constexpr int kStepFirstModelFailed = -1;  // funcs failed on the start parameters
constexpr int kStepSingular = -2;          // gaussj found the damped normal equations singular
constexpr int kStepTrialModelFailed = -3;  // funcs failed on the trial parameters

// Status codes of marquardt::mrqcof.
constexpr int kCoefDone = 0;
constexpr int kCoefModelFailed = -1;  // funcs returned a failure for some data point

// Status code of marquardt::cov_srt.
constexpr int kCovSrtDone = 0;

// Status codes of gaussj.
constexpr int kGaussjDone = 0;       // a holds the inverse, b the solution
constexpr int kGaussjSingular = -1;  // pivot 0.0, only NaN left to pivot on, or a column used twice

// Solves a x = b for the n x n block a(1..n, 1..n) by Gauss-Jordan elimination
// with full pivoting. On success a holds the inverse and b the solution; on
// failure both are left partly reduced. The pivot is the element of greatest
// magnitude among unused rows and columns, the last such one in row-then-column
// order. n = 0 does nothing. Writes no message, throws nothing.
// a: rows and columns 1..n; b: 1..n.
int gaussj(sci::MArray<double, 2>& a, int n, sci::MArray<double, 1>& b);

// The fitter. chi-square = sum over data points i with sig(i) > 0 of
//     ((z(i) - model(x(i), y(i); a)) / sig(i))^2,
// minimised over the free parameters by damped Gauss-Newton steps
//     (alpha + alamda * diag(alpha)) da = grad,
// alpha = sum d(model)/da(k) d(model)/da(l) / sig^2 (curvature),
// grad = sum (z - model) d(model)/da(k) / sig^2.
// Free parameters are packed into rows/columns 1..mfit of the matrices.
// One object serves one fit: construct, optionally set max_iterations and
// verbose, call calc, read a, sa, iterations, nchi (chisq, rms, dof).
// Objects keep no shared state: fits on several threads at once are safe as
// long as each thread has its own object (calc writes its failure messages to
// standard error when verbose > 0, the print routines to the stream given).
class marquardt {
  public:
    // Deep copies of all six arrays (an array without storage stays without
    // storage). x, y, sig must cover z's index range; ia must cover 1..ma where
    // ma is the last index of a.
    marquardt(sci::MArray<double, 1> const& x, sci::MArray<double, 1> const& y,
              sci::MArray<double, 1> const& z, sci::MArray<double, 1> const& sig,
              sci::MArray<double, 1> const& a, sci::MArray<int, 1> const& ia);
    virtual ~marquardt() = default;

    marquardt(marquardt const&) = delete;
    marquardt& operator=(marquardt const&) = delete;

    // The model at the data point (px, py) for the parameters params(1..ma): its
    // value in yfit and its partial derivatives d(model)/d(params(l)) in
    // dyda(1..ma). Returns kModelOk or kModelFailed.
    virtual int funcs(double px, double py, sci::MArray<double, 1> const& params, double& yfit,
                      sci::MArray<double, 1>& dyda) = 0;

    // The model at many points in two steps, bit for bit the values and
    // derivatives of funcs. funcsValues: the values at the n points (px[k],
    // py[k]), k = 0..n-1, for the parameters params(1..ma) into yfit[k];
    // returns the number of points evaluated before the first at which the
    // model cannot be evaluated (n when there is none). funcsDerivatives: after
    // funcsValues, for the same parameters and the first n of its points, the
    // derivatives of the free parameters dfree[k * nfree + j] =
    // d(model)/d(params(free[j])), j = 0..nfree-1 (free: indices 1..ma,
    // increasing). These versions call funcs at each point in turn with one
    // derivative vector, zeroed at the start of funcsValues, and keep what it
    // returns; a model overrides both to do the work that depends only on the
    // parameters once per call, to leave out the derivatives of held
    // parameters and to put off the cost of derivatives until they are asked for.
    virtual int funcsValues(sci::MArray<double, 1> const& params, double const* px,
                            double const* py, int n, double* yfit);
    virtual void funcsDerivatives(sci::MArray<double, 1> const& params, int const* free, int nfree,
                                  double const* px, double const* py, int n, double* dfree);

    // A complete fit from the current a: damped steps until alamda leaves
    // (1e-15, 1e15) or the cap is passed, then the covariance step, the errors
    // sa, rms, dof and nchi. Returns kCalcDone, kCalcIterationCap or
    // kCalcCovarianceFailed.
    int calc();

    // One damped step (alamda < 0 starts a new fit), or with alamda = 0 the
    // covariance step. Returns kStepDone, kStepFirstModelFailed, kStepSingular
    // or kStepTrialModelFailed.
    int mrqmin();

    // chi-square (into the member chisq), packed curvature matrix and packed
    // gradient at the parameters p(1..ma), from the data points i = ilo..ihi
    // with sig(i) > 0 in increasing order:
    //     chisq = sum dy^2 w,  gradient(j) = sum dy d_j w,
    //     curvature(j,k) = sum d_j w d_k  (k <= j, then mirrored),
    // dy = z(i) - model, w = 1 / sig(i)^2, d_j the derivative of the j-th free
    // parameter; every sum is added point by point in that order, starting
    // from 0. When the model fails at a point, the sums of the points before
    // it are left (lower triangle only) and kCoefModelFailed is returned.
    // trial: the evaluation of a trial step, whose curvature and gradient
    // mrqmin uses only when chisq < ochisq; otherwise they are not formed and
    // curvature and gradient are left as they were. Returns kCoefDone or
    // kCoefModelFailed. Virtual so that a fitter can supply the same sums
    // computed another way (a reference evaluation).
    virtual int mrqcof(sci::MArray<double, 1> const& p, sci::MArray<double, 2>& curvature,
                       sci::MArray<double, 1>& gradient, bool trial = false);

    // Expands a matrix whose free-parameter block is packed into rows/columns
    // 1..mfit to the full 1..ma layout, zero rows and columns for fixed
    // parameters. Returns kCovSrtDone.
    int cov_srt(sci::MArray<double, 2>& m);

    // Diagnostic lines on os (standard output by default): column titles
    // "a( i)", then the parameters, their errors and the mask, each in
    // 15-character cells.
    void print_title(std::ostream& os = std::cout) const;
    void print_a(std::ostream& os = std::cout) const;
    void print_sa(std::ostream& os = std::cout) const;
    void print_ia(std::ostream& os = std::cout) const;

    // Members in this order; public so that the caller reads the results.
    int ilo;    // first index of the data arrays (from z)
    int ihi;    // last index of the data arrays
    int nz;     // length of z
    int ndata;  // number of data points with sig(i) > 0.0
    int ma;     // number of parameters: the last index of a
    sci::MArray<double, 1> x;
    sci::MArray<double, 1> y;
    sci::MArray<double, 1> z;
    sci::MArray<double, 1> sig;
    int mfit;                      // number of free parameters, set by the first step
    double ochisq;                 // chi-square of the accepted parameters
    sci::MArray<double, 2> alpha;  // curvature of the accepted parameters, 1..ma x 1..ma
    sci::MArray<double, 2> covar;  // damped normal equations; covariance after calc
    sci::MArray<double, 1> atry;   // trial parameters, 1..ma
    sci::MArray<double, 1> grad;   // gradient of the accepted parameters (packed)
    sci::MArray<double, 1> da;     // step / right-hand side (packed)
    int dof;                       // ndata minus the sum of the mask, after calc
    int max_iterations;            // iteration cap of calc
    int verbose;                   // > 0: calc reports failures on standard error
    int iterations;                // damped steps made by the last calc
    double damping_factor;         // alamda is divided or multiplied by this
    double chisq;                  // chi-square of the last evaluated parameters
    double alamda;                 // damping; < 0: the next step starts a fit; 0: covariance
    double rms;                    // sqrt(chisq / ndata) after calc
    double nchi;                   // sqrt(chisq / dof) after calc
    sci::MArray<double, 1> a;      // start values, then fitted values, 1..ma
    sci::MArray<int, 1> ia;        // non-zero: fitted; 0: held at the start value
    sci::MArray<double, 1> sa;     // standard errors after calc, 1..ma

  private:
    // Working storage of mrqcof and funcsValues, kept between calls so that an
    // evaluation allocates nothing once the first has sized it.
    std::vector<int> free_;                                  // indices of the free parameters
    std::vector<double> pointX_, pointY_, pointZ_, pointW_;  // points with sig > 0; w = 1/sig^2
    std::vector<double> yfit_, dfree_;                       // values, free derivatives
    std::vector<double> curvature_, gradient_;               // the sums (lower triangle by rows)
    sci::MArray<double, 1> dyda_;                            // funcs' derivative vector, 1..ma
    std::vector<double> dydaKept_;                           // funcsValues: dyda of every point
};

}  // namespace fit
