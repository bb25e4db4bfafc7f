#include "sci/marray.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using sci::MArray;
using sci::Range;

// Fills a rank-2 array with v = 100*i + j so that a wrong base, stride or
// storage order shows in the first failing value.
void fillIndexed(MArray<double, 2>& a) {
    for (int j = a.base(2); j <= a.last(2); ++j)
        for (int i = a.base(1); i <= a.last(1); ++i) a(i, j) = 100 * i + j;
}

// A scalar fill and a copy into a non-contiguous view change the view only;
// a copy out of such a view reads it whole; the destination keeps its bases.
TEST(MArray, ScalarsAndCopiesIntoAndOutOfViews) {
    MArray<double, 2> a(5, 4);
    fillIndexed(a);
    MArray<double, 2> big(7, 6);
    big = -1.0;
    MArray<double, 2> window, corner;
    window.subarray(big, Range(2, 6), Range(2, 5));
    window = a;
    MArray<double, 2> back(Range(0, 4), Range(-1, 2));
    back = window;
    EXPECT_EQ(std::vector<double>(back.begin(), back.end()),
              std::vector<double>(a.begin(), a.end()));
    EXPECT_EQ(back(0, -1), 101.0);
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
