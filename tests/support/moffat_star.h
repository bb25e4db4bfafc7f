// The Moffat profile that the synthetic stars of the tests are made of: an
// elliptical profile of known shape on a tilted background plane. Positions
// and widths in pixels (any origin: the caller's coordinates), angles in
// radian, values in image units.
#pragma once

#include <cmath>

namespace testsupport {

// I(x, y) = background + slopeX x + slopeY y + amplitude (1 + u^2 + v^2)^-beta,
//   u = scale(fwhm1) (dx cos angle + dy sin angle),
//   v = scale(fwhm2) (dy cos angle - dx sin angle),  dx = x - cx, dy = y - cy:
// widths at half maximum fwhm1 along the axis at angle (from x toward y) and
// fwhm2 across it.
struct MoffatStar {
    double amplitude = 1000.0, fwhm1 = 3.0, fwhm2 = 3.0, angle = 0.0, beta = 2.9;
    double cx = 0.0, cy = 0.0, background = 0.0, slopeX = 0.0, slopeY = 0.0;

    // The inverse width 1/alpha of a width at half maximum: 2 sqrt(2^(1/beta) - 1) / fwhm.
    double scale(double fwhm) const {
        return 2.0 * std::sqrt(std::pow(2.0, 1.0 / beta) - 1.0) / fwhm;
    }

    // The amplitude of a round star of width fwhm1 and total flux:
    // flux = amplitude pi alpha^2 / (beta - 1).
    double amplitudeOfFlux(double flux) const {
        return flux * (beta - 1.0) * scale(fwhm1) * scale(fwhm1) / M_PI;
    }

    double value(double x, double y) const {
        double const dx = x - cx, dy = y - cy;
        double const u = scale(fwhm1) * (dx * std::cos(angle) + dy * std::sin(angle));
        double const v = scale(fwhm2) * (dy * std::cos(angle) - dx * std::sin(angle));
        return background + slopeX * x + slopeY * y +
               amplitude * std::pow(1.0 + u * u + v * v, -beta);
    }
};

}  // namespace testsupport
