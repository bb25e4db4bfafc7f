#include "select/screening.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "select/flux_limits.h"
#include "select/work_pool.h"
#include "tests/select/literal_selection.h"

namespace {

using selection::CandidateScreen;
using selection::PixelBox;
using selection::SubfieldCandidates;

// What the randomized comparisons covered, so that a generator that stops
// producing the interesting cases shows up as a failure.
struct Coverage {
    int withManyCandidates = 0, withZeroDistance = 0, withTiedKeys = 0;
};

// Compares one subfield against the literal screening and ordering.
void expectSameAsLiteral(Coverage& coverage, CandidateScreen const& screen,
                         literal::Catalogue const& c, selection::ScreeningRules const& rules,
                         PixelBox const& box) {
    SCOPED_TRACE("box [" + std::to_string(box.x1) + ":" + std::to_string(box.x2) + "," +
                 std::to_string(box.y1) + ":" + std::to_string(box.y2) + "]");
    literal::Screened const ref = literal::screen(c, rules, box);
    SubfieldCandidates const got = screen.screenSubfield(box);
    ASSERT_EQ(got.testCounter, ref.testCounter);
    ASSERT_EQ(got.row, literal::visitOrder(ref, ref.testCounter - 1));
    for (size_t v = 0; v < got.row.size(); ++v) {
        EXPECT_EQ(got.closestDist[v], ref.closestDist[got.row[v] - 1]);
        EXPECT_EQ(got.closestFlux[v], ref.closestFlux[got.row[v] - 1]);
    }
    std::vector<float> dist(got.closestDist.begin(), got.closestDist.end());
    std::sort(dist.begin(), dist.end());
    coverage.withManyCandidates += ref.testCounter >= 5;
    coverage.withZeroDistance += !dist.empty() && dist[0] == 0.0f;
    auto const positive = std::upper_bound(dist.begin(), dist.end(), 0.0f);
    coverage.withTiedKeys += std::adjacent_find(positive, dist.end()) != dist.end();
}

// Small catalogues, every third far from the origin where float differences
// round, on the whole plane, 3 x 3 tiles of the field and a random box; then
// a few medium catalogues, where every subfield has many candidates.
TEST(CandidateScreen, EqualsTheLiteralScreeningOnRandomCataloguesFullOfTies) {
    std::mt19937 rng(31);
    Coverage coverage;
    double const thresholds[] = {0.0, 0.05, 0.3, 0.5, 0.9, 0.99, 1.0};
    for (unsigned seed = 1; seed <= 306; ++seed) {
        bool const isMedium = seed > 300;
        long long const origin = seed % 3 ? 0 : seed % 2 ? 3000000 : 16777216;
        literal::Catalogue const c = literal::randomCatalogue(
            isMedium ? 2500 : 1 + static_cast<int>(rng() % 120), seed, static_cast<float>(origin));
        double const a = thresholds[rng() % 7], b = thresholds[rng() % 7];
        selection::FluxLimits const f = selection::computeFluxLimits(
            literal::sortedFlux(c), std::min(a, b), std::max(a, b), thresholds[rng() % 7]);
        selection::ScreeningRules const rules{f.lower, f.upper, f.neighbour, rng() % 2 == 0,
                                              static_cast<int>(rng() % 3)};
        CandidateScreen const screen = literal::fastScreen(c, rules);
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::vector<PixelBox> boxes = {{origin - 100, origin + 100, origin - 100, origin + 100},
                                       {origin + 5, origin + 25, origin + 10, origin + 30}};
        for (long long i = 0; i < 3 && !isMedium; ++i)
            for (long long j = 0; j < 3; ++j)
                boxes.push_back({origin + 1 + 14 * i, origin + 14 + 14 * i, origin + 1 + 14 * j,
                                 origin + 14 + 14 * j});
        long long const x1 = origin - 2 + static_cast<long long>(rng() % 45);
        long long const y1 = origin - 2 + static_cast<long long>(rng() % 45);
        boxes.push_back({x1, x1 + static_cast<long long>(rng() % 20), y1,
                         y1 + static_cast<long long>(rng() % 20)});
        for (PixelBox const& box : boxes) expectSameAsLiteral(coverage, screen, c, rules, box);
        literal::Screened const all = literal::screen(c, rules, boxes[0]);
        for (size_t k = 0; k < c.x.size(); ++k) {
            ASSERT_EQ(screen.isCandidate(static_cast<int>(k) + 1), all.accepted[k] != 0) << k;
            ASSERT_EQ(screen.closestDist(static_cast<int>(k) + 1), all.closestDist[k]) << k;
        }
    }
    EXPECT_GT(coverage.withManyCandidates, 300);
    EXPECT_GT(coverage.withZeroDistance, 100);
    EXPECT_GT(coverage.withTiedKeys, 100);
}

// A catalogue large enough for the pool's threads to sort, build and search
// in parts gives the same screen as one thread: every row's neighbour and
// fate. Its positions repeat, so that distances tie and reach 0.
TEST(CandidateScreen, ThreadsOfAPoolGiveTheSameScreen) {
    literal::Catalogue const c = literal::randomCatalogue(120000, 15);
    selection::ScreeningRules const rules{1.0f, 90.0f, 0.0f, false, 0};
    CandidateScreen const one = literal::fastScreen(c, rules);
    selection::WorkPool pool(3);
    CandidateScreen const three = literal::fastScreen(c, rules, &pool);
    ASSERT_EQ(three.candidateCount(), one.candidateCount());
    int zero = 0;
    for (int row = 1; row <= one.rowCount(); ++row) {
        ASSERT_EQ(three.screenedFate(row), one.screenedFate(row)) << row;
        ASSERT_EQ(three.closestDist(row), one.closestDist(row)) << row;
        ASSERT_EQ(three.closestFlux(row), one.closestFlux(row)) << row;
        zero += one.isCandidate(row) && one.closestDist(row) == 0.0f;
    }
    EXPECT_GT(zero, 100);
    PixelBox const box{5, 30, 10, 25};
    EXPECT_EQ(three.screenSubfield(box, true).row, one.screenSubfield(box, true).row);
}

}  // namespace
