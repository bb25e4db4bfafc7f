#include "select/flux_limits.h"

#include <algorithm>
#include <cmath>

#include "sci/parallel_sort.h"

namespace selection {

bool takesPart(float x, float y, float flux) {
    return std::isfinite(x) && std::isfinite(y) && std::isfinite(flux);
}

int catalogueRows(sci::MArray<float, 1> const& x) {
    return static_cast<int>(x.size());
}

bool rowTakesPart(sci::MArray<float, 1> const& x, sci::MArray<float, 1> const& y,
                  sci::MArray<float, 1> const& flux, int row) {
    if (row < 1 || row > x.size() || row > y.size() || row > flux.size()) return false;
    return takesPart(x(x.base() + row - 1), y(y.base() + row - 1), flux(flux.base() + row - 1));
}

std::vector<float> sortedParticipatingFlux(sci::MArray<float, 1> const& x,
                                           sci::MArray<float, 1> const& y,
                                           sci::MArray<float, 1> const& flux) {
    std::vector<float> inRowOrder;
    int const n = catalogueRows(x);
    for (int row = 1; row <= n; ++row)
        if (rowTakesPart(x, y, flux, row)) inRowOrder.push_back(flux(flux.base() + row - 1));
    std::vector<float> sorted = inRowOrder;
    std::sort(sorted.begin(), sorted.end());

    // Signs within the zero group: the group ends in the order the exchange
    // sort gives it, which depends on where the negative fluxes start.
    bool negativeZero = false;
    bool positiveZero = false;
    for (float f : inRowOrder)
        if (f == 0.0f) (std::signbit(f) ? negativeZero : positiveZero) = true;
    if (!(negativeZero && positiveZero)) return sorted;

    std::vector<int> member;
    std::vector<long> smallerAfter;
    long negatives = 0;
    for (int k = 0; k < static_cast<int>(inRowOrder.size()); ++k) {
        float const f = inRowOrder[k];
        if (f < 0.0f) {
            ++negatives;
            if (!member.empty()) ++smallerAfter.back();
        } else if (f == 0.0f) {
            member.push_back(k);
            smallerAfter.push_back(0);
        }
    }
    std::vector<int> const order = sci::exchangeSortGroupOrder(member, smallerAfter);
    for (size_t k = 0; k < order.size(); ++k)
        sorted[static_cast<size_t>(negatives) + k] = inRowOrder[order[k]];
    return sorted;
}

namespace {

// trunc(value) raised to 1 and lowered to n (n >= 1); NaN gives 1.
int clampedIndex(double value, int n) {
    double const t = std::trunc(value);
    if (!(t >= 1.0)) return 1;
    if (t >= static_cast<double>(n)) return n;
    return static_cast<int>(t);
}

}  // namespace

FluxLimits computeFluxLimits(std::vector<float> const& sortedFlux, double minThresh,
                             double maxThresh, double neighbourThresh) {
    int const n = static_cast<int>(sortedFlux.size());
    if (n == 0) return FluxLimits{0, 0, 0, 0.0f, 0.0f, 0.0f};
    double const count = static_cast<double>(n);
    FluxLimits limits{};
    limits.neighbourIndex = clampedIndex(neighbourThresh * count + 0.5, n);
    limits.lowerIndex = clampedIndex(minThresh * count - 0.5, n);
    limits.upperIndex = clampedIndex(count * maxThresh - 0.5, n);
    limits.neighbour = sortedFlux[limits.neighbourIndex - 1];
    limits.lower = sortedFlux[limits.lowerIndex - 1];
    limits.upper = sortedFlux[limits.upperIndex - 1];
    return limits;
}

void writeFluxLimits(std::ostream& out, FluxLimits const& limits) {
    out << "flux range of valid std stars:        " << limits.lower << "..." << limits.upper
        << '\n';
    out << "flux of brightest possible neighbour: " << limits.neighbour << '\n' << '\n';
}

}  // namespace selection
