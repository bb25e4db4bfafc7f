#include "tools/ds9_regions.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "sci/angles.h"

namespace tools {

namespace {

using sci::kDegToRad;
constexpr double kArcsecPerDegree = 3600.0;

// Angular distance (degrees) by the haversine formula, sound at small angles:
// hav(d) = hav(ddec) + cos dec1 cos dec2 hav(dra).
double angularDistance(double ra1, double dec1, double ra2, double dec2) {
    double const sdec = std::sin(0.5 * (dec2 - dec1) * kDegToRad);
    double const sra = std::sin(0.5 * (ra2 - ra1) * kDegToRad);
    double const h =
        sdec * sdec + std::cos(dec1 * kDegToRad) * std::cos(dec2 * kDegToRad) * sra * sra;
    return 2.0 * std::asin(std::sqrt(std::min(1.0, h))) / kDegToRad;
}

std::string number(char const* format, double v) {
    char text[64];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

}  // namespace

void writeRegions(std::ostream& out, StarTable const& table, RegionStyle const& style) {
    out << "# Region file format: DS9 version 4.1\n";
    out << "global color=" << style.color
        << " dashlist=8 3 width=1 font=\"helvetica 10 normal roman\" select=1 highlite=1 dash=0 "
           "fixed=0 edit=1 move=1 delete=1 include=1 source=1\n";
    bool const fk5 = style.system == RegionSystem::kFk5;
    out << (fk5 ? "fk5\n" : "image\n");
    for (StarRow const& r : table.rows) {
        if (fk5)
            out << "circle(" << number("%.8f", r.ra) << "," << number("%.8f", r.dec) << ","
                << number("%.4f", style.radius) << "\")";
        else
            out << "circle(" << number("%.4f", r.x) << "," << number("%.4f", r.y) << ","
                << number("%.4f", style.radius) << ")";
        if (style.labels) out << " # text={" << r.id << "}";
        out << "\n";
    }
}

double tableScale(StarTable const& table) {
    if (table.rows.size() < 2) return 0;
    // Rows at the extremes of x + y and x - y span the field's diagonals.
    size_t ext[4] = {0, 0, 0, 0};
    for (size_t i = 1; i < table.rows.size(); ++i) {
        StarRow const& r = table.rows[i];
        auto const& rows = table.rows;
        if (r.x + r.y < rows[ext[0]].x + rows[ext[0]].y) ext[0] = i;
        if (r.x + r.y > rows[ext[1]].x + rows[ext[1]].y) ext[1] = i;
        if (r.x - r.y < rows[ext[2]].x - rows[ext[2]].y) ext[2] = i;
        if (r.x - r.y > rows[ext[3]].x - rows[ext[3]].y) ext[3] = i;
    }
    double best = 0, scale = 0;
    for (int a = 0; a < 4; ++a)
        for (int b = a + 1; b < 4; ++b) {
            StarRow const& p = table.rows[ext[a]];
            StarRow const& q = table.rows[ext[b]];
            double const pixels = std::hypot(p.x - q.x, p.y - q.y);
            if (pixels > best) {
                best = pixels;
                scale = angularDistance(p.ra, p.dec, q.ra, q.dec) * kArcsecPerDegree / pixels;
            }
        }
    return best >= kMinScaleBaseline ? scale : 0;
}

}  // namespace tools
