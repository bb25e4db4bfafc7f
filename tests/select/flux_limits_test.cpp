#include "select/flux_limits.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>

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

// Indices trunc(min * N - 0.5), trunc(max * N - 0.5), trunc(neighbour * N +
// 0.5), raised to 1 and held at N; NaN thresholds give index 1.
TEST(FluxLimits, IndicesFromTheThresholds) {
    double const nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        int n;
        double minT, maxT, neighbourT;
        int lower, upper, neighbour;
    };
    for (Case const& c :
         {Case{1000, 0.90, 0.99, 0.0, 899, 989, 1}, Case{1, 0.9, 0.99, 0, 1, 1, 1},
          Case{10, 0.9, 0.99, 1.0, 8, 9, 10}, Case{10, 0.0, 1.0, 0.0, 1, 9, 1},
          Case{7, 1e300, 1e300, 1e300, 7, 7, 7}, Case{7, -1e300, -5, -INFINITY, 1, 1, 1},
          Case{7, nan, nan, nan, 1, 1, 1}}) {
        SCOPED_TRACE(std::to_string(c.n) + " " + std::to_string(c.minT));
        FluxLimits const f = computeFluxLimits(ramp(c.n), c.minT, c.maxT, c.neighbourT);
        EXPECT_EQ(std::vector<int>({f.lowerIndex, f.upperIndex, f.neighbourIndex}),
                  std::vector<int>({c.lower, c.upper, c.neighbour}));
        EXPECT_EQ(std::vector<float>({f.lower, f.upper, f.neighbour}),
                  std::vector<float>({static_cast<float>(c.lower), static_cast<float>(c.upper),
                                      static_cast<float>(c.neighbour)}));
    }
    FluxLimits const none = computeFluxLimits({}, 0.9, 0.99, 0);
    EXPECT_EQ(none.lowerIndex, 0);
    EXPECT_EQ(none.upper, 0.0f);
}

// Rows without finite values are left out; among equal keys -0 and 0 keep the
// order the exchange sort leaves them in (std::sort may swap them).
TEST(FluxLimits, SortedListEqualsTheExchangeSortIncludingSignedZeros) {
    for (unsigned seed = 1; seed <= 200; ++seed) {
        literal::Catalogue c = literal::randomCatalogue(1 + static_cast<int>(seed % 90), seed);
        std::vector<float> const got = selection::sortedParticipatingFlux(
            testsupport::toMArray(c.x), testsupport::toMArray(c.y), testsupport::toMArray(c.flux));
        std::vector<float> const expected = literal::sortedFlux(c);
        ASSERT_EQ(got, expected) << "seed " << seed;
        for (size_t k = 0; k < got.size(); ++k)
            ASSERT_EQ(std::signbit(got[k]), std::signbit(expected[k])) << seed << " " << k;
    }
}

TEST(FluxLimits, VerboseReport) {
    std::ostringstream out;
    selection::writeFluxLimits(out, FluxLimits{1, 899, 989, 0.5f, 899.25f, 1e6f});
    EXPECT_EQ(out.str(), std::string("flux range of valid std stars:        899.25...1e+06\n"
                                     "flux of brightest possible neighbour: 0.5\n"
                                     "\n"));
}

}  // namespace
