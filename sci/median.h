// The median of a list of values, for the run's robust levels and spreads
// and the tools' sky estimates. No index base; the values' own units.
#pragma once

#include <vector>

namespace sci {

// The median of values (reordered in place): the middle value, or the mean
// of the middle two for an even count; NaN for no values.
double median(std::vector<double>& values);

// The median m of values and their median absolute deviation from it,
// median |v - m| (unscaled: callers turn it into a sigma); both NaN for no
// values.
struct MedianAndMad {
    double median;
    double mad;
};
MedianAndMad medianAndMad(std::vector<double> values);

}  // namespace sci
