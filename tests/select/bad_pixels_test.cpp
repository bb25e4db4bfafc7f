#include "select/bad_pixels.h"

#include <gtest/gtest.h>

#include <list>
#include <string>

#include "sci/fits_writer.h"
#include "sci/marray.h"
#include "tests/support/temp_dir.h"

namespace {

using selection::BadPixelCheck;
using selection::FitsFiles;

constexpr int kSize = 20;  // images of kSize x kSize pixels
// Check radius: bad within u^2 + v^2 <= 2 * 1 = 2, a boundary that pixels reach
// (1 + 1), so that < in place of <= shows.
constexpr int kRadius = 2;
constexpr int kCentre = 10;  // pixel of the candidate

// An image of ones with, for each listed offset from (kCentre, kCentre), a
// pixel of value 0.
std::string writeMask(testsupport::TempDir const& dir, std::string const& name,
                      std::initializer_list<std::pair<int, int>> zeros) {
    sci::MArray<float, 2> mask(kSize, kSize);
    mask = 1.0f;
    for (auto const& [u, v] : zeros) mask(kCentre + u, kCentre + v) = 0.0f;
    std::string const path = dir.file(name);
    sci::writeFitsImage(path, mask, -32);
    return path;
}

}  // namespace

// A zero pixel refuses the candidate within u^2 + v^2 <= r (r - 1) of its
// pixel (the position rounded half up), and is tolerated in the outer ring.
TEST(BadPixelCheck, ZeroPixelsWithinTheInnerDiskRefuse) {
    struct Case {
        int u, v;
        bool passes;
    };
    Case const cases[] = {
        {0, 0, false}, {1, 1, false}, {-1, 1, false}, {0, -1, false},
        {2, 0, true},  {1, -2, true}, {0, 2, true},   {-2, -2, true},
    };
    // One zero at (10, 10), in the second of two files (a zero in any of them
    // refuses): at offset (u, v) from the candidate's pixel (10 - u, 10 - v);
    // 10.2 and 9.7 round to 10.
    testsupport::TempDir dir;
    std::string const clean = writeMask(dir, "clean.fits", {});
    std::string const bad = writeMask(dir, "bad.fits", {{0, 0}});
    FitsFiles fits;
    BadPixelCheck check({clean, bad}, kRadius, kSize, kSize, fits);
    for (Case const& c : cases)
        EXPECT_EQ(check.passes(10.2f - c.u, 9.7f - c.v), c.passes)
            << "zero at " << c.u << "," << c.v;
    EXPECT_TRUE(BadPixelCheck({clean}, kRadius, kSize, kSize, fits).passes(10.0f, 10.0f));
    // Without a radius nothing is checked (the files are not even opened).
    BadPixelCheck off({bad, dir.file("missing.fits")}, 0, kSize, kSize, fits);
    EXPECT_TRUE(off.passes(10.0f, 10.0f));
}

// The stamp must lie inside the image: r < pixel <= naxis - r on each axis.
TEST(BadPixelCheck, CandidatesTooNearTheEdgeAreRefused) {
    testsupport::TempDir dir;
    std::string const clean = writeMask(dir, "clean.fits", {});
    struct Case {
        float x, y;
        bool passes;
    };
    // x: pixels 2 = r, 3, 18 = naxis - r, 19 (the position rounded half up).
    Case const cases[] = {{2.49f, 10.0f, false}, {2.5f, 10.0f, true},  {18.49f, 10.0f, true},
                          {18.5f, 10.0f, false}, {10.0f, 2.0f, false}, {10.0f, 3.0f, true},
                          {10.0f, 18.0f, true},  {10.0f, 19.0f, false}};
    FitsFiles fits;
    BadPixelCheck check({clean}, kRadius, kSize, kSize, fits);
    for (Case const& c : cases)
        EXPECT_EQ(check.passes(c.x, c.y), c.passes) << "at " << c.x << "," << c.y;
}
