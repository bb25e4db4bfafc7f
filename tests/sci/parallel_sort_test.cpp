#include "sci/parallel_sort.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

using sci::MArray;

MArray<float, 1> floats(std::vector<float> const& values) {
    MArray<float, 1> a(static_cast<int>(values.size()));
    for (size_t k = 0; k < values.size(); ++k) a(static_cast<int>(k) + 1) = values[k];
    return a;
}

std::vector<float> values(MArray<float, 1> const& a) {
    return {a.begin(), a.end()};
}

// The exchange sort exactly as the selection describes it, on a key and one
// companion: the reference for everything below.
void literalSort(std::vector<float>& key, std::vector<int>& companion) {
    int const n = static_cast<int>(key.size());
    for (int i = 0; i < n - 1; ++i)
        for (int j = i + 1; j < n; ++j)
            if (key[j] < key[i]) {
                std::swap(key[i], key[j]);
                std::swap(companion[i], companion[j]);
            }
}

TEST(ExchangeSort, SmallExamples) {
    MArray<float, 1> key = floats({3, 1, 2});
    MArray<int, 1> tag(3);
    tag(1) = 'a';
    tag(2) = 'b';
    tag(3) = 'c';
    sci::sortParallel(key, tag);
    EXPECT_EQ(values(key), (std::vector<float>{1, 2, 3}));
    EXPECT_EQ(std::vector<int>(tag.begin(), tag.end()), (std::vector<int>{'b', 'c', 'a'}));

    // Not stable: the two 2s end reversed.
    key = floats({2, 2, 1});
    tag(1) = 'a';
    tag(2) = 'b';
    tag(3) = 'c';
    sci::sortParallel(key, tag);
    EXPECT_EQ(values(key), (std::vector<float>{1, 2, 2}));
    EXPECT_EQ(std::vector<int>(tag.begin(), tag.end()), (std::vector<int>{'c', 'b', 'a'}));

    // One element or none: nothing changes.
    MArray<float, 1> one = floats({4});
    MArray<int, 1> oneTag(1);
    oneTag(1) = 9;
    sci::sortParallel(one, oneTag);
    EXPECT_EQ(oneTag(1), 9);
    MArray<float, 1> none(0);
    sci::sortParallel(none);
    EXPECT_EQ(none.size(), 0);
}

TEST(ExchangeSort, FastOrderEqualsTheLiteralSortOnRandomKeysFullOfTies) {
    std::mt19937 rng(20141402);
    float const specials[] = {
        0.0f, -0.0f, 1e-30f, -1e30f, INFINITY, -INFINITY, std::numeric_limits<float>::denorm_min()};
    int mismatches = 0;
    for (int trial = 0; trial < 20000; ++trial) {
        int const n = static_cast<int>(rng() % 40);
        int const distinct = 1 + static_cast<int>(rng() % 6);
        std::vector<float> key(static_cast<size_t>(n));
        for (float& k : key)
            k = rng() % 5 == 0 ? specials[rng() % 7] : static_cast<float>(rng() % distinct);
        std::vector<float> expectedKey = key;
        std::vector<int> expected(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) expected[i] = i;
        literalSort(expectedKey, expected);
        if (sci::exchangeSortOrder(key) != expected) ++mismatches;
        EXPECT_EQ(sci::exchangeSortOrderLiteral(key), expected);
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(ExchangeSort, LargeGroupsWithInterleavedSmallerKeys) {
    // Long groups are where a queue simulation would go wrong first.
    std::mt19937 rng(7);
    for (int trial = 0; trial < 50; ++trial) {
        int const n = 500 + static_cast<int>(rng() % 500);
        std::vector<float> key(static_cast<size_t>(n));
        for (float& k : key) k = rng() % 3 == 0 ? 0.5f : static_cast<float>(rng() % 3);
        std::vector<float> expectedKey = key;
        std::vector<int> expected(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) expected[i] = i;
        literalSort(expectedKey, expected);
        ASSERT_EQ(sci::exchangeSortOrder(key), expected) << "trial " << trial;
    }
}

TEST(ExchangeSort, NaNKeysFollowTheLiteralComparisons) {
    float const nan = std::numeric_limits<float>::quiet_NaN();
    MArray<float, 1> key = floats({3, nan, 1, 2});
    MArray<int, 1> tag(4);
    for (int i = 1; i <= 4; ++i) tag(i) = i;
    sci::sortParallel(key, tag);
    std::vector<float> k = {3, nan, 1, 2};
    std::vector<int> expected = {1, 2, 3, 4};
    literalSort(k, expected);
    EXPECT_EQ(std::vector<int>(tag.begin(), tag.end()), expected);
}

TEST(ExchangeSort, NamedInstancesMoveEveryCompanion) {
    MArray<float, 1> k = floats({5, 3, 4, 3});
    std::vector<MArray<float, 1>> f;
    for (int c = 0; c < 10; ++c) {
        f.push_back(MArray<float, 1>(4));
        for (int i = 1; i <= 4; ++i) f[c](i) = static_cast<float>(100 * c + i);
    }
    MArray<int, 1> id(4);
    for (int i = 1; i <= 4; ++i) id(i) = i;
    sort12(k, f[0], f[1], f[2], f[3], f[4], id, f[5], f[6], f[7], f[8], f[9]);
    std::vector<float> key = {5, 3, 4, 3};
    std::vector<int> expected = {1, 2, 3, 4};
    literalSort(key, expected);
    EXPECT_EQ(std::vector<int>(id.begin(), id.end()), expected);
    for (int c = 0; c < 10; ++c)
        for (int i = 1; i <= 4; ++i)
            EXPECT_EQ(f[c](i), static_cast<float>(100 * c + expected[i - 1]));
}

TEST(Shrink, RefusalsAndNewStorage) {
    MArray<float, 1> a = floats({1, 2, 3, 4, 5});
    MArray<float, 1> oldView;
    oldView.makeReference(a);

    EXPECT_EQ(shrink(a, 6), kShrinkRefused);
    EXPECT_EQ(shrink(a, 1), kShrinkRefused);
    EXPECT_EQ(shrink(a, 0), kShrinkRefused);
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

    MArray<int, 1> ints(2);
    ints(1) = 8;
    ints(2) = 9;
    EXPECT_EQ(shrink(ints, 2), kShrinkDone);
    EXPECT_EQ(shrink(ints, 1), kShrinkRefused);
    EXPECT_EQ(ints.length(), 2);
}

}  // namespace
