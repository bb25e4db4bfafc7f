#include "select/subfield_grid.h"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>
#include <string>

#include "tests/support/arrays.h"

namespace {

using selection::PixelBox;
using selection::SubfieldGrid;

std::vector<long long> corners(PixelBox const& b) {
    return {b.x1, b.x2, b.y1, b.y2};
}

std::string const kBorderTooBig = "Error: subfield border too big!\n";

TEST(SubfieldGrid, NarrowSubfieldsAreReportedAndLeftUntrimmed) {
    // Width 27 in 3 columns: upper - lower = 8, too narrow; height 40 in 2
    // rows is wide enough. Each of the 6 subfields is reported once.
    std::ostringstream err;
    SubfieldGrid const grid(PixelBox{1, 27, 1, 40}, 3, 2, 5, err);
    EXPECT_FALSE(grid.trimmed(2, 1));
    EXPECT_EQ(corners(grid.subfield(2, 1)), (std::vector<long long>{10, 18, 1, 20}));
    EXPECT_EQ(corners(grid.searchBox(2, 1, 0)), (std::vector<long long>{15, 14, 6, 16}));
    std::string expected;
    for (int k = 0; k < 6; ++k) expected += kBorderTooBig;
    EXPECT_EQ(err.str(), expected);
}

TEST(SubfieldGrid, NoSubfieldsHugeValuesAndTheSearchingLine) {
    std::ostringstream err;
    SubfieldGrid const none(selection::fieldBoxFromImage(100, 80, 10), 0, 3, 5, err);
    EXPECT_EQ(none.nx(), 0);
    EXPECT_EQ(none.ny(), 3);
    EXPECT_EQ(SubfieldGrid(PixelBox{1, 5, 1, 5}, 4, -2, 1, err).ny(), 0);
    EXPECT_EQ(err.str(), "");
    long long const lo = 1LL + INT_MIN, hi = static_cast<long long>(INT_MAX) - INT_MIN;
    EXPECT_EQ(corners(selection::fieldBoxFromImage(INT_MAX, INT_MAX, INT_MIN)),
              (std::vector<long long>{lo, hi, lo, hi}));
    EXPECT_EQ(corners(selection::fieldBoxFromCatalogue(
                  testsupport::toMArray(std::vector<float>{-1e30f, 1e30f}),
                  testsupport::toMArray(std::vector<float>{0, 0}),
                  testsupport::toMArray(std::vector<float>{1, 1}), 0)),
              (std::vector<long long>{INT_MIN, INT_MAX, 0, 0}));
    std::ostringstream out;
    selection::writeSearching(out, 10, 2, 1, {11, 24, -3, 40});
    selection::writeSearching(out, INT_MIN, INT_MAX, INT_MAX, {1, 2, 3, 4});
    EXPECT_EQ(out.str(), "searching for 7 stars in [11:24,-3:40]\nsearching for " +
                             std::to_string(static_cast<long long>(INT_MIN) - 2LL * INT_MAX) +
                             " stars in [1:2,3:4]\n");
}

}  // namespace
