// The selection's screening and ordering done the slow, literal way, and the
// random catalogues it is compared on: for every subfield the full neighbour
// scan of every row, the exchange sort of all N rows by isolation, and the
// visit of the last positions. O(N^2) per subfield.
// Rows 0-based in the vectors, 1-based in the visit lists; positions in pixels.
#pragma once

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "select/screening.h"
#include "tests/support/arrays.h"
#include "tests/support/exchange_sort.h"

namespace literal {

struct Catalogue {
    std::vector<float> x, y, flux;
    std::vector<int> flag;
    std::vector<float> varX, varY;
};

// The field of the random catalogues: origin + 1..kFieldSize in x and y.
constexpr int kFieldSize = 40;

// A random catalogue of n rows full of ties: positions on the integer grid, on
// a grid of step 4, in clusters on a 1/8 grid, uniform or duplicated from
// earlier rows, shifted by `origin` (far from 0 float differences round); one
// row in 25 has a non-finite value; fluxes from a few values, signed zeros and
// negatives included; variable objects at and around catalogue positions.
inline Catalogue randomCatalogue(int n, unsigned seed, float origin = 0) {
    std::mt19937 rng(seed);
    auto uniform = [&rng](double a, double b) {
        return static_cast<float>(std::uniform_real_distribution<double>(a, b)(rng));
    };
    auto pick = [&rng](int m) { return static_cast<int>(rng() % static_cast<unsigned>(m)); };
    float const bad[] = {std::numeric_limits<float>::quiet_NaN(),
                         std::numeric_limits<float>::infinity(),
                         -std::numeric_limits<float>::infinity()};
    float const fluxes[] = {-2.0f, -0.0f, 0.0f, 1.0f, 2.0f, 3.0f, 5.0f, 8.0f, 13.0f, 100.0f};
    Catalogue c;
    float cx = 20, cy = 20;  // the current cluster centre
    for (int k = 0; k < n; ++k) {
        int const kind = k == 0 ? 0 : pick(10);
        float x = uniform(0.5, kFieldSize + 0.5), y = uniform(0.5, kFieldSize + 0.5);
        if (kind < 4) {
            int const step = kind == 3 ? 4 : 1;
            x = static_cast<float>(step * (1 + pick(kFieldSize / step)));
            y = static_cast<float>(step * (1 + pick(kFieldSize / step)));
        } else if (kind == 4) {
            if (pick(4) == 0) cx = uniform(1, kFieldSize), cy = uniform(1, kFieldSize);
            x = cx + static_cast<float>(pick(9) - 4) * 0.125f;
            y = cy + static_cast<float>(pick(9) - 4) * 0.125f;
        } else if (kind == 5) {
            int const m = pick(k);
            x = c.x[m] - origin;
            y = c.y[m] - origin;
        }
        c.x.push_back(origin + x);
        c.y.push_back(origin + y);
        c.flux.push_back(pick(4) == 0 ? uniform(0, 50) : fluxes[pick(10)]);
        c.flag.push_back(pick(4));
        if (pick(25) == 0) {
            std::vector<float>* const column[] = {&c.x, &c.y, &c.flux};
            column[pick(3)]->back() = bad[pick(3)];
        }
    }
    float const offsets[] = {0.0f, 0.5f, 1.0f, 1.01f, 2.0f};
    for (int v = pick(3) == 0 ? 0 : pick(8); v > 0; --v) {
        int const m = pick(n);
        c.varX.push_back(c.x[m] + offsets[pick(5)]);
        c.varY.push_back(pick(6) == 0 ? bad[0] : c.y[m]);
    }
    return c;
}

// The library's screen of the same catalogue.
inline selection::CandidateScreen fastScreen(Catalogue const& c,
                                             selection::ScreeningRules const& rules,
                                             selection::WorkPool* pool = nullptr) {
    return selection::CandidateScreen(testsupport::toMArray(c.x), testsupport::toMArray(c.y),
                                      testsupport::toMArray(c.flux), testsupport::toMArray(c.flag),
                                      testsupport::toMArray(c.varX), testsupport::toMArray(c.varY),
                                      rules, pool);
}

inline bool takesPart(Catalogue const& c, size_t k) {
    return std::isfinite(c.x[k]) && std::isfinite(c.y[k]) && std::isfinite(c.flux[k]);
}

// The squared distance: the float differences squared and summed in double.
inline double squared(float ax, float ay, float bx, float by) {
    double const dx = ax - bx, dy = ay - by;
    return dx * dx + dy * dy;
}

// The fluxes of the rows that take part, in row order, sorted by the exchange
// sort itself.
inline std::vector<float> sortedFlux(Catalogue const& c) {
    std::vector<float> f;
    for (size_t k = 0; k < c.x.size(); ++k)
        if (takesPart(c, k)) f.push_back(c.flux[k]);
    std::vector<float> sorted;
    for (int k : testsupport::literalExchangeOrder(f)) sorted.push_back(f[k]);
    return sorted;
}

struct Screened {
    int testCounter = 0;
    std::vector<char> accepted;
    std::vector<float> closestDist, closestFlux;
};

// One subfield's screening, row by row, with the full neighbour scan.
inline Screened screen(Catalogue const& c, selection::ScreeningRules const& rules,
                       selection::PixelBox const& box) {
    size_t const n = c.x.size();
    Screened s;
    s.accepted.assign(n, 0);
    s.closestDist.assign(n, 0.0f);
    s.closestFlux.assign(n, 0.0f);
    for (size_t k = 0; k < n; ++k) {
        if (!takesPart(c, k) || c.x[k] < box.x1 || c.x[k] > box.x2 || c.y[k] < box.y1 ||
            c.y[k] > box.y2 || c.flux[k] < rules.lowerFlux || c.flux[k] > rules.upperFlux ||
            (rules.useFlags && c.flag[k] > rules.flagLimit))
            continue;
        bool nearVariable = false;
        for (size_t v = 0; v < c.varX.size(); ++v)
            nearVariable |= squared(c.x[k], c.y[k], c.varX[v], c.varY[v]) <= 1.0;
        double best = 1e99;
        float bestFlux = 0.0f;
        for (size_t m = 0; m < n; ++m) {
            if (m == k || !takesPart(c, m) || !(c.flux[m] >= rules.neighbourFlux)) continue;
            double const d2 = squared(c.x[k], c.y[k], c.x[m], c.y[m]);
            if (d2 < best) best = d2, bestFlux = c.flux[m];
        }
        if (nearVariable || !(bestFlux > 0.0f)) continue;
        s.accepted[k] = 1;
        s.closestDist[k] = static_cast<float>(std::sqrt(best));
        s.closestFlux[k] = bestFlux;
        ++s.testCounter;
    }
    return s;
}

// The accepted rows (1-based), at most maxVisits of them, in the order of
// their positions from N down after the exchange sort of all N rows by
// closest_dist.
inline std::vector<int> visitOrder(Screened const& s, int maxVisits) {
    std::vector<int> const sorted = testsupport::literalExchangeOrder(s.closestDist);
    std::vector<int> visit;
    for (size_t p = sorted.size(); p-- > 0 && static_cast<int>(visit.size()) < maxVisits;)
        if (s.accepted[sorted[p]]) visit.push_back(sorted[p] + 1);
    return visit;
}

}  // namespace literal
