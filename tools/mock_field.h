// Synthetic star fields with a known PSF for testing and benchmarking psfpick:
// an elliptical Moffat PSF that may vary linearly over the field, Poisson and
// read noise on a sky level that is subtracted again, saturation, bad columns,
// rows and pixels (value 0), close pairs and a TAN world-coordinate system.
// Positions are FITS pixels (the first pixel is 1); widths in pixels; angles in
// degrees at the interface; levels and fluxes in image units (ADU); gain in
// electrons per ADU; RA, DEC and CRVAL in degrees.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/moffat_render.h"

namespace tools {

struct MockConfig {
    long nx = 1024, ny = 1024;
    long sources = 2000;
    uint64_t seed = 1;

    // PSF at the field centre and its change across the whole field: a value
    // at (x, y) is v + slope_x (x - xc) / nx + slope_y (y - yc) / ny, with
    // (xc, yc) the field centre.
    double fwhm = 4.0;         // along the major axis, pixels
    double ellipticity = 0.1;  // 1 - minor / major, 0 <= e < 1
    double angle = 30.0;       // major axis from x toward y, degrees
    double beta = 2.9;
    std::vector<double> fwhmSlope{0, 0};
    std::vector<double> ellipticitySlope{0, 0};
    std::vector<double> angleSlope{0, 0};
    Sampling sampling = Sampling::kIntegrated;

    // Noise: the raw image is sky + stars in ADU, counted as Poisson electrons
    // (gain e-/ADU) plus Gaussian read noise (ADU); the sky is subtracted again.
    double sky = 1000.0;
    double gain = 2.0;
    double readNoise = 5.0;
    bool noiseless = false;  // write the model itself (no noise)

    // Fluxes follow N(> F) proportional to F^-fluxSlope within fluxRange.
    std::vector<double> fluxRange{1000.0, 3.0e6};
    double fluxSlope = 0.6;
    double saturation = 60000.0;  // raw level (sky included) at which pixels clip

    double pairFraction = 0.05;                    // fraction of sources in close pairs
    std::vector<double> pairSeparation{1.5, 3.0};  // companion distance, in fwhm

    long badColumns = 2;
    long badRows = 1;
    double badPixelFraction = 1e-4;  // isolated bad pixels per pixel

    // World coordinates: reference point at the image centre.
    std::vector<double> crval{202.47, 47.20};  // RA, DEC of the centre, degrees
    double pixelScale = 0.4;                   // arcseconds per pixel
    double rotation = 0.0;                     // CROTA2, degrees
    bool cdeltForm = false;                    // CDELT/CROTA2 cards instead of CD
};

// One source as generated.
struct MockSource {
    long id = 0;
    double x = 0, y = 0;  // true centre
    double flux = 0;      // true total flux
    MoffatShape shape;    // its PSF (angle in radians)
    long partner = 0;     // id of the other pair member, 0 when single
    bool saturated = false;
    double peak = 0;            // peak of the noiseless profile above the sky
    double catX = 0, catY = 0;  // catalogue (measured) position
    double catFlux = 0;         // catalogue (measured) flux
    double ra = 0, dec = 0;     // sky position of the catalogue position
    double classStar = 0;
};

// The PSF at a field position (x, y); the shape's angle is in radians.
MoffatShape mockShapeAt(MockConfig const& c, double x, double y);

// The truth convention shared with psfpick's fit: the axis nearest to x first,
// angle in [-45, 45] degrees. Returns fwhm1, fwhm2, angle (degrees).
void psfAxes(MoffatShape const& shape, double& fwhm1, double& fwhm2, double& angleDeg);

// A finished field: noisy sky-subtracted image, error image, bad-pixel mask
// already applied (0 in both), the sources and the header cards of its
// images (tools/mock_files.h writes them).
struct MockField {
    long nx = 0, ny = 0;
    std::vector<float> image;
    std::vector<float> error;
    std::vector<MockSource> sources;
    std::vector<std::string> headerCards;  // WCS and description cards
    long badPixels = 0;                    // pixels set to 0
};

// Builds the field of config c (deterministic for a given seed). Throws
// ToolError for an inconsistent configuration.
MockField makeMockField(MockConfig const& c);

}  // namespace tools
