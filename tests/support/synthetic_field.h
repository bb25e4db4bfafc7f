// Synthetic star fields for the end-to-end tests: circular Moffat stars of
// known position and flux on deterministic Gaussian noise, the TAN header
// cards of the field, and its catalogue. Positions in FITS pixels (first
// pixel = 1); pixel (x, y) of an nx-wide field at index (y - 1) * nx + (x - 1).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

struct FieldStar {
    int id;
    double x, y;  // true centre, pixels
    double flux;  // total flux
    int flag;
    double classStar;
};

// Gaussian deviates of unit variance from a 64-bit LCG and the Box-Muller
// transform: the same numbers on every platform and standard library.
class GaussianNoise {
  public:
    explicit GaussianNoise(uint64_t seed) : state_(seed) {}
    double next();
    // A uniform deviate in (lo, hi) from the same stream.
    double uniform(double lo = 0.0, double hi = 1.0);

  private:
    uint64_t step_();
    uint64_t state_;
};

// The pixels of an nx x ny field: sky + sigma * noise, plus every star as a
// round MoffatStar of width fwhm and its total flux.
std::vector<double> moffatField(int nx, int ny, std::vector<FieldStar> const& stars, double fwhm,
                                double beta, double sigma, double sky, uint64_t seed);

// Header cards of a TAN projection: reference (crval1, crval2) degrees at pixel
// (crpix, crpix), CD1_1 = -scale and CD2_2 = scale degrees per pixel.
std::vector<std::string> tanCards(double crval1, double crval2, double crpix, double scale);

// The catalogue of the stars in psfpick's default columns: a '#' header line,
// then "id x y 0 0 flux flag class_star" per star (x, y with one decimal).
std::string catalogueText(std::vector<FieldStar> const& stars);

}  // namespace testsupport
