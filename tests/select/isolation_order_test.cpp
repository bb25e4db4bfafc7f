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

}  // namespace
