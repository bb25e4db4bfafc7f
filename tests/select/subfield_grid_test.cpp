#include "select/subfield_grid.h"

#include <gtest/gtest.h>

#include <climits>
#include <limits>
#include <sstream>
#include <string>

#include "tests/select/catalogue_fixture.h"

namespace {

using selection::PixelBox;
using selection::SubfieldGrid;

void expectBox(PixelBox const& got, PixelBox const& expected) {
    EXPECT_EQ(got.x1, expected.x1);
    EXPECT_EQ(got.x2, expected.x2);
    EXPECT_EQ(got.y1, expected.y1);
    EXPECT_EQ(got.y2, expected.y2);
}

TEST(SubfieldGrid, OneSubfieldCoversTheImage) {
    std::ostringstream err;
    SubfieldGrid const grid(selection::fieldBoxFromImage(100, 100, 0), 1, 1, 0, err);
    expectBox(grid.subfield(1, 1), {1, 100, 1, 100});
    // 100 - 0 + 1 = 101 is lowered to the field's edge.
    expectBox(grid.searchBox(1, 1, 0), {1, 100, 1, 100});
    EXPECT_EQ(err.str(), "");
}

TEST(SubfieldGrid, ThreeByThreeLeavesTheLastRowAndColumnOut) {
    std::ostringstream err;
    SubfieldGrid const grid(selection::fieldBoxFromImage(100, 100, 0), 3, 3, 0, err);
    long long const starts[] = {1, 34, 67};
    long long const ends[] = {33, 66, 99};
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 3; ++j)
            expectBox(grid.subfield(i, j),
                      {starts[i - 1], ends[i - 1], starts[j - 1], ends[j - 1]});
    // The search box reaches one pixel past the subfield, up to the field's edge.
    expectBox(grid.searchBox(1, 3, 0), {1, 34, 67, 100});
    expectBox(grid.searchBox(3, 3, 2), {69, 98, 69, 98});
}

TEST(SubfieldGrid, SubfieldBorderTrimsTwice) {
    std::ostringstream err;
    SubfieldGrid const grid(selection::fieldBoxFromImage(100, 100, 0), 3, 3, 5, err);
    EXPECT_TRUE(grid.trimmed(1, 1));
    expectBox(grid.subfield(1, 1), {6, 28, 6, 28});
    expectBox(grid.searchBox(1, 1, 0), {11, 24, 11, 24});
    expectBox(grid.searchBox(1, 1, 3), {14, 21, 14, 21});
    EXPECT_EQ(err.str(), "");
}

TEST(SubfieldGrid, NarrowSubfieldsAreReportedAndLeftUntrimmed) {
    // Width 27 in 3 columns: upper - lower = 8, too narrow; height 40 in 2
    // rows is wide enough. Each of the 6 subfields is reported once.
    std::ostringstream err;
    SubfieldGrid const grid(PixelBox{1, 27, 1, 40}, 3, 2, 5, err);
    EXPECT_FALSE(grid.trimmed(2, 1));
    expectBox(grid.subfield(2, 1), {10, 18, 1, 20});
    expectBox(grid.searchBox(2, 1, 0), {15, 14, 6, 16});
    std::string expected;
    for (int k = 0; k < 6; ++k) expected += "Error: subfield border too big!\n";
    EXPECT_EQ(err.str(), expected);
    // Wide in x but narrow in y is not trimmed either.
    std::ostringstream flat;
    SubfieldGrid const narrowY(PixelBox{1, 20, 1, 18}, 1, 2, 1, flat);
    EXPECT_FALSE(narrowY.trimmed(1, 2));
    expectBox(narrowY.subfield(1, 2), {1, 20, 10, 18});
    EXPECT_EQ(flat.str(), expected.substr(0, 2 * expected.size() / 6));
}

TEST(SubfieldGrid, BorderAndNoSubfields) {
    std::ostringstream err;
    PixelBox const field = selection::fieldBoxFromImage(100, 80, 10);
    expectBox(field, {11, 90, 11, 70});
    SubfieldGrid const none(field, 0, 3, 5, err);
    EXPECT_EQ(none.nx(), 0);
    EXPECT_EQ(err.str(), "");
}

TEST(SubfieldGrid, HugeOptionValuesDoNotOverflow) {
    std::ostringstream err;
    PixelBox const field = selection::fieldBoxFromImage(INT_MAX, INT_MAX, INT_MIN);
    expectBox(field, {1LL + INT_MIN, static_cast<long long>(INT_MAX) - INT_MIN, 1LL + INT_MIN,
                      static_cast<long long>(INT_MAX) - INT_MIN});
    SubfieldGrid const grid(selection::fieldBoxFromImage(100, 100, 0), 1, 1, INT_MAX, err);
    // 1..100 is wide: trimmed by INT_MAX to an empty box, then inset again.
    PixelBox const box = grid.searchBox(1, 1, INT_MAX);
    EXPECT_EQ(box.x1, 1 + 3LL * INT_MAX);
    EXPECT_EQ(box.x2, 100 - 3LL * INT_MAX + 1);
    std::ostringstream out;
    selection::writeSearching(out, INT_MIN, INT_MAX, INT_MAX, {1, 2, 3, 4});
    EXPECT_EQ(out.str(), "searching for " +
                             std::to_string(static_cast<long long>(INT_MIN) - 2LL * INT_MAX) +
                             " stars in [1:2,3:4]\n");
}

TEST(SubfieldGrid, SearchingLine) {
    std::ostringstream out;
    selection::writeSearching(out, 10, 2, 1, {11, 24, -3, 40});
    EXPECT_EQ(out.str(), std::string("searching for 7 stars in [11:24,-3:40]\n"));
}

TEST(FieldBox, FromTheCatalogueExtentOfRowsThatTakePart) {
    float const nan = std::numeric_limits<float>::quiet_NaN();
    float const inf = std::numeric_limits<float>::infinity();
    std::vector<float> const x = {-3.7f, 10.4f, 99.5f, 500.0f, 7.0f};
    std::vector<float> const y = {2.5f, -0.6f, 50.0f, inf, 80.49f};
    std::vector<float> const flux = {1, 1, 1, 1, nan};
    // Row 4 has no finite y, row 5 no finite flux: x from rows 1-3, y too.
    // trunc(-3.7 + 0.5) = -3, trunc(99.5 + 0.5) = 100, trunc(-0.6 + 0.5) = 0.
    PixelBox const box = selection::fieldBoxFromCatalogue(fixture::toArray(x), fixture::toArray(y),
                                                          fixture::toArray(flux), 0);
    expectBox(box, {-3, 100, 0, 50});
    expectBox(selection::fieldBoxFromCatalogue(fixture::toArray(x), fixture::toArray(y),
                                               fixture::toArray(flux), 2),
              {-1, 98, 2, 48});
    // Positions beyond the int range saturate.
    PixelBox const far = selection::fieldBoxFromCatalogue(
        fixture::toArray(std::vector<float>{-1e30f, 1e30f}),
        fixture::toArray(std::vector<float>{0, 0}), fixture::toArray(std::vector<float>{1, 1}), 0);
    expectBox(far, {INT_MIN, INT_MAX, 0, 0});
    // No row takes part: an empty field.
    PixelBox const empty = selection::fieldBoxFromCatalogue(
        fixture::toArray(std::vector<float>{nan}), fixture::toArray(std::vector<float>{1}),
        fixture::toArray(std::vector<float>{1}), 0);
    expectBox(empty, {1, 0, 1, 0});
}

}  // namespace
