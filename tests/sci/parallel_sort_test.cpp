#include "sci/parallel_sort.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>
#include <random>

#include "tests/support/exchange_sort.h"

namespace {

using sci::MArray;
using testsupport::literalExchangeOrder;

template <class T>
MArray<T, 1> array(std::vector<T> const& values) {
    MArray<T, 1> a(static_cast<int>(values.size()));
    std::copy(values.begin(), values.end(), a.begin());
    return a;
}

// The order sortParallel gives a companion of tags 0..n-1, and the sorted keys.
std::vector<int> sortedTags(std::vector<float> const& key) {
    MArray<float, 1> k = array(key);
    std::vector<int> tags(key.size());
    std::iota(tags.begin(), tags.end(), 0);
    MArray<int, 1> tag = array(tags);
    sci::sortParallel(k, tag);
    for (size_t i = 0; i < key.size(); ++i)
        EXPECT_EQ(std::memcmp(&k(static_cast<int>(i) + 1), &key[tag(static_cast<int>(i) + 1)],
                              sizeof(float)),
                  0);
    return {tag.begin(), tag.end()};
}

TEST(ExchangeSort, SmallExamplesAndNaN) {
    // Not stable: the two 2s end reversed.
    EXPECT_EQ(sortedTags({2, 2, 1}), (std::vector<int>{2, 1, 0}));
    // NaN keys follow the literal comparisons.
    float const nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(sortedTags({3, nan, 1, 2}), literalExchangeOrder({3, nan, 1, 2}));
}

// Short keys full of ties and special values, and long groups of equal keys
// with smaller keys between them (where a queue simulation goes wrong first).
TEST(ExchangeSort, FastOrderEqualsTheLiteralSortOnRandomKeysFullOfTies) {
    std::mt19937 rng(20141402);
    float const specials[] = {
        0.0f, -0.0f, 1e-30f, -1e30f, INFINITY, -INFINITY, std::numeric_limits<float>::denorm_min()};
    for (int trial = 0; trial < 20000; ++trial) {
        int const n = static_cast<int>(rng() % 40);
        int const distinct = 1 + static_cast<int>(rng() % 6);
        std::vector<float> key(static_cast<size_t>(n));
        for (float& k : key)
            k = rng() % 5 == 0 ? specials[rng() % 7] : static_cast<float>(rng() % distinct);
        std::vector<int> const expected = literalExchangeOrder(key);
        ASSERT_EQ(sci::exchangeSortOrder(key), expected) << "trial " << trial;
        ASSERT_EQ(sci::exchangeSortOrderLiteral(key), expected) << "trial " << trial;
    }
    for (int trial = 0; trial < 50; ++trial) {
        std::vector<float> key(500 + rng() % 500);
        for (float& k : key) k = rng() % 3 == 0 ? 0.5f : static_cast<float>(rng() % 3);
        ASSERT_EQ(sci::exchangeSortOrder(key), literalExchangeOrder(key)) << "long trial " << trial;
    }
}

}  // namespace
