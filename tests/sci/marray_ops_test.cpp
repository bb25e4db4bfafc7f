#include "sci/marray_ops.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using sci::MArray;
using sci::Range;

constexpr float kLargestFloat = 3.4028234663852886e38f;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

MArray<float, 1> floats(std::vector<float> const& values) {
    MArray<float, 1> a(static_cast<int>(values.size()));
    for (size_t k = 0; k < values.size(); ++k) a(static_cast<int>(k) + 1) = values[k];
    return a;
}

TEST(Reductions, StartingValuesOnEmptyArrays) {
    MArray<float, 1> empty(0);
    EXPECT_EQ(sci::min(empty), kLargestFloat);
    EXPECT_EQ(sci::max(empty), -kLargestFloat);
    MArray<int, 1> none(0);
    EXPECT_EQ(sci::sum(none), 0);
}

TEST(Reductions, NaNNeverBecomesTheResult) {
    EXPECT_EQ(sci::min(floats({3, kNaN, 1})), 1.0f);
    EXPECT_EQ(sci::max(floats({3, kNaN, 1})), 3.0f);
    EXPECT_EQ(sci::max(floats({kNaN})), -kLargestFloat);
    EXPECT_EQ(sci::min(floats({kNaN, kNaN})), kLargestFloat);
    // Infinities are ordinary values.
    EXPECT_EQ(sci::min(floats({2, -INFINITY})), -INFINITY);
}

TEST(Reductions, SevenElementsAndStridedViews) {
    MArray<float, 1> a = floats({5, -2, 9, 4, -8, 7, 0});
    EXPECT_EQ(sci::min(a), -8.0f);
    EXPECT_EQ(sci::max(a), 9.0f);
    MArray<float, 1> odd;
    odd.subarray(a, Range(1, 7, 2));  // 5, 9, -8, 0
    EXPECT_EQ(sci::min(odd), -8.0f);
    MArray<float, 1> even;
    even.subarray(a, Range(2, 6, 2));  // -2, 4, 7
    EXPECT_EQ(sci::min(even), -2.0f);
    EXPECT_EQ(sci::max(even), 7.0f);

    MArray<int, 1> ints(Range(-3, 3));
    for (int i = -3; i <= 3; ++i) ints(i) = 10 * i + 1;
    EXPECT_EQ(sci::sum(ints), 7);
}

TEST(Assignment, ScalarFillOfANonContiguousViewKeepsTheRest) {
    MArray<float, 2> img(6, 5);
    for (int j = 1; j <= 5; ++j)
        for (int i = 1; i <= 6; ++i) img(i, j) = static_cast<float>(100 * i + j);
    MArray<float, 2> view;
    view.subarray(img, Range(2, 3), Range(2, 4));
    view = 0.0f;
    float total = 0;
    for (int j = 1; j <= 5; ++j)
        for (int i = 1; i <= 6; ++i) {
            bool const inside = i >= 2 && i <= 3 && j >= 2 && j <= 4;
            EXPECT_EQ(img(i, j), inside ? 0.0f : static_cast<float>(100 * i + j)) << i << "," << j;
            total += img(i, j);
        }
    EXPECT_GT(total, 0.0f);
}

TEST(Assignment, ContiguousAndNestedCopiesAgree) {
    MArray<double, 2> a(5, 4);
    for (int j = 1; j <= 4; ++j)
        for (int i = 1; i <= 5; ++i) a(i, j) = 100 * i + j;
    MArray<double, 2> b(5, 4);
    b = a;  // one loop over 20 elements
    MArray<double, 2> big(7, 6);
    big = -1.0;
    MArray<double, 2> window;
    window.subarray(big, Range(2, 6), Range(2, 5));
    window = a;  // nested loops into a non-contiguous view
    for (int j = 1; j <= 4; ++j)
        for (int i = 1; i <= 5; ++i) {
            EXPECT_EQ(b(i, j), 100 * i + j);
            EXPECT_EQ(big(i + 1, j + 1), 100 * i + j);
        }
    EXPECT_EQ(big(1, 1), -1.0);
    EXPECT_EQ(big(7, 6), -1.0);
}

}  // namespace
