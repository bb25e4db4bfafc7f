// The mock generator's random numbers: the moments of the uniform, normal and
// Poisson deviates against their distributions.
#include "tools/random.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

constexpr int kDraws = 200000;
// Sample means and variances of kDraws deviates scatter by about
// sigma / sqrt(kDraws); 5 of those no correct generator crosses in practice.
constexpr double kSigmas = 5.0;

// Mean and variance of kDraws draws.
struct Moments {
    double mean, var;
};
Moments moments(std::function<double()> const& draw) {
    double sum = 0, sum2 = 0;
    for (int i = 0; i < kDraws; ++i) {
        double const v = draw();
        sum += v;
        sum2 += v * v;
    }
    double const mean = sum / kDraws;
    return {mean, sum2 / kDraws - mean * mean};
}

// Uniform: in [0, 1) (open: in (0, 1)), mean 1/2 with deviation sqrt(1/12);
// normal: mean 0, variance 1 (the variance estimate scatters by sqrt(2 / n)).
TEST(Random, UniformAndNormalMoments) {
    tools::Random r(7);
    Moments const u = moments([&] {
        double const v = r.uniform(), open = r.uniformOpen();
        EXPECT_TRUE(v >= 0.0 && v < 1.0 && open > 0.0 && open < 1.0) << v << " " << open;
        return v;
    });
    EXPECT_NEAR(u.mean, 0.5, kSigmas * std::sqrt(1.0 / 12.0 / kDraws));
    tools::Random n(11);
    Moments const z = moments([&] { return n.normal(); });
    EXPECT_NEAR(z.mean, 0.0, kSigmas / std::sqrt(kDraws));
    EXPECT_NEAR(z.var, 1.0, kSigmas * std::sqrt(2.0 / kDraws));
}

// Both methods (below and above the split), the means where the transformed
// rejection starts, and a large one like a sky of 1000 e-; the sample
// variance of a Poisson scatters by sqrt((mean + 2 mean^2) / n).
TEST(Random, PoissonMeanAndVarianceEqualTheMean) {
    for (double const mean : {0.3, 4.0, 9.99, 10.0, 37.5, 2000.0}) {
        SCOPED_TRACE(mean);
        tools::Random r(static_cast<uint64_t>(mean * 1000));
        long lowest = 0;
        Moments const m = moments([&] {
            long const k = r.poisson(mean);
            lowest = std::min(lowest, k);
            return static_cast<double>(k);
        });
        EXPECT_EQ(lowest, 0);
        EXPECT_NEAR(m.mean, mean, kSigmas * std::sqrt(mean / kDraws));
        EXPECT_NEAR(m.var, mean, kSigmas * std::sqrt((mean + 2 * mean * mean) / kDraws));
    }
    // P(k = 0) = exp(-1) checks the small-mean method's lower tail exactly.
    tools::Random r(5);
    EXPECT_EQ(r.poisson(0.0), 0);
    EXPECT_EQ(r.poisson(-3.0), 0);
    double const p = std::exp(-1.0);
    EXPECT_NEAR(moments([&] { return r.poisson(1.0) == 0 ? 1.0 : 0.0; }).mean, p,
                kSigmas * std::sqrt(p * (1 - p) / kDraws));
}

}  // namespace
