#include "select/screening.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>

#include "select/flux_limits.h"
#include "select/subfield_grid.h"
#include "tests/select/catalogue_fixture.h"
#include "tests/select/literal_selection.h"

namespace {

using selection::CandidateScreen;
using selection::PixelBox;
using selection::ScreeningRules;
using selection::SubfieldCandidates;

CandidateScreen makeScreen(literal::Catalogue const& c, literal::Limits const& lim) {
    ScreeningRules const rules{lim.lower, lim.upper, lim.neighbour, c.useFlags, c.flagLimit};
    return CandidateScreen(fixture::toArray(c.x), fixture::toArray(c.y), fixture::toArray(c.flux),
                           fixture::toArray(c.flag), fixture::toArray(c.varX),
                           fixture::toArray(c.varY), rules);
}

// What the randomized comparisons covered, so that a generator that stops
// producing the interesting cases shows up as a failure.
struct Coverage {
    int subfields = 0;
    int withManyCandidates = 0;  // testCounter >= 5
    int withZeroDistance = 0;    // an accepted row at distance 0
    int withTiedKeys = 0;        // two accepted rows with equal positive distance
};

// Compares one subfield against the literal screening and ordering.
void expectSameAsLiteral(Coverage& coverage, CandidateScreen const& screen,
                         literal::Catalogue const& c, literal::Limits const& lim,
                         PixelBox const& box) {
    SCOPED_TRACE("box [" + std::to_string(box.x1) + ":" + std::to_string(box.x2) + "," +
                 std::to_string(box.y1) + ":" + std::to_string(box.y2) + "]");
    literal::Screened const ref = literal::screen(c, lim, {box.x1, box.x2, box.y1, box.y2});
    std::vector<int> const sorted = literal::sortedRows(ref);
    SubfieldCandidates const got = screen.screenSubfield(box);

    ASSERT_EQ(got.testCounter, ref.testCounter);
    std::vector<int> const expected = literal::visitedAccepted(ref, sorted);
    ASSERT_EQ(got.row, expected);
    bool anyAtZero = false;
    for (size_t k = 0; k < ref.accepted.size(); ++k)
        if (ref.accepted[k] && ref.closestDist[k] == 0.0f) anyAtZero = true;
    // Without accepted rows at distance 0 the visited rows are exactly the
    // last testCounter - 1 positions of the sorted catalogue.
    std::vector<float> positive;
    for (size_t k = 0; k < ref.accepted.size(); ++k)
        if (ref.accepted[k] && ref.closestDist[k] > 0.0f) positive.push_back(ref.closestDist[k]);
    std::sort(positive.begin(), positive.end());
    ++coverage.subfields;
    if (ref.testCounter >= 5) ++coverage.withManyCandidates;
    if (anyAtZero) ++coverage.withZeroDistance;
    if (std::adjacent_find(positive.begin(), positive.end()) != positive.end())
        ++coverage.withTiedKeys;
    if (!anyAtZero) {
        EXPECT_EQ(got.row, literal::visitedPositions(ref, sorted));
    }
    for (size_t v = 0; v < got.row.size(); ++v) {
        int const k = got.row[v] - 1;
        EXPECT_EQ(got.closestDist[v], ref.closestDist[k]);
        EXPECT_EQ(got.closestFlux[v], ref.closestFlux[k]);
    }
}

literal::Limits randomLimits(literal::Catalogue const& c, std::mt19937& rng) {
    double const thresholds[] = {0.0, 0.05, 0.3, 0.5, 0.9, 0.99, 1.0};
    auto pick = [&rng, &thresholds]() { return thresholds[rng() % 7]; };
    double const a = pick();
    double const b = pick();
    selection::FluxLimits const f = selection::computeFluxLimits(
        literal::sortedFlux(c), std::min(a, b), std::max(a, b), pick());
    return {f.lower, f.upper, f.neighbour};
}

TEST(CandidateScreen, EqualsTheLiteralScreeningOnRandomCataloguesFullOfTies) {
    std::mt19937 rng(31);
    Coverage coverage;
    for (unsigned seed = 1; seed <= 300; ++seed) {
        int const n = 1 + static_cast<int>(rng() % 120);
        literal::Catalogue const c = fixture::randomCatalogue(n, seed);
        literal::Limits const lim = randomLimits(c, rng);
        CandidateScreen const screen = makeScreen(c, lim);
        SCOPED_TRACE("seed " + std::to_string(seed));
        // The whole plane, a 3 x 3 grid of the field, and a random box.
        expectSameAsLiteral(coverage, screen, c, lim, {-100, 100, -100, 100});
        std::ostringstream err;
        selection::SubfieldGrid const grid({1, fixture::kFieldSize, 1, fixture::kFieldSize}, 3, 3,
                                           0, err);
        for (int i = 1; i <= 3; ++i)
            for (int j = 1; j <= 3; ++j)
                expectSameAsLiteral(coverage, screen, c, lim, grid.searchBox(i, j, 0));
        long long const x1 = static_cast<long long>(rng() % 45) - 2;
        long long const y1 = static_cast<long long>(rng() % 45) - 2;
        expectSameAsLiteral(coverage, screen, c, lim,
                            {x1, x1 + static_cast<long long>(rng() % 20), y1,
                             y1 + static_cast<long long>(rng() % 20)});
    }
    EXPECT_GT(coverage.withManyCandidates, 300);
    EXPECT_GT(coverage.withZeroDistance, 100);
    EXPECT_GT(coverage.withTiedKeys, 100);
}

TEST(CandidateScreen, EqualsTheLiteralScreeningOnMediumCatalogues) {
    std::mt19937 rng(5);
    Coverage coverage;
    for (unsigned seed = 1000; seed < 1006; ++seed) {
        literal::Catalogue const c = fixture::randomCatalogue(2500, seed);
        literal::Limits const lim = randomLimits(c, rng);
        CandidateScreen const screen = makeScreen(c, lim);
        SCOPED_TRACE("seed " + std::to_string(seed));
        expectSameAsLiteral(coverage, screen, c, lim, {-100, 100, -100, 100});
        expectSameAsLiteral(coverage, screen, c, lim, {5, 25, 10, 30});
    }
    EXPECT_EQ(coverage.withManyCandidates, coverage.subfields);
    EXPECT_GT(coverage.withZeroDistance, 5);
    EXPECT_GT(coverage.withTiedKeys, 5);
}

TEST(CandidateScreen, PerRowIsolationEqualsTheLiteralNeighbourScan) {
    for (unsigned seed = 50; seed < 80; ++seed) {
        literal::Catalogue const c = fixture::randomCatalogue(400, seed);
        literal::Limits const lim{-1e30f, 1e30f, static_cast<float>(seed % 4)};
        CandidateScreen const screen = makeScreen(c, lim);
        literal::Screened const ref = literal::screen(c, lim, {-1000, 1000, -1000, 1000});
        EXPECT_EQ(screen.rowCount(), 400);
        EXPECT_EQ(screen.candidateCount(), ref.testCounter);
        for (int k = 0; k < 400; ++k) {
            ASSERT_EQ(screen.isCandidate(k + 1), ref.accepted[k] != 0) << "row " << k + 1;
            EXPECT_EQ(screen.closestDist(k + 1), ref.closestDist[k]);
            EXPECT_EQ(screen.closestFlux(k + 1), ref.closestFlux[k]);
        }
    }
}

// Coordinates far from the origin, where float differences round: the
// pruning must not lose the neighbour that wins after rounding.
TEST(CandidateScreen, LargeCoordinatesWithRoundedDifferences) {
    std::mt19937 rng(77);
    Coverage coverage;
    for (int trial = 0; trial < 40; ++trial) {
        literal::Catalogue c;
        float const base = trial % 2 ? 16777216.0f : 3.0e6f;
        for (int k = 0; k < 300; ++k) {
            c.x.push_back(base + static_cast<float>(rng() % 64) * 0.75f);
            c.y.push_back(base + static_cast<float>(rng() % 64) * 1.25f);
            c.flux.push_back(static_cast<float>(1 + rng() % 5));
        }
        literal::Limits const lim{1.0f, 5.0f, 2.0f};
        CandidateScreen const screen = makeScreen(c, lim);
        long long const b = static_cast<long long>(base);
        expectSameAsLiteral(coverage, screen, c, lim, {b, b + 100, b, b + 100});
        expectSameAsLiteral(coverage, screen, c, lim, {b + 10, b + 30, b, b + 60});
    }
    EXPECT_GT(coverage.withManyCandidates, 20);
    EXPECT_GT(coverage.withTiedKeys, 5);
}

struct Row {
    float x, y, flux;
};

literal::Catalogue catalogueOf(std::vector<Row> const& rows) {
    literal::Catalogue c;
    for (Row const& r : rows) {
        c.x.push_back(r.x);
        c.y.push_back(r.y);
        c.flux.push_back(r.flux);
        c.flag.push_back(0);
    }
    return c;
}

constexpr literal::Limits kAllFluxes{-1e30f, 1e30f, -1e30f};
constexpr PixelBox kEverywhere{-1000, 1000, -1000, 1000};

TEST(CandidateScreen, TheOnlyObjectHasNoNeighbourAndIsRejected) {
    literal::Catalogue const c = catalogueOf({{10, 10, 5}});
    CandidateScreen const screen = makeScreen(c, kAllFluxes);
    SubfieldCandidates const got = screen.screenSubfield(kEverywhere);
    EXPECT_EQ(got.testCounter, 0);
    EXPECT_TRUE(got.row.empty());
    EXPECT_FALSE(screen.isCandidate(1));
}

TEST(CandidateScreen, NearestNeighbourWithoutPositiveFluxRejects) {
    // Row 3's nearest neighbour is row 2 with flux 0: rejected, although the
    // brighter row 1 counts as a neighbour too. Row 2 itself is accepted.
    literal::Catalogue const c = catalogueOf({{10, 10, 5}, {11, 10, 0}, {20, 10, 7}});
    CandidateScreen const screen = makeScreen(c, kAllFluxes);
    EXPECT_FALSE(screen.isCandidate(3));
    EXPECT_TRUE(screen.isCandidate(2));
    EXPECT_EQ(screen.closestDist(2), 1.0f);
    EXPECT_EQ(screen.closestFlux(2), 5.0f);
}

TEST(CandidateScreen, EqualDistancesGoToTheFirstRowInCatalogueOrder) {
    // Row 3 is 2 pixels from rows 2, 4 and 5; row 2 comes first.
    literal::Catalogue const c =
        catalogueOf({{30, 30, 9}, {12, 12, 4}, {10, 12, 3}, {8, 12, 2}, {10, 14, 1}});
    CandidateScreen const screen = makeScreen(c, kAllFluxes);
    EXPECT_EQ(screen.closestDist(3), 2.0f);
    EXPECT_EQ(screen.closestFlux(3), 4.0f);
}

TEST(CandidateScreen, TwoObjectsAtOnePositionAreAcceptedAtDistanceZero) {
    // Rows 2 and 3 coincide; rows 1 and 5 are equally isolated; row 4 lies
    // outside the box. All five take part as neighbours.
    literal::Catalogue const c =
        catalogueOf({{5, 5, 3}, {20, 20, 4}, {20, 20, 6}, {60, 60, 2}, {35, 5, 5}});
    CandidateScreen const screen = makeScreen(c, kAllFluxes);
    EXPECT_EQ(screen.closestDist(2), 0.0f);
    EXPECT_EQ(screen.closestFlux(2), 6.0f);
    EXPECT_EQ(screen.closestFlux(3), 4.0f);
    SubfieldCandidates const got = screen.screenSubfield({1, 50, 1, 50});
    EXPECT_EQ(got.testCounter, 4);
    // The exchange sort leaves rows 2, 3, 4, 1, 5: the key-0 block (the pair
    // and the rejected row 4) keeps catalogue order. The last three positions
    // hold rows 5, 1 and the rejected row 4; the visit takes accepted rows
    // only, so row 3 follows instead.
    literal::Screened const ref = literal::screen(c, kAllFluxes, {1, 50, 1, 50});
    EXPECT_EQ(literal::visitedPositions(ref, literal::sortedRows(ref)),
              (std::vector<int>{5, 1, 4}));
    EXPECT_EQ(got.row, (std::vector<int>{5, 1, 3}));
    float const d = static_cast<float>(std::sqrt(450.0));
    EXPECT_EQ(got.closestDist, (std::vector<float>{d, d, 0.0f}));
    EXPECT_EQ(got.closestFlux, (std::vector<float>{4.0f, 4.0f, 4.0f}));
}

TEST(CandidateScreen, BoxEdgesAreInclusiveAndComparedInFloat) {
    literal::Catalogue const c = catalogueOf({{10.0f, 10.0f, 1},
                                              {9.999999f, 10.0f, 1},
                                              {20.0f, 20.0f, 1},
                                              {20.000002f, 15.0f, 1},
                                              {15.0f, 9.999999f, 1},
                                              {15.0f, 20.000002f, 1}});
    CandidateScreen const screen = makeScreen(c, kAllFluxes);
    SubfieldCandidates const got = screen.screenSubfield({10, 20, 10, 20});
    EXPECT_EQ(got.testCounter, 2);          // rows 1 and 3 on the edges
    std::vector<int> const expected = {3};  // the more isolated of the two
    EXPECT_EQ(got.row, expected);
}

TEST(CandidateScreen, VariableObjectRejectsWithinOnePixelInclusive) {
    literal::Catalogue c = catalogueOf({{10, 10, 1}, {30, 10, 1}, {50, 10, 1}});
    c.varX = {11.0f, 31.01f, std::numeric_limits<float>::quiet_NaN()};
    c.varY = {10.0f, 10.0f, 10.0f};
    CandidateScreen const screen = makeScreen(c, kAllFluxes);
    EXPECT_FALSE(screen.isCandidate(1));  // exactly 1.00 pixel away
    EXPECT_TRUE(screen.isCandidate(2));   // 1.01 pixels away
    EXPECT_TRUE(screen.isCandidate(3));   // a variable without a position rejects nothing
}

TEST(CandidateScreen, FlagsCountOnlyWithAFlagColumn) {
    literal::Catalogue c = catalogueOf({{10, 10, 1}, {30, 10, 1}});
    c.flag = {7, 2};
    selection::FluxLimits const limits{1, 1, 1, 1.0f, 1.0f, 1.0f};
    auto screenWith = [&c, &limits](int flagColumn) {
        return CandidateScreen(fixture::toArray(c.x), fixture::toArray(c.y),
                               fixture::toArray(c.flux), fixture::toArray(c.flag),
                               sci::MArray<float, 1>(), sci::MArray<float, 1>(),
                               selection::screeningRules(limits, flagColumn, 2));
    };
    CandidateScreen const withFlags = screenWith(4);
    EXPECT_FALSE(withFlags.isCandidate(1));
    EXPECT_TRUE(withFlags.isCandidate(2));
    CandidateScreen const withoutFlags = screenWith(0);
    EXPECT_TRUE(withoutFlags.isCandidate(1));
    EXPECT_TRUE(withoutFlags.isCandidate(2));
    // A flag column shorter than the catalogue: the rows without a flag fail
    // the flag test instead of reading past the column.
    c.flag = {2};
    EXPECT_TRUE(screenWith(4).isCandidate(1));
    EXPECT_FALSE(screenWith(4).isCandidate(2));
}

TEST(CandidateScreen, AllFluxesEqualPassTheFluxTest) {
    literal::Catalogue const c = catalogueOf({{10, 10, 4}, {20, 10, 4}, {40, 10, 4}, {41, 30, 4}});
    selection::FluxLimits const f =
        selection::computeFluxLimits(literal::sortedFlux(c), 0.9, 0.99, 0);
    EXPECT_EQ(f.lower, 4.0f);
    EXPECT_EQ(f.upper, 4.0f);
    EXPECT_EQ(f.neighbour, 4.0f);
    CandidateScreen const screen = makeScreen(c, {f.lower, f.upper, f.neighbour});
    EXPECT_EQ(screen.candidateCount(), 4);
}

TEST(CandidateScreen, NonFiniteRowsTakeNoPart) {
    float const nan = std::numeric_limits<float>::quiet_NaN();
    float const inf = std::numeric_limits<float>::infinity();
    // Row 2 would be row 1's nearest neighbour but has no finite flux; row 3
    // has no finite position.
    literal::Catalogue const c =
        catalogueOf({{10, 10, 1}, {11, 10, nan}, {10, inf, 1}, {20, 10, 1}});
    CandidateScreen const screen = makeScreen(c, kAllFluxes);
    EXPECT_EQ(screen.closestDist(1), 10.0f);
    EXPECT_FALSE(screen.isCandidate(2));
    EXPECT_FALSE(screen.isCandidate(3));
    EXPECT_EQ(screen.candidateCount(), 2);
}

TEST(CandidateScreen, RowsMissingFromAColumnTakeNoPart) {
    // y and flux have 2 rows, x has 3: row 3 is neither candidate nor neighbour.
    CandidateScreen const screen(fixture::toArray(std::vector<float>{10, 20, 11}),
                                 fixture::toArray(std::vector<float>{10, 10}),
                                 fixture::toArray(std::vector<float>{1, 1}), sci::MArray<int, 1>(),
                                 sci::MArray<float, 1>(), sci::MArray<float, 1>(),
                                 {-1e30f, 1e30f, -1e30f, false, 0});
    EXPECT_EQ(screen.rowCount(), 3);
    EXPECT_EQ(screen.closestDist(1), 10.0f);
    EXPECT_FALSE(screen.isCandidate(3));
}

TEST(CandidateScreen, TestCounterReportAndWarningByteForByte) {
    std::ostringstream enough;
    selection::writeTestCounter(enough, 12, 10);
    EXPECT_EQ(enough.str(), std::string("test_counter=12\n"));
    std::ostringstream few;
    selection::writeTestCounter(few, 3, 10);
    EXPECT_EQ(few.str(),
              std::string("test_counter=3\n"
                          "warning: not enough stars-> lower min_thresh or increase max_thresh!!!\n"
                          "  test_counter=3\n"
                          "  P.number=10\n"
                          "\n"));
}

}  // namespace
