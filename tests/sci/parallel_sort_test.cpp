#include "sci/parallel_sort.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numeric>
#include <random>

namespace {

using sci::MArray;

template <class T>
MArray<T, 1> array(std::vector<T> const& values) {
    MArray<T, 1> a(static_cast<int>(values.size()));
    std::copy(values.begin(), values.end(), a.begin());
    return a;
}

template <class T>
std::vector<T> values(MArray<T, 1> const& a) {
    return {a.begin(), a.end()};
}

// The exchange sort exactly as the selection describes it: the order (from 0)
// in which it leaves the elements of key. The reference for everything below.
std::vector<int> literalOrder(std::vector<float> key) {
    std::vector<int> order(key.size());
    std::iota(order.begin(), order.end(), 0);
    for (size_t i = 0; i + 1 < key.size(); ++i)
        for (size_t j = i + 1; j < key.size(); ++j)
            if (key[j] < key[i]) {
                std::swap(key[i], key[j]);
                std::swap(order[i], order[j]);
            }
    return order;
}

// The order sortParallel gives a tag array 1..n, from 0.
std::vector<int> sortedTags(std::vector<float> const& key) {
    MArray<float, 1> k = array(key);
    std::vector<int> tags(key.size());
    std::iota(tags.begin(), tags.end(), 0);
    MArray<int, 1> tag = array(tags);
    sci::sortParallel(k, tag);
    return values(tag);
}

TEST(ExchangeSort, SmallExamplesAndNaN) {
    MArray<float, 1> key = array<float>({3, 1, 2});
    sci::sortParallel(key);
    EXPECT_EQ(values(key), (std::vector<float>{1, 2, 3}));
    EXPECT_EQ(sortedTags({3, 1, 2}), (std::vector<int>{1, 2, 0}));
    // Not stable: the two 2s end reversed.
    EXPECT_EQ(sortedTags({2, 2, 1}), (std::vector<int>{2, 1, 0}));
    // NaN keys follow the literal comparisons.
    float const nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(sortedTags({3, nan, 1, 2}), literalOrder({3, nan, 1, 2}));
    // One element or none: nothing changes.
    EXPECT_EQ(sortedTags({4}), std::vector<int>{0});
    MArray<float, 1> none(0);
    sci::sortParallel(none);
    EXPECT_EQ(none.size(), 0);
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
        std::vector<int> const expected = literalOrder(key);
        ASSERT_EQ(sci::exchangeSortOrder(key), expected) << "trial " << trial;
        ASSERT_EQ(sci::exchangeSortOrderLiteral(key), expected) << "trial " << trial;
    }
    for (int trial = 0; trial < 50; ++trial) {
        std::vector<float> key(500 + rng() % 500);
        for (float& k : key) k = rng() % 3 == 0 ? 0.5f : static_cast<float>(rng() % 3);
        ASSERT_EQ(sci::exchangeSortOrder(key), literalOrder(key)) << "long trial " << trial;
    }
}

TEST(ExchangeSort, NamedInstancesMoveEveryCompanion) {
    MArray<float, 1> k = array<float>({5, 3, 4, 3});
    std::vector<MArray<float, 1>> f;
    for (int c = 0; c < 10; ++c)
        f.push_back(array<float>({100.0f * c + 1, 100.0f * c + 2, 100.0f * c + 3, 100.0f * c + 4}));
    MArray<int, 1> id = array<int>({0, 1, 2, 3});
    sort12(k, f[0], f[1], f[2], f[3], f[4], id, f[5], f[6], f[7], f[8], f[9]);
    std::vector<int> const expected = literalOrder({5, 3, 4, 3});
    EXPECT_EQ(values(id), expected);
    for (int c = 0; c < 10; ++c)
        for (int i = 1; i <= 4; ++i)
            EXPECT_EQ(f[c](i), static_cast<float>(100 * c + expected[i - 1] + 1));
}

TEST(Shrink, RefusalsAndNewStorage) {
    MArray<float, 1> a = array<float>({1, 2, 3, 4, 5});
    MArray<float, 1> oldView;
    oldView.makeReference(a);
    for (int n : {6, 1, 0}) EXPECT_EQ(shrink(a, n), kShrinkRefused) << n;
    EXPECT_EQ(a.length(), 5);
    EXPECT_EQ(a.references(), 2);  // refusals change nothing

    EXPECT_EQ(shrink(a, 5), kShrinkDone);
    EXPECT_EQ(values(a), (std::vector<float>{1, 2, 3, 4, 5}));
    EXPECT_EQ(a.references(), 1);  // new storage
    EXPECT_EQ(shrink(a, 3), kShrinkDone);
    EXPECT_EQ(values(a), (std::vector<float>{1, 2, 3}));
    EXPECT_EQ(a.base(), 1);
    // A view of the old storage still sees the old, longer data.
    EXPECT_EQ(values(oldView), (std::vector<float>{1, 2, 3, 4, 5}));

    MArray<int, 1> ints = array<int>({8, 9});
    EXPECT_EQ(shrink(ints, 2), kShrinkDone);
    EXPECT_EQ(shrink(ints, 1), kShrinkRefused);
    EXPECT_EQ(ints.length(), 2);
}

}  // namespace
