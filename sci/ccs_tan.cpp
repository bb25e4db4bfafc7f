#include "sci/ccs_tan.h"

#include <cmath>
#include <cstddef>

#include "sci/exceptions.h"

namespace sci {

double cosDegExact(double deg) {
    double const r = std::fabs(std::fmod(deg, 360.0));
    if (r == 0.0) return 1.0;
    if (r == 180.0) return -1.0;
    if (r == 90.0 || r == 270.0) return 0.0;
    return std::cos(r * kDegToRad);
}

double sinDegExact(double deg) {
    double const d = std::fmod(deg, 360.0);
    if (d == 0.0 || d == 180.0 || d == -180.0) return 0.0;
    if (d == 90.0 || d == -270.0) return 1.0;
    if (d == 270.0 || d == -90.0) return -1.0;
    return std::sin(d * kDegToRad);
}

CCS::CCS(FVector<double, 2> const& referencePixel, FMatrix<double, 2, 2> const& linear,
         FVector<double, 2> const& scale, FVector<double, 2> const& referenceWorld)
    : WCS<2>(referencePixel, linear, scale) {
    theta0 = kHalfPi;
    ref = FVector<double, 2>(referenceWorld(1) * kDegToRad, referenceWorld(2) * kDegToRad);
    // Zenithal projection: the celestial pole lies at native longitude 0 when the
    // reference point is the north pole itself, at 180 degrees otherwise.
    phi_p = (kHalfPi <= ref(2)) ? 0.0 : kPi;
    theta_p = kHalfPi;
    pole = ref;
    cos_dp = cosDegExact(referenceWorld(2));
    sin_dp = sinDegExact(referenceWorld(2));
}

CCS::~CCS() = default;

CCS_TAN::CCS_TAN(FVector<double, 2> const& referencePixel, FMatrix<double, 2, 2> const& linear,
                 FVector<double, 2> const& scale, FVector<double, 2> const& referenceWorld)
    : CCS(referencePixel, linear, scale, referenceWorld) {}

CCS_TAN::~CCS_TAN() = default;

namespace {

// asin of a sine or cosine sum that rounding may push past +-1 by an ulp (for a
// point at the reference point, sin^2 + cos^2 can round to 1 + 2^-52); asin would
// give NaN there. Values inside [-1, 1] and NaN pass unchanged.
double asinOfSum(double z) {
    if (z > 1.0) z = 1.0;
    if (z < -1.0) z = -1.0;
    return std::asin(z);
}

// Solves a d = b for the 2 x 2 matrix a by Gauss-Jordan elimination with full
// pivoting (row index first; indices 0..1 here). The pivot search walks rows, then
// columns, over rows and columns not yet used; the test |a(j,k)| >= big makes the
// last element of greatest magnitude win, and a NaN never qualifies. The pivot
// row and column indices keep their values from one step to the next, so a step
// that finds no pivot meets the column chosen before. b returns the solution d.
void gaussJordanSolve(FMatrix<double, 2, 2> a, FVector<double, 2>& b) {
    constexpr std::size_t n = 2;
    constexpr std::size_t kNone = n;  // no pivot chosen yet
    int ipiv[n] = {0, 0};
    std::size_t irow = kNone;
    std::size_t icol = kNone;
    for (std::size_t i = 0; i < n; ++i) {
        double big = 0.0;
        for (std::size_t j = 0; j < n; ++j) {
            if (ipiv[j] == 1) continue;
            for (std::size_t k = 0; k < n; ++k) {
                if (ipiv[k] == 0 && std::fabs(a(j + 1, k + 1)) >= big) {
                    big = std::fabs(a(j + 1, k + 1));
                    irow = j;
                    icol = k;
                }
            }
        }
        if (icol == kNone) throw SingularMatrixException("Could not find pivot");
        if (ipiv[icol] != 0) throw SingularMatrixException("in Pivot of Gauss-Jordan");
        ++ipiv[icol];
        if (irow != icol) {
            for (std::size_t l = 1; l <= n; ++l) {
                double const t = a(irow + 1, l);
                a(irow + 1, l) = a(icol + 1, l);
                a(icol + 1, l) = t;
            }
            double const t = b(irow + 1);
            b(irow + 1) = b(icol + 1);
            b(icol + 1) = t;
        }
        if (a(icol + 1, icol + 1) == 0.0)
            throw SingularMatrixException("Singular matrix in Gauss-Jordan");
        double const pivinv = 1.0 / a(icol + 1, icol + 1);
        a(icol + 1, icol + 1) = 1.0;
        for (std::size_t l = 1; l <= n; ++l) a(icol + 1, l) *= pivinv;
        b(icol + 1) *= pivinv;
        for (std::size_t ll = 0; ll < n; ++ll) {
            if (ll == icol) continue;
            double const dum = a(ll + 1, icol + 1);
            a(ll + 1, icol + 1) = 0.0;
            for (std::size_t l = 1; l <= n; ++l) a(ll + 1, l) -= a(icol + 1, l) * dum;
            b(ll + 1) -= b(icol + 1) * dum;
        }
    }
    // The column swaps that would turn a into the inverse are not needed for d.
}

}  // namespace

FVector<double, 2> CCS_TAN::nc_(FVector<double, 2> const& pixel) const {
    double const dx = pixel(1) - crpix(1);
    double const dy = pixel(2) - crpix(2);
    // Projection-plane coordinates in radians.
    double const X = (pc(1, 1) * dx + pc(1, 2) * dy) * cdelt(1) * kPi / 180.0;
    double const Y = (pc(2, 1) * dx + pc(2, 2) * dy) * cdelt(2) * kPi / 180.0;
    // Native longitude; native latitude from R = hypot(X, Y) = cot(theta). At the
    // reference pixel 1 / 0 = +inf and theta = pi/2.
    double const phi = std::atan2(X, -Y);
    double const theta = std::atan(1.0 / std::hypot(X, Y));
    return FVector<double, 2>(phi, theta);
}

FVector<double, 2> CCS_TAN::x_nc(FVector<double, 2> const& native) const {
    // R = cot(theta) (radians); x = R sin(phi), y = -R cos(phi), in degrees.
    double const phi = native(1);
    double const c = 1.0 / std::tan(native(2));
    return FVector<double, 2>(std::sin(phi) * c * kRadToDeg, -c * std::cos(phi) * kRadToDeg);
}

FVector<double, 2> CCS_TAN::solve(FVector<double, 2> const& pixel) const {
    FVector<double, 2> const native = nc_(pixel);
    double const theta = native(2);
    double const dphi = native(1) - phi_p;
    double const alpha =
        pole(1) + std::atan2(-std::cos(theta) * std::sin(dphi),
                             std::sin(theta) * cos_dp - std::cos(theta) * sin_dp * std::cos(dphi));
    double const delta =
        asinOfSum(std::sin(theta) * sin_dp + std::cos(theta) * cos_dp * std::cos(dphi));
    return FVector<double, 2>(alpha * kRadToDeg, delta * kRadToDeg);
}

FVector<double, 2> CCS_TAN::solve_inv(FVector<double, 2> const& world) const {
    double const alpha = world(1) * kDegToRad;
    double const delta = world(2) * kDegToRad;
    double const dalpha = alpha - pole(1);
    // (u, v, z) is the position as a unit vector in the native frame.
    double const u = -std::cos(delta) * std::sin(dalpha);
    double const v = std::sin(delta) * cos_dp - sin_dp * std::cos(delta) * std::cos(dalpha);
    double const z = std::sin(delta) * sin_dp + std::cos(delta) * cos_dp * std::cos(dalpha);
    double const phi = phi_p + std::atan2(u, v);
    // theta = atan2(z, hypot(u, v)) rather than asin(z): near the reference
    // point z is within rounding of 1, and asin would lose the small distance
    // from it (about 1e-8 radian, a hundredth of a pixel at 1e-4 degrees per
    // pixel), so that a pixel near the reference would not come back where it was.
    double const theta = std::atan2(z, std::hypot(u, v));
    FVector<double, 2> const plane = x_nc(FVector<double, 2>(phi, theta));
    FVector<double, 2> d(plane(1) / cdelt(1), plane(2) / cdelt(2));
    gaussJordanSolve(pc, d);
    return FVector<double, 2>(crpix(1) + d(1), crpix(2) + d(2));
}

}  // namespace sci
