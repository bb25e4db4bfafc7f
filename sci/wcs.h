// sci::WCS<N>: the linear part of a world coordinate system of N axes: reference
// pixel, linear transformation of pixel offsets and scale per axis.
// Index base 1 for axes and matrix elements; pixels follow the FITS convention
// (the first pixel is 1). Units: crpix in pixels, pc without unit, cdelt in
// degrees per pixel.
#pragma once

#include <cstddef>

#include "sci/fvector.h"

namespace sci {

// Projection-plane offset of pixel p, axis i (degrees):
//   x_i = cdelt_i * sum_j pc(i, j) * (p_j - crpix_j)
// The celestial systems derived from this class apply it; WCS itself only holds
// the three parts and has no virtual operations.
template <std::size_t N>
class WCS {
  public:
    WCS(FVector<double, N> const& referencePixel, FMatrix<double, N, N> const& linear,
        FVector<double, N> const& scale)
        : crpix(referencePixel), pc(linear), cdelt(scale) {}

    FVector<double, N> const& getCrpix() const { return crpix; }
    FMatrix<double, N, N> const& getPc() const { return pc; }
    FVector<double, N> const& getCdelt() const { return cdelt; }

  protected:
    // Not deleted through a WCS pointer: the destructor is not virtual.
    ~WCS() = default;
    WCS(WCS const&) = default;
    WCS& operator=(WCS const&) = default;

    FVector<double, N> crpix;  // reference pixel (p1, ..., pN), pixels
    FMatrix<double, N, N> pc;  // linear transformation M of pixel offsets
    FVector<double, N> cdelt;  // scale per axis, degrees per pixel
};

}  // namespace sci
