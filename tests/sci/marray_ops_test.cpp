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

// Empty arrays give the starting values; NaN never becomes the result;
// infinities are ordinary values.
TEST(Reductions, StartingValuesNaNAndInfinities) {
    struct Row {
        std::vector<float> values;
        float min, max;
    };
    for (Row const& r : {Row{{}, kLargestFloat, -kLargestFloat}, Row{{3, kNaN, 1}, 1, 3},
                         Row{{kNaN}, kLargestFloat, -kLargestFloat},
                         Row{{kNaN, kNaN}, kLargestFloat, -kLargestFloat},
                         Row{{2, -INFINITY}, -INFINITY, 2}, Row{{5, -2, 9, 4, -8, 7, 0}, -8, 9}}) {
        EXPECT_EQ(sci::min(floats(r.values)), r.min) << r.values.size();
        EXPECT_EQ(sci::max(floats(r.values)), r.max) << r.values.size();
    }
    EXPECT_EQ(sci::sum(MArray<int, 1>(0)), 0);
}

TEST(Reductions, StridedViewsAndOtherBases) {
    MArray<float, 1> a = floats({5, -2, 9, 4, -8, 7, 0});
    MArray<float, 1> odd, even;
    odd.subarray(a, Range(1, 7, 2));   // 5, 9, -8, 0
    even.subarray(a, Range(2, 6, 2));  // -2, 4, 7
    EXPECT_EQ(sci::min(odd), -8.0f);
    EXPECT_EQ(sci::min(even), -2.0f);
    EXPECT_EQ(sci::max(even), 7.0f);
    MArray<int, 1> ints(Range(-3, 3));
    for (int i = -3; i <= 3; ++i) ints(i) = 10 * i + 1;
    EXPECT_EQ(sci::sum(ints), 7);
}

// A scalar fill and a copy into a non-contiguous view change the view only;
// a copy out of such a view reads it whole.
TEST(Assignment, ScalarsAndCopiesIntoAndOutOfViews) {
    MArray<double, 2> a(5, 4);
    for (int j = 1; j <= 4; ++j)
        for (int i = 1; i <= 5; ++i) a(i, j) = 100 * i + j;
    MArray<double, 2> big(7, 6);
    big = -1.0;
    MArray<double, 2> window, corner;
    window.subarray(big, Range(2, 6), Range(2, 5));
    window = a;
    MArray<double, 2> back(5, 4);
    back = window;
    EXPECT_EQ(std::vector<double>(back.begin(), back.end()),
              std::vector<double>(a.begin(), a.end()));
    corner.subarray(big, Range(2, 3), Range(2, 4));
    corner = 0.0;
    for (int j = 1; j <= 6; ++j)
        for (int i = 1; i <= 7; ++i) {
            bool const inWindow = i >= 2 && i <= 6 && j >= 2 && j <= 5;
            bool const inCorner = i >= 2 && i <= 3 && j >= 2 && j <= 4;
            double const expected = inCorner ? 0.0 : inWindow ? a(i - 1, j - 1) : -1.0;
            EXPECT_EQ(big(i, j), expected) << i << "," << j;
        }
}

}  // namespace
