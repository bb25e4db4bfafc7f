#include "tools/image_scale.h"

#include <cmath>

#include "sci/fits_header.h"
#include "sci/header_wcs.h"

namespace tools {

namespace {
constexpr double kArcsecPerDegree = 3600.0;
}

double imagePixelScale(std::string const& path) {
    sci::FitsHeader const header(path, sci::CardWarnings::kQuiet);
    sci::TanWcs const wcs = sci::readHeaderTanWcs(header, path);
    // C(i, j) = cdelt_i pc(i, j), so det C = cdelt_1 cdelt_2 det pc.
    double const detPc = wcs.pc(1, 1) * wcs.pc(2, 2) - wcs.pc(1, 2) * wcs.pc(2, 1);
    return std::sqrt(std::fabs(wcs.cdelt(1) * wcs.cdelt(2) * detPc)) * kArcsecPerDegree;
}

}  // namespace tools
