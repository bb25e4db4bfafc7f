// Celestial coordinate systems: sci::CCS (abstract; the spherical rotation between
// native and celestial coordinates) and sci::CCS_TAN (the gnomonic, tangent-plane
// projection of the FITS world-coordinate conventions).
// Pixels follow the FITS convention (the first pixel is 1); vector and matrix
// elements are indexed from 1. Angles are degrees at every interface except the
// native coordinates of nc_ and x_nc, which are radians.
#pragma once

#include "sci/angles.h"
#include "sci/fvector.h"
#include "sci/wcs.h"

namespace sci {

// cos and sin of an angle in degrees, exact at multiples of 90 degrees, so that a
// reference point on the equator or at a pole gives exact 0, 1 and -1.
// With d = fmod(deg, 360):
//   cosDegExact: r = |d|; 1 at r = 0, -1 at r = 180, 0 at r = 90 or 270,
//                else cos(r * kDegToRad);
//   sinDegExact: 0 at d = 0, 180, -180; 1 at d = 90, -270; -1 at d = 270, -90;
//                else sin(d * kDegToRad).
double cosDegExact(double deg);
double sinDegExact(double deg);

// Celestial coordinate system: the WCS linear part plus the rotation that carries
// native spherical coordinates (phi, theta) into celestial ones (alpha, delta).
// The reference point (alpha0, delta0) = crval is the native pole of a zenithal
// projection: theta0 = pi/2, and the native longitude of the celestial pole is
// phi_p = 0 when delta0 >= pi/2, else pi.
class CCS : public WCS<2> {
  public:
    // referencePixel: (p1, p2), pixels; linear: the matrix M; scale: degrees per
    // pixel per axis; referenceWorld: (alpha0, delta0) of the reference pixel, degrees.
    CCS(FVector<double, 2> const& referencePixel, FMatrix<double, 2, 2> const& linear,
        FVector<double, 2> const& scale, FVector<double, 2> const& referenceWorld);
    virtual ~CCS();

    // Native (phi, theta), radians -> projection-plane (x, y), degrees.
    virtual FVector<double, 2> x_nc(FVector<double, 2> const& native) const = 0;
    // Pixel (p1, p2) -> native (phi, theta), radians.
    virtual FVector<double, 2> nc_(FVector<double, 2> const& pixel) const = 0;
    // Pixel (p1, p2) -> (alpha, delta), degrees.
    virtual FVector<double, 2> solve(FVector<double, 2> const& pixel) const = 0;
    // (alpha, delta), degrees -> pixel (p1, p2).
    virtual FVector<double, 2> solve_inv(FVector<double, 2> const& world) const = 0;

    double getTheta0() const { return theta0; }                 // radians
    FVector<double, 2> const& getRef() const { return ref; }    // (alpha0, delta0), radians
    double getPhiP() const { return phi_p; }                    // radians
    double getThetaP() const { return theta_p; }                // radians
    FVector<double, 2> const& getPole() const { return pole; }  // (alpha_p, delta_p), radians
    double getCosDp() const { return cos_dp; }
    double getSinDp() const { return sin_dp; }

  protected:
    CCS(CCS const&) = default;
    CCS& operator=(CCS const&) = default;

    double theta0;            // native latitude of the reference point: pi/2
    FVector<double, 2> ref;   // celestial reference point (alpha0, delta0), radians
    double phi_p;             // native longitude of the celestial pole
    double theta_p;           // pi/2
    FVector<double, 2> pole;  // celestial coordinates of the native pole = ref
    double cos_dp;            // cos(delta_p), exact at multiples of 90 degrees
    double sin_dp;            // sin(delta_p), exact at multiples of 90 degrees
};

// Gnomonic projection (FITS "TAN"). Pixel -> sky:
//   (dx, dy) = p - crpix
//   X = (M11 dx + M12 dy) * cdelt1 * pi / 180,  Y = (M21 dx + M22 dy) * cdelt2 * pi / 180
//   phi = atan2(X, -Y),  theta = atan(1 / hypot(X, Y))
//   alpha = alpha_p + atan2(-cos theta sin(phi - phi_p),
//                           sin theta cos_dp - cos theta sin_dp cos(phi - phi_p))
//   delta = asin(sin theta sin_dp + cos theta cos_dp cos(phi - phi_p))
// Both asin arguments are clamped to [-1, 1]: rounding can put them an ulp beyond.
// Sky -> pixel runs the same steps backwards and solves M d = (x / cdelt1, y / cdelt2)
// by Gauss-Jordan elimination with full pivoting. alpha is not folded into
// [0, 360): it lies within 180 degrees of alpha_p.
class CCS_TAN : public CCS {
  public:
    // See CCS: crpix (pixels), pc (M), cdelt (degrees per pixel), crval (degrees).
    CCS_TAN(FVector<double, 2> const& referencePixel, FMatrix<double, 2, 2> const& linear,
            FVector<double, 2> const& scale, FVector<double, 2> const& referenceWorld);
    CCS_TAN(CCS_TAN const&) = default;
    CCS_TAN& operator=(CCS_TAN const&) = default;
    ~CCS_TAN() override;

    FVector<double, 2> x_nc(FVector<double, 2> const& native) const override;
    FVector<double, 2> nc_(FVector<double, 2> const& pixel) const override;
    // Never throws.
    FVector<double, 2> solve(FVector<double, 2> const& pixel) const override;
    // Throws SingularMatrixException when M cannot be inverted: "Singular matrix in
    // Gauss-Jordan" (a zero pivot), "Could not find pivot" (no element qualifies as
    // the first pivot: a NaN matrix), "in Pivot of Gauss-Jordan" (the second step
    // finds no pivot and would choose the first column again).
    FVector<double, 2> solve_inv(FVector<double, 2> const& world) const override;
};

}  // namespace sci
