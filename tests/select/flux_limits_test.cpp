#include "select/flux_limits.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <sstream>
#include <string>

#include "tests/select/catalogue_fixture.h"
#include "tests/select/literal_selection.h"

namespace {

using selection::computeFluxLimits;
using selection::FluxLimits;

// Fluxes 1..n: the flux at index i is i, so fluxes show the indices.
std::vector<float> ramp(int n) {
    std::vector<float> v;
    for (int i = 1; i <= n; ++i) v.push_back(static_cast<float>(i));
    return v;
}

TEST(FluxLimits, IndicesFromTheThresholds) {
    // Defaults with N = 1000: trunc(0.5) = 0 -> 1, trunc(899.5) = 899,
    // trunc(989.5) = 989.
    FluxLimits const d = computeFluxLimits(ramp(1000), 0.90, 0.99, 0.00);
    EXPECT_EQ(d.neighbourIndex, 1);
    EXPECT_EQ(d.lowerIndex, 899);
    EXPECT_EQ(d.upperIndex, 989);
    EXPECT_EQ(d.neighbour, 1.0f);
    EXPECT_EQ(d.lower, 899.0f);
    EXPECT_EQ(d.upper, 989.0f);
    // max_thresh 0.99 with N = 1: trunc(0.49) = 0, raised to 1.
    EXPECT_EQ(computeFluxLimits(ramp(1), 0.9, 0.99, 0).upperIndex, 1);
    // neighbour_thresh 1.0 with N = 10: trunc(10.5) = 10, the brightest.
    FluxLimits const top = computeFluxLimits(ramp(10), 0.9, 0.99, 1.0);
    EXPECT_EQ(top.neighbourIndex, 10);
    EXPECT_EQ(top.neighbour, 10.0f);
    // Quantiles 0 and 1: trunc(-0.5) = 0 -> 1 and trunc(N - 0.5) = N - 1.
    FluxLimits const ends = computeFluxLimits(ramp(10), 0.0, 1.0, 0.0);
    EXPECT_EQ(ends.lowerIndex, 1);
    EXPECT_EQ(ends.upperIndex, 9);
}

TEST(FluxLimits, OutOfRangeAndNaNThresholdsStayInsideTheList) {
    double const nan = std::numeric_limits<double>::quiet_NaN();
    FluxLimits const huge = computeFluxLimits(ramp(7), 1e300, 1e300, 1e300);
    EXPECT_EQ(huge.neighbourIndex, 7);
    EXPECT_EQ(huge.lowerIndex, 7);
    EXPECT_EQ(huge.upperIndex, 7);
    FluxLimits const negative = computeFluxLimits(ramp(7), -1e300, -5, -INFINITY);
    EXPECT_EQ(negative.neighbourIndex, 1);
    EXPECT_EQ(negative.lowerIndex, 1);
    EXPECT_EQ(negative.upperIndex, 1);
    FluxLimits const notANumber = computeFluxLimits(ramp(7), nan, nan, nan);
    EXPECT_EQ(notANumber.neighbourIndex, 1);
    EXPECT_EQ(notANumber.lowerIndex, 1);
    EXPECT_EQ(notANumber.upperIndex, 1);
    FluxLimits const none = computeFluxLimits({}, 0.9, 0.99, 0);
    EXPECT_EQ(none.lowerIndex, 0);
    EXPECT_EQ(none.upper, 0.0f);
}

TEST(FluxLimits, SortedListEqualsTheExchangeSortIncludingSignedZeros) {
    for (unsigned seed = 1; seed <= 200; ++seed) {
        literal::Catalogue c = fixture::randomCatalogue(1 + static_cast<int>(seed % 90), seed);
        std::vector<float> const got = selection::sortedParticipatingFlux(
            fixture::toArray(c.x), fixture::toArray(c.y), fixture::toArray(c.flux));
        std::vector<float> const expected = literal::sortedFlux(c);
        ASSERT_EQ(got.size(), expected.size()) << "seed " << seed;
        for (size_t k = 0; k < got.size(); ++k) {
            ASSERT_EQ(got[k], expected[k]) << "seed " << seed << " index " << k;
            ASSERT_EQ(std::signbit(got[k]), std::signbit(expected[k]))
                << "seed " << seed << " index " << k;
        }
    }
}

TEST(FluxLimits, SignOfZeroFollowsTheExchangeSort) {
    // Exchange sort of 0, -0, -1: i=1 moves -1 to the front (0 goes to the
    // end), then -0 and 0 stay: -1, -0, 0. std::sort may give -1, 0, -0.
    sci::MArray<float, 1> const xy = fixture::toArray(std::vector<float>{1, 2, 3});
    std::vector<float> const got = selection::sortedParticipatingFlux(
        xy, xy, fixture::toArray(std::vector<float>{0.0f, -0.0f, -1.0f}));
    ASSERT_EQ(got.size(), 3u);
    EXPECT_TRUE(std::signbit(got[1]));
    EXPECT_FALSE(std::signbit(got[2]));
}

TEST(FluxLimits, RowsWithoutFiniteValuesAreLeftOut) {
    float const nan = std::numeric_limits<float>::quiet_NaN();
    float const inf = std::numeric_limits<float>::infinity();
    std::vector<float> const got = selection::sortedParticipatingFlux(
        fixture::toArray(std::vector<float>{1, nan, 3, 4, 5}),
        fixture::toArray(std::vector<float>{1, 2, inf, 4, 5}),
        fixture::toArray(std::vector<float>{50, 40, 30, -inf, 10}));
    EXPECT_EQ(got, (std::vector<float>{10, 50}));
}

TEST(FluxLimits, VerboseReport) {
    std::ostringstream out;
    selection::writeFluxLimits(out, FluxLimits{1, 899, 989, 0.5f, 899.25f, 1e6f});
    EXPECT_EQ(out.str(), std::string("flux range of valid std stars:        899.25...1e+06\n"
                                     "flux of brightest possible neighbour: 0.5\n"
                                     "\n"));
}

}  // namespace
