#include "select/exchange_order.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "tests/support/exchange_sort.h"

namespace {

using selection::exchangeOrder;
using selection::sortInExchangeOrder;

// Keys from a few values, so that most of them tie, with a NaN now and then:
// the order is that of the exchange sort run literally.
TEST(ExchangeOrder, EqualsTheLiteralExchangeSortOnKeysFullOfTies) {
    std::mt19937 rng(12);
    float const values[] = {
        -1.0f, 0.0f, 1.5f, 1.5f, 2.0f, 3.25f, std::numeric_limits<float>::quiet_NaN()};
    int withNaN = 0;
    for (int trial = 0; trial < 400; ++trial) {
        std::vector<float> key(rng() % 14);
        for (float& k : key) k = values[rng() % (trial % 4 == 0 ? 7 : 6)];
        std::vector<int> const expected = testsupport::literalExchangeOrder(key);
        ASSERT_EQ(exchangeOrder(key), expected) << "trial " << trial;
        // Items move whole with their keys.
        std::vector<int> items(key.size());
        for (size_t k = 0; k < items.size(); ++k) items[k] = static_cast<int>(k);
        sortInExchangeOrder(items, [&key](int item) { return key[static_cast<size_t>(item)]; });
        ASSERT_EQ(items, expected) << "trial " << trial;
        for (float k : key) withNaN += std::isnan(k);
    }
    EXPECT_GT(withNaN, 0);
}

}  // namespace
