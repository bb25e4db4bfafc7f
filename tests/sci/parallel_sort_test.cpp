#include "sci/parallel_sort.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>
#include <random>
#include <vector>

#include "tests/support/arrays.h"
#include "tests/support/exchange_sort.h"

namespace {

using testsupport::literalExchangeOrder;

// sortParallel moves the key and a companion of tags 0..n-1 alike: not stable
// (the two 2s end reversed), and NaN keys follow the literal comparisons.
TEST(ExchangeSort, SmallExamplesAndNaN) {
    float const nan = std::numeric_limits<float>::quiet_NaN();
    for (std::vector<float> const& key : {std::vector<float>{2, 2, 1}, {3, nan, 1, 2}}) {
        sci::MArray<float, 1> k = testsupport::toMArray(key);
        std::vector<int> tags(key.size());
        std::iota(tags.begin(), tags.end(), 0);
        sci::MArray<int, 1> tag = testsupport::toMArray(tags);
        sci::sortParallel(k, tag);
        std::vector<int> const expected = literalExchangeOrder(key);
        EXPECT_EQ(std::vector<int>(tag.begin(), tag.end()), expected);
        for (size_t i = 0; i < key.size(); ++i)
            EXPECT_EQ(std::memcmp(&k(static_cast<int>(i) + 1), &key[expected[i]], sizeof(float)),
                      0);
    }
}

// Short keys full of ties and special values, and long groups of equal keys
// with smaller keys between them (where a queue simulation goes wrong first).
TEST(ExchangeSort, FastOrderEqualsTheLiteralSortOnRandomKeysFullOfTies) {
    std::mt19937 rng(20141402);
    float const specials[] = {
        0.0f, -0.0f, 1e-30f, -1e30f, INFINITY, -INFINITY, std::numeric_limits<float>::denorm_min()};
    for (int trial = 0; trial < 20000; ++trial) {
        size_t const n = trial % 400 == 0 ? 500 + rng() % 500 : rng() % 40;  // long every 400th
        int const distinct = 1 + static_cast<int>(rng() % 6);
        std::vector<float> key(n);
        for (float& k : key)
            k = rng() % 5 == 0 ? specials[rng() % 7] : static_cast<float>(rng() % distinct);
        std::vector<int> const expected = literalExchangeOrder(key);
        ASSERT_EQ(sci::exchangeSortOrder(key), expected) << "trial " << trial;
        ASSERT_EQ(sci::exchangeSortOrderLiteral(key), expected) << "trial " << trial;
    }
}

}  // namespace
