#include "select/subfield_grid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <random>
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
    EXPECT_EQ(none.ny(), 3);
    SubfieldGrid const negative(PixelBox{1, 5, 1, 5}, 4, -2, 1, err);
    EXPECT_EQ(negative.ny(), 0);
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

// The grid formulas again in double, exact here: every value stays far below
// 2^53. Integer division truncates toward 0, as in the library.
TEST(SubfieldGrid, ExtremeValuesFollowTheFormulasExactly) {
    std::mt19937 rng(17);
    int const extremes[] = {INT_MIN, INT_MIN + 1, -1000, -9,  -1,          0,
                            1,       5,           9,     100, INT_MAX - 1, INT_MAX};
    auto pick = [&]() { return extremes[rng() % 12]; };
    for (int trial = 0; trial < 3000; ++trial) {
        int const naxis1 = pick(), naxis2 = pick(), border = pick();
        int const nx = 1 + static_cast<int>(rng() % 4), ny = 1 + static_cast<int>(rng() % 4);
        int const sb = pick(), radius = pick();
        std::ostringstream err;
        PixelBox const field = selection::fieldBoxFromImage(naxis1, naxis2, border);
        SubfieldGrid const grid(field, nx, ny, sb, err);
        double const x1 = 1.0 + border, x2 = static_cast<double>(naxis1) - border;
        double const y1 = 1.0 + border, y2 = static_cast<double>(naxis2) - border;
        double const dx = std::trunc((x2 - x1 + 1) / nx), dy = std::trunc((y2 - y1 + 1) / ny);
        for (int i = 1; i <= nx; ++i)
            for (int j = 1; j <= ny; ++j) {
                double lx = x1 + (i - 1) * dx, ly = y1 + (j - 1) * dy;
                double ux = std::min(lx + dx - 1, x2), uy = std::min(ly + dy - 1, y2);
                if (sb != 0 && ux - lx > 8 && uy - ly > 8) {
                    lx += sb;
                    ly += sb;
                    ux -= sb;
                    uy -= sb;
                }
                double const inset = static_cast<double>(sb) + radius;
                PixelBox const box = grid.searchBox(i, j, radius);
                ASSERT_EQ(static_cast<double>(box.x1), std::max(lx + inset, x1)) << trial;
                ASSERT_EQ(static_cast<double>(box.x2), std::min(ux - inset + 1, x2)) << trial;
                ASSERT_EQ(static_cast<double>(box.y1), std::max(ly + inset, y1)) << trial;
                ASSERT_EQ(static_cast<double>(box.y2), std::min(uy - inset + 1, y2)) << trial;
            }
    }
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
