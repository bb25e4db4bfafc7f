#include "sci/median.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace sci {

double median(std::vector<double>& values) {
    size_t const n = values.size();
    if (n == 0) return std::numeric_limits<double>::quiet_NaN();
    auto const middle = values.begin() + static_cast<long>(n / 2);
    std::nth_element(values.begin(), middle, values.end());
    double const upper = *middle;
    if (n % 2 == 1) return upper;
    double const lower = *std::max_element(values.begin(), middle);
    return 0.5 * (lower + upper);
}

MedianAndMad medianAndMad(std::vector<double> values) {
    double const m = median(values);
    for (double& v : values) v = std::fabs(v - m);
    return {m, median(values)};
}

}  // namespace sci
