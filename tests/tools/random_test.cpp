// The mock generator's random numbers: reproducibility, and the moments of
// the uniform, normal and Poisson deviates against their distributions.
#include "tools/random.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/support/float_compare.h"

namespace {

constexpr int kDraws = 200000;
// Sample means and variances of kDraws deviates scatter by about
// sigma / sqrt(kDraws); 5 of those is a bound no correct generator crosses
// in practice, while a wrong mean or variance misses it by far.
constexpr double kMomentSigmas = 5.0;

TEST(Random, SameSeedSameSequenceOtherSeedOther) {
    tools::Random a(42), b(42), c(43);
    int same = 0;
    for (int i = 0; i < 1000; ++i) {
        uint64_t const x = a.nextBits();
        EXPECT_EQ(x, b.nextBits());
        same += x == c.nextBits() ? 1 : 0;
    }
    EXPECT_EQ(same, 0);
}

TEST(Random, UniformStaysInItsInterval) {
    tools::Random r(7);
    double sum = 0;
    for (int i = 0; i < kDraws; ++i) {
        double const u = r.uniform();
        ASSERT_GE(u, 0.0);
        ASSERT_LT(u, 1.0);
        ASSERT_GT(r.uniformOpen(), 0.0);
        sum += u;
    }
    // Mean 1/2, standard deviation sqrt(1/12).
    EXPECT_NEAR(sum / kDraws, 0.5, kMomentSigmas * std::sqrt(1.0 / 12.0 / kDraws));
}

TEST(Random, NormalHasZeroMeanAndUnitVariance) {
    tools::Random r(11);
    double sum = 0, sum2 = 0;
    for (int i = 0; i < kDraws; ++i) {
        double const z = r.normal();
        sum += z;
        sum2 += z * z;
    }
    double const mean = sum / kDraws;
    EXPECT_NEAR(mean, 0.0, kMomentSigmas / std::sqrt(kDraws));
    // The variance estimate has standard deviation sqrt(2 / n).
    EXPECT_NEAR(sum2 / kDraws - mean * mean, 1.0, kMomentSigmas * std::sqrt(2.0 / kDraws));
}

// Both methods (below and above the split), including the means where the
// transformed rejection starts, and a large one like a sky of 1000 e-.
TEST(Random, PoissonMeanAndVarianceEqualTheMean) {
    for (double const mean : {0.3, 4.0, 9.99, 10.0, 37.5, 2000.0}) {
        tools::Random r(static_cast<uint64_t>(mean * 1000));
        double sum = 0, sum2 = 0;
        for (int i = 0; i < kDraws; ++i) {
            long const k = r.poisson(mean);
            ASSERT_GE(k, 0);
            sum += static_cast<double>(k);
            sum2 += static_cast<double>(k) * static_cast<double>(k);
        }
        double const m = sum / kDraws;
        double const var = sum2 / kDraws - m * m;
        EXPECT_NEAR(m, mean, kMomentSigmas * std::sqrt(mean / kDraws)) << "mean " << mean;
        // Var of the sample variance of a Poisson: (mean + 2 mean^2) / n.
        EXPECT_NEAR(var, mean, kMomentSigmas * std::sqrt((mean + 2 * mean * mean) / kDraws))
            << "mean " << mean;
    }
}

// The probability of k = 0 checks the small-mean method's lower tail exactly.
TEST(Random, PoissonZeroAndNonPositiveMeans) {
    tools::Random r(5);
    EXPECT_EQ(r.poisson(0.0), 0);
    EXPECT_EQ(r.poisson(-3.0), 0);
    int zeros = 0;
    for (int i = 0; i < kDraws; ++i) zeros += r.poisson(1.0) == 0 ? 1 : 0;
    double const p = std::exp(-1.0);
    EXPECT_NEAR(zeros / static_cast<double>(kDraws), p,
                kMomentSigmas * std::sqrt(p * (1 - p) / kDraws));
}

// Reference: the literal sum of logarithms.
TEST(Random, LogFactorialMatchesTheSumOfLogarithms) {
    constexpr double kSeriesTolerance = 1e-13;  // relative; Stirling's series to 1/k^5
    double sum = 0;
    for (long k = 0; k <= 400; ++k) {
        if (k > 0) sum += std::log(static_cast<double>(k));
        EXPECT_CLOSE(tools::logFactorial(k), sum, kSeriesTolerance) << "k = " << k;
    }
}

}  // namespace
