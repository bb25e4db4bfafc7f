#include "select/subfield_grid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <random>
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

// Every search box of the grid, by run index, that holds (x, y) by the
// screening's float test.
std::vector<long long> boxesHolding(SubfieldGrid const& grid, float x, float y, int radius) {
    std::vector<long long> boxes;
    for (int i = 1; i <= grid.nx(); ++i)
        for (int j = 1; j <= grid.ny(); ++j) {
            PixelBox const b = grid.searchBox(i, j, radius);
            if (!(x < static_cast<float>(b.x1) || x > static_cast<float>(b.x2) ||
                  y < static_cast<float>(b.y1) || y > static_cast<float>(b.y2)))
                boxes.push_back(grid.runIndex(i, j));
        }
    return boxes;
}

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
    std::ostringstream out;
    selection::writeSearching(out, 10, 2, 1, {11, 24, -3, 40});
    selection::writeSearching(out, INT_MIN, INT_MAX, INT_MAX, {1, 2, 3, 4});
    EXPECT_EQ(out.str(), "searching for 7 stars in [11:24,-3:40]\nsearching for " +
                             std::to_string(static_cast<long long>(INT_MIN) - 2LL * INT_MAX) +
                             " stars in [1:2,3:4]\n");
}

TEST(FieldBox, FromTheCatalogueExtentOfRowsThatTakePart) {
    float const nan = std::numeric_limits<float>::quiet_NaN();
    float const inf = std::numeric_limits<float>::infinity();
    auto box = [](std::vector<float> const& x, std::vector<float> const& y,
                  std::vector<float> const& flux, int border) {
        return corners(selection::fieldBoxFromCatalogue(testsupport::toMArray(x),
                                                        testsupport::toMArray(y),
                                                        testsupport::toMArray(flux), border));
    };
    std::vector<float> const x = {-3.7f, 10.4f, 99.5f, 500.0f, 7.0f};
    std::vector<float> const y = {2.5f, -0.6f, 50.0f, inf, 80.49f};
    std::vector<float> const flux = {1, 1, 1, 1, nan};
    // Row 4 has no finite y, row 5 no finite flux: x from rows 1-3, y too.
    // trunc(-3.7 + 0.5) = -3, trunc(99.5 + 0.5) = 100, trunc(-0.6 + 0.5) = 0.
    EXPECT_EQ(box(x, y, flux, 0), (std::vector<long long>{-3, 100, 0, 50}));
    EXPECT_EQ(box(x, y, flux, 2), (std::vector<long long>{-1, 98, 2, 48}));
    // Positions beyond the int range saturate; no row taking part: empty.
    EXPECT_EQ(box({-1e30f, 1e30f}, {0, 0}, {1, 1}, 0),
              (std::vector<long long>{INT_MIN, INT_MAX, 0, 0}));
    EXPECT_EQ(box({nan}, {1}, {1}, 0), (std::vector<long long>{1, 0, 1, 0}));
}

// The boxes at a position equal those of a test of every box: on their bounds
// (where neighbouring boxes overlap by a pixel), with negative insets, and
// far from the origin, where floats are coarser than a pixel.
TEST(SubfieldGrid, SearchBoxesAtAPositionAreTheBoxesThatHoldIt) {
    std::mt19937 rng(5);
    int const origins[] = {1, -20, 1 << 25};
    for (int trial = 0; trial < 600; ++trial) {
        long long const x1 = origins[trial % 3], y1 = origins[(trial / 3) % 3];
        long long const w = 1 + rng() % 60, h = 1 + rng() % 60;
        int const nx = 1 + static_cast<int>(rng() % std::min<long long>(w, 7));
        int const ny = 1 + static_cast<int>(rng() % std::min<long long>(h, 7));
        int const sb = static_cast<int>(rng() % 5) - 1, radius = static_cast<int>(rng() % 4) - 1;
        std::ostringstream err;
        SubfieldGrid const grid({x1, x1 + w - 1, y1, y1 + h - 1}, nx, ny, sb, err);
        std::vector<long long> boxes;
        for (int k = 0; k < 40; ++k) {
            // Integers and halves around the field, bounds included.
            float const x = static_cast<float>(x1 - 3 + 0.5 * (rng() % (2 * w + 12)));
            float const y = static_cast<float>(y1 - 3 + 0.5 * (rng() % (2 * h + 12)));
            grid.searchBoxesAt(x, y, radius, boxes);
            ASSERT_EQ(boxes, boxesHolding(grid, x, y, radius))
                << trial << ": " << x << ", " << y << " grid " << nx << "x" << ny << " sb " << sb
                << " r " << radius;
        }
    }
}

}  // namespace
