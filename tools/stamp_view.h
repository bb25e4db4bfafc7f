// The PNG view of a psfpick selection: the field at a readable asinh stretch
// (downsampled when large) with the selected stars circled and the subfield
// grid drawn as psfpick divides the field, beside a contact sheet of the
// stars' stamps, each stretched on its own. Positions are FITS pixels (the
// first pixel is 1); the image is row-major with x fastest (fits_image.h).
#pragma once

#include <string>
#include <vector>

#include "tools/canvas.h"
#include "tools/fits_image.h"
#include "tools/star_table.h"

namespace tools {

// Display limits of an asinh stretch: values map to
//   t = asinh((v - lo) / soft) / asinh((hi - lo) / soft), clamped to [0, 1].
struct Stretch {
    double lo = 0, hi = 1, soft = 1;
    // 0..255 grey level of v.
    int grey(double v) const;
};

// lo and hi are the loPct and hiPct percentiles (0..100) of a sample of at
// most maxSample non-zero values; soft is kSoftNoise background noise values
// (1.4826 MAD) but at least kSoftMinFraction (hi - lo). Without non-zero
// values the stretch is 0..1.
Stretch percentileStretch(std::vector<float> const& values, double loPct, double hiPct,
                          size_t maxSample);
constexpr double kSoftNoise = 2.0;
constexpr double kSoftMinFraction = 1e-3;

// The subfield grid as psfpick cuts the field: the box 1..nx, 1..ny less
// border on each side, dx = (width) / nfx by integer division, subfield i
// spanning lower + (i-1) dx .. lower + i dx - 1 (pixels beyond nfx dx belong
// to none). Returns the x (or y) bounds of each subfield, inclusive.
std::vector<std::pair<long, long>> subfieldBounds(long n, long border, long parts);

struct ViewOptions {
    long nfieldsX = 1, nfieldsY = 1;
    long border = 0;
    int stampHalf = 12;      // stamp half side, pixels (psfpick's boxlen)
    int maxOverview = 1024;  // longest side of the overview, display pixels
    double loPct = 1.0, hiPct = 99.8;
    double circleRadius = 10;  // image pixels
    int maxStamps = 400;       // stamps on the contact sheet at most
    bool labels = true;        // ids beside the circles
    std::string title;
};

// Downsampling (f >= 1) and enlargement (u >= 1) of the overview: f =
// ceil(longest side / maxOverview); small images (longest side below
// kMinOverview) are enlarged by u = ceil(kMinOverview / longest side).
void overviewFactors(long nx, long ny, int maxOverview, int& f, int& u);
constexpr int kMinOverview = 700;

Canvas renderView(FloatImage const& image, StarTable const& table, ViewOptions const& options);

}  // namespace tools
