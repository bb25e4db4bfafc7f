#include "select/screening.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>

#include "select/isolation_order.h"

namespace selection {

namespace {

// The neighbour search starts from this squared distance (pixels^2) and a
// neighbour flux of 0: a row farther than sqrt(1e99) pixels is never a
// neighbour (no two finite float positions are that far apart).
constexpr double kNoNeighbourDistance2 = 1e99;

// A variable object rejects a row within this squared distance (pixels^2).
constexpr double kVariableRadius2 = 1.0;

// Below this many elements a sort or a loop runs on one thread: the rest of
// the work is smaller than starting the others.
constexpr size_t kParallelElements = 65536;

float element(sci::MArray<float, 1> const& a, int row0) {
    return a(a.base() + row0);
}

// slotOfRow_ of a row that is no candidate.
int fateCode(Fate f) {
    return -1 - fateIndex(f);
}

}  // namespace

ScreeningRules screeningRules(FluxLimits const& limits, int flagColumn, int flagLimit) {
    return ScreeningRules{limits.lower, limits.upper, limits.neighbour, flagColumn > 0, flagLimit};
}

namespace {

// Sorts v by less, a strict total order (no two elements equivalent). With a
// pool, v is first split in place at its medians (nth_element), to a part
// per thread or more, and the parts are sorted on its threads: no element of
// a part belongs before one of an earlier part, so the order is the one
// sort gives.
template <class T, class Less>
void sortInParts(std::vector<T>& v, WorkPool* pool, Less less) {
    if (pool == nullptr || pool->threads() < 2 || v.size() < kParallelElements) {
        std::sort(v.begin(), v.end(), less);
        return;
    }
    using Iterator = typename std::vector<T>::iterator;
    std::vector<std::pair<Iterator, Iterator>> parts = {{v.begin(), v.end()}};
    while (static_cast<int>(parts.size()) < pool->threads()) {
        std::vector<std::pair<Iterator, Iterator>> halves;
        for (auto const& [first, last] : parts) {
            Iterator const mid = first + (last - first) / 2;
            std::nth_element(first, mid, last, less);
            halves.push_back({first, mid});
            halves.push_back({mid, last});
        }
        parts.swap(halves);
    }
    pool->forEach(static_cast<int>(parts.size()), [&](int k) {
        std::sort(parts[static_cast<size_t>(k)].first, parts[static_cast<size_t>(k)].second, less);
    });
}

// The neighbour tree: one point per distinct position of the rows that may be
// neighbours (rows of part with flux >= neighbourFlux). Rows at one position
// are at distance 0 from each other and at the same distance from any other
// row, so a position needs only its first two rows: the first, and the second
// for when the first is the row being screened. Positions compare equal as
// floats (-0 equals +0: their differences to any position are equal too).
PointTree neighbourTree(std::vector<int> const& part, std::vector<float> const& px,
                        std::vector<float> const& py, std::vector<float> const& pf,
                        float neighbourFlux, WorkPool* pool) {
    struct Placed {
        float x, y;
        int row;
    };
    std::vector<Placed> neighbour;
    for (int r : part)
        if (pf[r] >= neighbourFlux) neighbour.push_back(Placed{px[r], py[r], r});
    // Rows are distinct, so the order is total and any sort gives it.
    sortInParts(neighbour, pool, [](Placed const& a, Placed const& b) {
        if (a.x != b.x) return a.x < b.x;
        if (a.y != b.y) return a.y < b.y;
        return a.row < b.row;
    });
    std::vector<float> nx, ny;
    std::vector<int> first, second;
    for (size_t k = 0; k < neighbour.size(); ++k) {
        Placed const& p = neighbour[k];
        if (k > 0 && neighbour[k - 1].x == p.x && neighbour[k - 1].y == p.y) {
            if (second.back() == PointTree::kNoTag) second.back() = p.row;
            continue;
        }
        nx.push_back(p.x);
        ny.push_back(p.y);
        first.push_back(p.row);
        second.push_back(PointTree::kNoTag);
    }
    return PointTree(nx, ny, first, second, pool);
}

// A Z-order (Morton) key of each position: x and y scaled to 16 bits over
// their range, bits interleaved. Nearby positions mostly get nearby keys.
std::vector<uint32_t> spatialKeys(std::vector<float> const& x, std::vector<float> const& y) {
    std::vector<uint32_t> key(x.size(), 0);
    if (x.empty()) return key;
    auto const [minX, maxX] = std::minmax_element(x.begin(), x.end());
    auto const [minY, maxY] = std::minmax_element(y.begin(), y.end());
    double const x0 = *minX;
    double const y0 = *minY;
    double const sx = *maxX > *minX ? 65535.0 / (static_cast<double>(*maxX) - x0) : 0.0;
    double const sy = *maxY > *minY ? 65535.0 / (static_cast<double>(*maxY) - y0) : 0.0;
    auto spread = [](uint32_t v) {
        v = (v | (v << 8)) & 0x00FF00FFu;
        v = (v | (v << 4)) & 0x0F0F0F0Fu;
        v = (v | (v << 2)) & 0x33333333u;
        v = (v | (v << 1)) & 0x55555555u;
        return v;
    };
    for (size_t k = 0; k < x.size(); ++k) {
        uint32_t const ix = static_cast<uint32_t>(std::min(65535.0, (x[k] - x0) * sx));
        uint32_t const iy = static_cast<uint32_t>(std::min(65535.0, (y[k] - y0) * sy));
        key[k] = spread(ix) | (spread(iy) << 1);
    }
    return key;
}

}  // namespace

CandidateScreen::CandidateScreen(sci::MArray<float, 1> const& x, sci::MArray<float, 1> const& y,
                                 sci::MArray<float, 1> const& flux, sci::MArray<int, 1> const& flag,
                                 sci::MArray<float, 1> const& varX,
                                 sci::MArray<float, 1> const& varY, ScreeningRules const& rules,
                                 WorkPool* pool)
    : rowCount_(catalogueRows(x)) {
    int const n = rowCount_;
    // Rows that take part, in row order (0-based rows).
    std::vector<int> part;
    std::vector<float> px(static_cast<size_t>(n)), py(static_cast<size_t>(n)),
        pf(static_cast<size_t>(n));
    for (int r = 0; r < n; ++r) {
        if (!rowTakesPart(x, y, flux, r + 1)) continue;
        px[r] = element(x, r);
        py[r] = element(y, r);
        pf[r] = element(flux, r);
        part.push_back(r);
    }

    // The box-independent tests before the neighbour search.
    auto inBand = [&](int r) { return !(pf[r] < rules.lowerFlux || pf[r] > rules.upperFlux); };
    auto passesFlags = [&](int r) {
        return !rules.useFlags || (r < flag.size() && flag(flag.base() + r) <= rules.flagLimit);
    };
    std::vector<int> query;
    for (int r : part)
        if (inBand(r) && passesFlags(r)) query.push_back(r);
    std::vector<float> qx, qy;
    for (int r : query) {
        qx.push_back(px[r]);
        qy.push_back(py[r]);
    }
    std::vector<char> nearVariable;
    findVariables_(qx, qy, nearVariable, varX, varY);

    // The neighbour searches, in an order that keeps nearby queries together
    // (the results do not depend on it; the tree's memory is then walked
    // with far fewer cache misses).
    PointTree const neighbours = neighbourTree(part, px, py, pf, rules.neighbourFlux, pool);
    std::vector<int> searchOrder;
    for (size_t k = 0; k < query.size(); ++k)
        if (!nearVariable[k]) searchOrder.push_back(static_cast<int>(k));
    std::vector<uint32_t> const key = spatialKeys(qx, qy);
    std::sort(searchOrder.begin(), searchOrder.end(),
              [&key](int a, int b) { return key[a] < key[b] || (key[a] == key[b] && a < b); });
    std::vector<PointTree::Nearest> found(query.size(), PointTree::Nearest{0.0, PointTree::kNoTag});
    auto search = [&](size_t from, size_t to) {
        for (size_t s = from; s < to; ++s) {
            int const k = searchOrder[s];
            int const r = query[k];
            found[k] = neighbours.nearest(px[r], py[r], r, kNoNeighbourDistance2);
        }
    };
    // Each search writes only its own result: with a pool, a run of
    // consecutive searches per task.
    size_t const searches = searchOrder.size();
    if (pool != nullptr && pool->threads() > 1 && searches >= kParallelElements) {
        int const tasks = 4 * pool->threads();
        pool->forEach(tasks, [&](int t) {
            size_t const parts = static_cast<size_t>(tasks);
            search(searches * static_cast<size_t>(t) / parts,
                   searches * static_cast<size_t>(t + 1) / parts);
        });
    } else {
        search(0, searches);
    }

    // The fate of every row that is no query; then the queries'. (Set here,
    // after the searches, so that the memory they need does not add to it.)
    slotOfRow_.assign(static_cast<size_t>(n), fateCode(Fate::kNotANumber));
    for (int r : part) {
        if (!inBand(r))
            slotOfRow_[r] = fateCode(Fate::kFluxBand);
        else if (!passesFlags(r))
            slotOfRow_[r] = fateCode(Fate::kFlags);
    }
    // Candidates: a nearest neighbour with a flux above 0.
    std::vector<float> cx, cy;
    for (size_t k = 0; k < query.size(); ++k) {
        if (nearVariable[k]) {
            slotOfRow_[query[k]] = fateCode(Fate::kNearVariable);
            continue;
        }
        PointTree::Nearest const& best = found[k];
        float const bestFlux = best.tag == PointTree::kNoTag ? 0.0f : pf[best.tag];
        int const r = query[k];
        if (!(bestFlux > 0.0f)) {
            slotOfRow_[r] = fateCode(Fate::kNotIsolated);
            continue;
        }
        slotOfRow_[r] = static_cast<int>(candidateRow_.size());
        candidateRow_.push_back(r);
        candidateDist_.push_back(static_cast<float>(std::sqrt(best.d2)));
        candidateFlux_.push_back(bestFlux);
        cx.push_back(px[r]);
        cy.push_back(py[r]);
    }
    std::vector<int> slot(candidateRow_.size());
    std::iota(slot.begin(), slot.end(), 0);
    candidates_ = PointTree(cx, cy, slot);
}

// nearVariable[k] = 1 when a variable object lies within one pixel of
// (x[k], y[k]). Variable positions that are not finite never reject (their
// distance is inf or NaN) and are left out of the tree.
void CandidateScreen::findVariables_(std::vector<float> const& x, std::vector<float> const& y,
                                     std::vector<char>& nearVariable,
                                     sci::MArray<float, 1> const& varX,
                                     sci::MArray<float, 1> const& varY) const {
    nearVariable.assign(x.size(), 0);
    std::vector<float> vx, vy;
    long const nv = std::min(varX.size(), varY.size());
    for (int v = 0; v < nv; ++v) {
        float const a = element(varX, v);
        float const b = element(varY, v);
        if (!std::isfinite(a) || !std::isfinite(b)) continue;
        vx.push_back(a);
        vy.push_back(b);
    }
    if (vx.empty()) return;
    PointTree const variables(vx, vy, std::vector<int>(vx.size(), 0));
    for (size_t k = 0; k < x.size(); ++k)
        nearVariable[k] = variables.anyWithin(x[k], y[k], kVariableRadius2) ? 1 : 0;
}

std::vector<int> CandidateScreen::candidateRows() const {
    std::vector<int> rows;
    rows.reserve(candidateRow_.size());
    for (int r : candidateRow_) rows.push_back(r + 1);
    return rows;
}

bool CandidateScreen::isCandidate(int row) const {
    return row >= 1 && row <= rowCount_ && slotOfRow_[row - 1] >= 0;
}

Fate CandidateScreen::screenedFate(int row) const {
    if (isCandidate(row)) return Fate::kNotVisited;
    if (row < 1 || row > rowCount_) return Fate::kNotANumber;
    return static_cast<Fate>(-1 - slotOfRow_[row - 1]);
}

float CandidateScreen::closestDist(int row) const {
    return isCandidate(row) ? candidateDist_[slotOfRow_[row - 1]] : 0.0f;
}

float CandidateScreen::closestFlux(int row) const {
    return isCandidate(row) ? candidateFlux_[slotOfRow_[row - 1]] : 0.0f;
}

SubfieldCandidates CandidateScreen::screenSubfield(PixelBox const& searchBox,
                                                   bool everyCandidate) const {
    // The float comparison x < sx1 converts the integer bound to float.
    float const x1 = static_cast<float>(searchBox.x1);
    float const x2 = static_cast<float>(searchBox.x2);
    float const y1 = static_cast<float>(searchBox.y1);
    float const y2 = static_cast<float>(searchBox.y2);
    std::vector<int> slot;
    candidates_.tagsInBox(x1, x2, y1, y2, slot);
    std::sort(slot.begin(), slot.end());

    SubfieldCandidates result;
    result.testCounter = static_cast<int>(slot.size());
    std::vector<int> row;
    std::vector<float> key;
    row.reserve(slot.size());
    key.reserve(slot.size());
    for (int s : slot) {
        row.push_back(candidateRow_[s]);
        key.push_back(candidateDist_[s]);
    }
    int const listed = everyCandidate ? result.testCounter : result.visitLimit();
    std::vector<int> const visit = isolationVisitOrder(row, key, rowCount_, listed);
    for (int v : visit) {
        int const s = slot[v];
        result.row.push_back(candidateRow_[s] + 1);
        result.closestDist.push_back(candidateDist_[s]);
        result.closestFlux.push_back(candidateFlux_[s]);
    }
    return result;
}

void writeTestCounter(std::ostream& out, int testCounter, int number) {
    out << "test_counter=" << testCounter << '\n';
    if (testCounter < number) writeNotEnoughStars(out, "test_counter", testCounter, number);
}

void writeNotEnoughStars(std::ostream& out, char const* countName, int count, int number) {
    out << "warning: not enough stars-> lower min_thresh or increase max_thresh!!!\n";
    out << "  " << countName << '=' << count << '\n';
    out << "  P.number=" << number << "\n\n";
}

}  // namespace selection
