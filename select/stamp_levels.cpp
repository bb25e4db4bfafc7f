#include "select/stamp_levels.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "sci/median.h"

namespace selection {

namespace {

bool usableError(float e) {
    return std::isfinite(e) && e > 0.0f;
}

bool usable(float v, float e) {
    return std::isfinite(v) && v != 0.0f && usableError(e);
}

}  // namespace

double FittedProfile::at(int i, int j) const {
    return atOffset_(i - xcen, j - ycen);
}

double FittedProfile::pixel(int i, int j) const {
    if (subsample <= 1) return at(i, j);
    double sum = 0;
    for (int k = 0; k < subsample; ++k)
        for (int l = 0; l < subsample; ++l)
            sum += atOffset_(i + (k + 0.5) / subsample - 0.5 - xcen,
                             j + (l + 0.5) / subsample - 0.5 - ycen);
    return sum / (static_cast<double>(subsample) * subsample);
}

double FittedProfile::atOffset_(double x, double y) const {
    double const c = std::cos(angle);
    double const s = std::sin(angle);
    double const u = xscale * (x * c + y * s);
    double const v = yscale * (y * c - x * s);
    return amplitude * std::pow(1.0 + u * u + v * v, -beta);
}

StampLevels measureStampLevels(sci::MArray<float, 2> const& image,
                               sci::MArray<float, 2> const& error, float dx, float dy,
                               FittedProfile const* fitted) {
    int const i1 = image.base(1), i2 = image.last(1);
    int const j1 = image.base(2), j2 = image.last(2);
    // The fitting disk of the profile fit, in its float arithmetic.
    float const r = (i2 - i1) * 0.5f;
    float const limit = (r + 1) * r;
    StampLevels levels;
    std::vector<double> edge, edgeError;
    std::vector<float> disk;
    long usableErrors = 0;
    for (int i = i1; i <= i2; ++i) {
        for (int j = j1; j <= j2; ++j) {
            float const v = image(i, j);
            float const e = error(i, j);
            if (usableError(e)) ++usableErrors;
            if (!usable(v, e)) continue;
            float const di = i - dx;
            float const dj = j - dy;
            if (di * di + dj * dj <= limit) {
                disk.push_back(v);
                if (std::isnan(levels.peak) || v > levels.peak) levels.peak = v;
            }
            if (i == i1 || i == i2 || j == j1 || j == j2) {
                edge.push_back(fitted != nullptr ? v - fitted->pixel(i, j) : v);
                edgeError.push_back(e);
            }
        }
    }
    if (levels.peak > 0) {
        float const top = kFlatTopLevel * levels.peak;
        levels.flatPixels = static_cast<int>(
            std::count_if(disk.begin(), disk.end(), [top](float v) { return v >= top; }));
    }
    levels.background = static_cast<float>(sci::median(edge));
    levels.backgroundError = static_cast<float>(sci::median(edgeError));
    long const pixels = static_cast<long>(i2 - i1 + 1) * (j2 - j1 + 1);
    levels.usableErrors = pixels > 0 ? static_cast<float>(usableErrors) / pixels : 0.0f;
    return levels;
}

}  // namespace selection
