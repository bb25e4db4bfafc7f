// Test catalogues for the selection: a random generator full of ties
// (duplicates, grid positions with equal distances, clusters, repeated fluxes,
// signed zeros, rows outside the field, non-finite values, variable objects at
// and around catalogue positions).
// Rows 0-based in the vectors, 1-based in the arrays; positions in pixels.
#pragma once

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "tests/select/literal_selection.h"
#include "tests/support/arrays.h"

namespace fixture {

// The field of the random catalogues: 1..kFieldSize in x and y.
constexpr int kFieldSize = 40;

// A random catalogue of n rows. Positions: a quarter of them on the integer
// grid, some on a coarser grid (more equal distances), some on a 1/8 grid in
// clusters, some uniform, some duplicated from earlier rows, some outside the
// field; one row in 25 has a non-finite value. Fluxes from a few values,
// signed zeros and negatives included.
inline literal::Catalogue randomCatalogue(int n, unsigned seed) {
    std::mt19937 rng(seed);
    auto uniform = [&rng](double a, double b) {
        return std::uniform_real_distribution<double>(a, b)(rng);
    };
    auto pick = [&rng](int m) { return static_cast<int>(rng() % static_cast<unsigned>(m)); };
    float const inf = std::numeric_limits<float>::infinity();
    float const nan = std::numeric_limits<float>::quiet_NaN();
    float const fluxes[] = {-2.0f, -0.0f, 0.0f, 1.0f, 2.0f, 3.0f, 5.0f, 8.0f, 13.0f, 100.0f};

    literal::Catalogue c;
    float cx = 20.0f, cy = 20.0f;  // current cluster centre
    for (int k = 0; k < n; ++k) {
        float x = 0.0f;
        float y = 0.0f;
        int const kind = pick(10);
        if (kind < 3 || k == 0) {
            x = static_cast<float>(1 + pick(kFieldSize));
            y = static_cast<float>(1 + pick(kFieldSize));
        } else if (kind == 3) {
            x = static_cast<float>(4 * (1 + pick(kFieldSize / 4)));
            y = static_cast<float>(4 * (1 + pick(kFieldSize / 4)));
        } else if (kind == 4) {
            if (pick(4) == 0) {
                cx = static_cast<float>(uniform(1, kFieldSize));
                cy = static_cast<float>(uniform(1, kFieldSize));
            }
            x = cx + static_cast<float>(pick(9) - 4) * 0.125f;
            y = cy + static_cast<float>(pick(9) - 4) * 0.125f;
        } else if (kind == 5) {
            int const m = pick(k);
            x = c.x[m];
            y = c.y[m];
        } else if (kind == 6) {
            x = static_cast<float>(uniform(-10, kFieldSize + 10));
            y = static_cast<float>(pick(2) ? uniform(-10, 1)
                                           : uniform(kFieldSize, kFieldSize + 10));
        } else {
            x = static_cast<float>(uniform(0.5, kFieldSize + 0.5));
            y = static_cast<float>(uniform(0.5, kFieldSize + 0.5));
        }
        float flux = fluxes[pick(10)];
        if (pick(4) == 0) flux = static_cast<float>(uniform(0, 50));
        if (pick(25) == 0) {
            float const bad = pick(3) == 0 ? nan : (pick(2) ? inf : -inf);
            int const which = pick(3);
            (which == 0 ? x : which == 1 ? y : flux) = bad;
        }
        c.x.push_back(x);
        c.y.push_back(y);
        c.flux.push_back(flux);
        c.flag.push_back(pick(4));
    }
    c.useFlags = pick(2) == 0;
    c.flagLimit = pick(3);
    int const variables = pick(3) == 0 ? 0 : pick(8);
    for (int v = 0; v < variables; ++v) {
        int const m = pick(n);
        float const offsets[] = {0.0f, 0.5f, 1.0f, 1.01f, 2.0f};
        c.varX.push_back(c.x[m] + offsets[pick(5)]);
        c.varY.push_back(pick(6) == 0 ? nan : c.y[m]);
    }
    return c;
}

}  // namespace fixture
