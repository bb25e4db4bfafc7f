// The selection's screening and ordering done the slow, literal way: for every
// subfield the full neighbour scan of every row, the exchange sort of all N
// rows by isolation, and the visit of the last positions. O(N^2) per subfield.
// The reference the fast library code is compared with (tests and benchmark).
// Rows 0-based inside, 1-based in the visit lists; positions in pixels.
#pragma once

#include <cmath>
#include <vector>

#include "tests/support/exchange_sort.h"

namespace literal {

struct Catalogue {
    std::vector<float> x, y, flux;
    std::vector<int> flag;
    bool useFlags = false;
    int flagLimit = 0;
    std::vector<float> varX, varY;
};

struct Limits {
    float lower, upper, neighbour;
};

struct Box {
    long long x1, x2, y1, y2;
};

inline bool takesPart(Catalogue const& c, int k) {
    return std::isfinite(c.x[k]) && std::isfinite(c.y[k]) && std::isfinite(c.flux[k]);
}

// The fluxes of the rows that take part, in row order, sorted by the exchange
// sort itself.
inline std::vector<float> sortedFlux(Catalogue const& c) {
    std::vector<float> f;
    for (size_t k = 0; k < c.x.size(); ++k)
        if (takesPart(c, static_cast<int>(k))) f.push_back(c.flux[k]);
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
inline Screened screen(Catalogue const& c, Limits const& lim, Box const& box) {
    int const n = static_cast<int>(c.x.size());
    Screened s;
    s.accepted.assign(static_cast<size_t>(n), 0);
    s.closestDist.assign(static_cast<size_t>(n), 0.0f);
    s.closestFlux.assign(static_cast<size_t>(n), 0.0f);
    for (int k = 0; k < n; ++k) {
        if (!takesPart(c, k)) continue;
        if (c.x[k] < static_cast<float>(box.x1) || c.x[k] > static_cast<float>(box.x2) ||
            c.y[k] < static_cast<float>(box.y1) || c.y[k] > static_cast<float>(box.y2))
            continue;
        bool nearVariable = false;
        for (size_t v = 0; v < c.varX.size() && !nearVariable; ++v) {
            float const dx = c.x[k] - c.varX[v];
            double const dx2 = static_cast<double>(dx) * static_cast<double>(dx);
            if (dx2 <= 1.0) {
                float const dy = c.y[k] - c.varY[v];
                if (dx2 + static_cast<double>(dy) * static_cast<double>(dy) <= 1.0)
                    nearVariable = true;
            }
        }
        if (nearVariable) continue;
        if (c.flux[k] < lim.lower || c.flux[k] > lim.upper) continue;
        if (c.useFlags && c.flag[k] > c.flagLimit) continue;
        double best = 1e99;
        float bestFlux = 0.0f;
        for (int m = 0; m < n; ++m) {
            if (m == k || !takesPart(c, m) || !(c.flux[m] >= lim.neighbour)) continue;
            float const dx = c.x[k] - c.x[m];
            double const dx2 = static_cast<double>(dx) * static_cast<double>(dx);
            if (dx2 < best) {
                float const dy = c.y[k] - c.y[m];
                double const d2 = dx2 + static_cast<double>(dy) * static_cast<double>(dy);
                if (d2 < best) {
                    best = d2;
                    bestFlux = c.flux[m];
                }
            }
        }
        if (!(bestFlux > 0.0f)) continue;
        s.accepted[k] = 1;
        s.closestDist[k] = static_cast<float>(std::sqrt(best));
        s.closestFlux[k] = bestFlux;
        ++s.testCounter;
    }
    return s;
}

// The rows in the order the exchange sort of all N rows by closest_dist
// leaves them (row ids moving along with the key), first position first.
inline std::vector<int> sortedRows(Screened const& s) {
    return testsupport::literalExchangeOrder(s.closestDist);
}

// The accepted rows in the order of their positions from N down, at most
// testCounter - 1 of them (1-based rows).
inline std::vector<int> visitedAccepted(Screened const& s, std::vector<int> const& sorted) {
    std::vector<int> visit;
    int const n = static_cast<int>(sorted.size());
    for (int p = n - 1; p >= 0 && static_cast<int>(visit.size()) < s.testCounter - 1; --p)
        if (s.accepted[sorted[p]]) visit.push_back(sorted[p] + 1);
    return visit;
}

}  // namespace literal
