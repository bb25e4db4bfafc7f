// Rendering of elliptical Moffat stars into an image buffer for the mock
// fields. Positions are FITS pixels (the first pixel is 1, pixel i covers
// i - 0.5 .. i + 0.5); the buffer is row-major with x fastest: element
// (y - 1) * nx + (x - 1) is pixel (x, y). Widths in pixels, angles in radians,
// fluxes and values in image units (ADU).
#pragma once

#include <cstddef>
#include <vector>

namespace tools {

// The shape of one star: I(u, v) = A (1 + (u/alpha1)^2 + (v/alpha2)^2)^(-beta)
// with u along the first axis (at angle from the x axis toward y) and v across
// it. The width at half maximum along an axis is
//   fwhm = 2 alpha sqrt(2^(1/beta) - 1)   (from I = A/2),
// and the flux is A pi alpha1 alpha2 / (beta - 1) (beta > 1).
struct MoffatShape {
    double fwhm1 = 4;   // along the first axis, pixels
    double fwhm2 = 4;   // along the second axis, pixels
    double angle = 0;   // first axis from x toward y, radians
    double beta = 2.9;  // power-law index, > 1
};

// alpha of an axis from its width at half maximum (pixels).
double moffatAlpha(double fwhm, double beta);
// Peak value A of a star of the given total flux.
double moffatPeak(MoffatShape const& shape, double flux);
// The value at offset (dx, dy) from the centre (pixels) of a star of peak A.
double moffatValue(MoffatShape const& shape, double peak, double dx, double dy);
// The fraction of the flux of a circular profile (alpha1 = alpha2 = alpha)
// within radius r: 1 - (1 + r^2/alpha^2)^(1 - beta).
double moffatEnclosed(double alpha, double beta, double r);

// How the model is turned into pixel values.
enum class Sampling {
    kIntegrated,  // the mean over the pixel's area (a detector pixel)
    kCentre,      // the value at the pixel's centre (what a fit of the model sees)
};

// A star rendered onto a pixel grid: the half side of the box it touches
// is the radius at which the profile along its wider axis falls to `floor`,
// at least 2 fwhm and at most maxRadius.
int renderRadius(MoffatShape const& shape, double peak, double floor, int maxRadius);

// Adds the star (centre xc, yc in FITS pixels, total flux) to the nx * ny
// buffer within the box of half side radius around the nearest pixel; pixels
// outside the image are skipped. With kIntegrated each pixel gets its mean
// over the pixel area by Gauss-Legendre quadrature: 3 x 3 nodes within 1.5
// fwhm of the centre, 2 x 2 within 2.5 fwhm, the centre value beyond.
// Returns the sum added to the buffer.
double addMoffatStar(std::vector<float>& image, long nx, long ny, double xc, double yc, double flux,
                     MoffatShape const& shape, int radius, Sampling sampling);

}  // namespace tools
