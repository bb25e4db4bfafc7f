// ds9 region files for psfpick's selected stars: one circle per star in image
// coordinates (FITS pixels, the first pixel is 1, as ds9 counts them) or in
// fk5 sky coordinates (degrees, radius in arcseconds).
#pragma once

#include <ostream>
#include <string>

#include "tools/star_table.h"

namespace tools {

enum class RegionSystem { kImage, kFk5 };

struct RegionStyle {
    RegionSystem system = RegionSystem::kImage;
    double radius = 10;  // pixels for kImage, arcseconds for kFk5
    std::string color = "green";
    bool labels = true;  // text={id} on every circle
};

// Writes the header line, the global style, the coordinate system line and
// one "circle(...)" line per row.
void writeRegions(std::ostream& out, StarTable const& table, RegionStyle const& style);

// The pixel scale (arcseconds per pixel) implied by the table itself: the
// angular over the pixel distance of the two rows furthest apart among the
// extremes of x + y and x - y. Returns 0 when no two rows are at least
// kMinScaleBaseline pixels apart.
double tableScale(StarTable const& table);
constexpr double kMinScaleBaseline = 10.0;

}  // namespace tools
