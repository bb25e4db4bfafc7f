#include "tools/random.h"

#include <array>
#include <cmath>

namespace tools {

namespace {

constexpr double kTwoPi = 6.283185307179586;  // the double nearest to 2 pi
constexpr int kFactorialTable = 32;           // ln k! tabulated for k < 32

uint64_t rotl(uint64_t x, int k) {
    return (x << k) | (x >> (64 - k));
}

// splitmix64: spreads one seed over the four state words (never all zero).
uint64_t splitmix64(uint64_t& state) {
    uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

std::array<double, kFactorialTable> makeFactorialTable() {
    std::array<double, kFactorialTable> t{};
    t[0] = 0.0;
    for (int k = 1; k < kFactorialTable; ++k) t[k] = t[k - 1] + std::log(static_cast<double>(k));
    return t;
}

}  // namespace

double logFactorial(long k) {
    static std::array<double, kFactorialTable> const table = makeFactorialTable();
    if (k < kFactorialTable) return table[static_cast<size_t>(k < 0 ? 0 : k)];
    double const x = static_cast<double>(k);
    double const inv = 1.0 / x;
    double const inv2 = inv * inv;
    return x * std::log(x) - x + 0.5 * std::log(kTwoPi * x) +
           inv * (1.0 / 12.0 - inv2 * (1.0 / 360.0 - inv2 / 1260.0));
}

Random::Random(uint64_t seed) {
    uint64_t state = seed;
    for (uint64_t& word : s_) word = splitmix64(state);
}

uint64_t Random::nextBits() {
    uint64_t const result = rotl(s_[1] * 5, 7) * 9;
    uint64_t const t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = rotl(s_[3], 45);
    return result;
}

// The top 53 bits scaled by 2^-53.
double Random::uniform() {
    return static_cast<double>(nextBits() >> 11) * 0x1.0p-53;
}

double Random::uniformOpen() {
    double u = 0;
    do u = uniform();
    while (u == 0.0);
    return u;
}

// Box-Muller: with u1 in (0, 1) and u2 in [0, 1), r = sqrt(-2 ln u1) and
// angle 2 pi u2, r cos(angle) and r sin(angle) are independent N(0, 1); the
// sine is taken as cos(angle - pi/2) so that only cos enters.
double Random::normal() {
    if (haveSpare_) {
        haveSpare_ = false;
        return spare_;
    }
    double const r = std::sqrt(-2.0 * std::log(uniformOpen()));
    double const angle = kTwoPi * uniform();
    spare_ = r * std::cos(angle - 0.25 * kTwoPi);
    haveSpare_ = true;
    return r * std::cos(angle);
}

long Random::poisson(double mean) {
    if (!(mean > 0.0)) return 0;
    if (mean < kPoissonSplit) {
        // k = the number of uniforms whose running product stays above exp(-mean).
        double const limit = std::exp(-mean);
        double product = uniform();
        long k = 0;
        while (product > limit) {
            ++k;
            product *= uniform();
        }
        return k;
    }
    // PTRS: a transformed-rejection proposal k = floor((2a/us + b) U + mean +
    // 0.43) with U uniform in [-1/2, 1/2), us = 1/2 - |U|; the squeeze accepts
    // most proposals at once, the rest against the Poisson log-probability.
    double const slam = std::sqrt(mean);
    double const loglam = std::log(mean);
    double const b = 0.931 + 2.53 * slam;
    double const a = -0.059 + 0.02483 * b;
    double const invalpha = 1.1239 + 1.1328 / (b - 3.4);
    double const vr = 0.9277 - 3.6224 / (b - 2.0);
    while (true) {
        double const U = uniform() - 0.5;
        double const V = uniform();
        double const us = 0.5 - std::fabs(U);
        double const kf = std::floor((2.0 * a / us + b) * U + mean + 0.43);
        if (us >= 0.07 && V <= vr) return static_cast<long>(kf);
        if (kf < 0.0 || (us < 0.013 && V > us)) continue;
        long const k = static_cast<long>(kf);
        if (std::log(V) + std::log(invalpha) - std::log(a / (us * us) + b) <=
            -mean + kf * loglam - logFactorial(k))
            return k;
    }
}

}  // namespace tools
