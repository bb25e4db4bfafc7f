// tools::Random: the pseudo-random numbers of the mock-field generator, written
// out in full (xoshiro256** seeded through splitmix64, Box-Muller normals,
// Poisson by multiplication or transformed rejection) so that one seed gives the
// same field with every C++ standard library. Only +, *, sqrt, log, exp, cos and
// floor of libm enter the samples.
#pragma once

#include <cstdint>

namespace tools {

class Random {
  public:
    explicit Random(uint64_t seed);

    // The next 64 raw bits (xoshiro256**).
    uint64_t nextBits();
    // Uniform in [0, 1), 53 random bits.
    double uniform();
    // Uniform in (0, 1): never exactly 0, so log() of it is finite.
    double uniformOpen();
    // Uniform in [lo, hi).
    double uniform(double lo, double hi) { return lo + (hi - lo) * uniform(); }
    // Standard normal deviate (Box-Muller; the second value of a pair is kept
    // for the next call).
    double normal();
    // Poisson deviate of the given mean (>= 0): counting uniforms whose
    // product stays above exp(-mean) for mean < kPoissonSplit, else the
    // transformed rejection with squeeze of W. Hoermann (1993), "The
    // transformed rejection method for generating Poisson random variables".
    long poisson(double mean);

    // The mean at which poisson() changes method.
    static constexpr double kPoissonSplit = 10.0;

  private:
    uint64_t s_[4];
    bool haveSpare_ = false;
    double spare_ = 0;
};

// ln(k!) for k >= 0: a table built by summing logarithms below 32, above it
// Stirling's series ln k! = k ln k - k + ln(2 pi k)/2 + 1/(12k) - 1/(360k^3)
// + 1/(1260k^5), accurate to 1e-15 relative there.
double logFactorial(long k);

}  // namespace tools
