#include "select/isolation_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "tests/select/literal_selection.h"

namespace {

// The literal reference: the exchange sort of all rows (key 0 for rows not
// listed), then the listed rows read from the last position down, as slots of
// the list.
std::vector<int> literalVisit(std::vector<int> const& row, std::vector<float> const& key,
                              int rowCount, int maxVisits) {
    literal::Screened s;
    s.accepted.assign(static_cast<size_t>(rowCount), 0);
    s.closestDist.assign(static_cast<size_t>(rowCount), 0.0f);
    for (size_t k = 0; k < row.size(); ++k) s.accepted[row[k]] = 1, s.closestDist[row[k]] = key[k];
    std::vector<int> visit = literal::visitOrder(s, maxVisits);
    for (int& v : visit)
        v = static_cast<int>(std::find(row.begin(), row.end(), v - 1) - row.begin());
    return visit;
}

// Short lists with a few distinct keys and key 0 (accepted at distance 0),
// then 30 long lists: long groups of equal keys among many unlisted rows.
TEST(IsolationVisitOrder, EqualsTheLiteralSortOfAllRowsOnRandomSparseKeys) {
    std::mt19937 rng(99);
    for (int trial = 0; trial < 4030; ++trial) {
        bool const isLong = trial >= 4000;
        int const rowCount =
            isLong ? 600 + static_cast<int>(rng() % 600) : 1 + static_cast<int>(rng() % 60);
        unsigned const distinct = 1 + rng() % 4, density = isLong ? 3 : 1 + rng() % 4;
        std::vector<int> row;
        std::vector<float> key;
        for (int r = 0; r < rowCount; ++r) {
            if (rng() % density != 0) continue;
            row.push_back(r);
            if (isLong)
                key.push_back(rng() % 4 == 0 ? 2.5f : static_cast<float>(rng() % 3));
            else
                key.push_back(rng() % 6 == 0 ? 0.0f : static_cast<float>(1 + rng() % distinct));
        }
        int const maxVisits = static_cast<int>(isLong ? row.size() : rng() % (row.size() + 2));
        ASSERT_EQ(selection::isolationVisitOrder(row, key, rowCount, maxVisits),
                  literalVisit(row, key, rowCount, maxVisits))
            << "trial " << trial;
    }
}

// Rows 0 and 1 of 3 share key 2, the unlisted row 2 has key 0: the exchange
// sort leaves rows 2, 1, 0, so row 0 is visited first; without the smaller key
// between them they keep their starting order. Key-0 rows come last.
TEST(IsolationVisitOrder, SmallCasesByHand) {
    std::vector<int> const row = {0, 1};
    std::vector<float> const key = {2.0f, 2.0f};
    EXPECT_EQ(selection::isolationVisitOrder(row, key, 3, 5), (std::vector<int>{0, 1}));
    EXPECT_EQ(selection::isolationVisitOrder(row, key, 2, 5), (std::vector<int>{1, 0}));
    EXPECT_EQ(selection::isolationVisitOrder(row, key, 3, 1), (std::vector<int>{0}));
    EXPECT_EQ(selection::isolationVisitOrder({0, 1, 2}, {0.0f, 1.0f, 0.0f}, 3, 3),
              (std::vector<int>{1, 2, 0}));
}

}  // namespace
