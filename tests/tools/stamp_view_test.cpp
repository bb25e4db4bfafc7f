// The PNG view: canvas drawing, PNG round trips through libpng, the subfield
// grid as psfpick cuts the field, the stretch, and psfpick-stamps.
#include "tools/stamp_view.h"

#include <gtest/gtest.h>

#include "tests/tools/tool_test_util.h"

namespace {

using namespace tooltest;

std::string const kStamps = tool("psfpick-stamps");

// Self-describing colours r = x, g = y, b = x + y (mod 256) survive the round
// trip; missing, foreign and cut files are refused by name.
TEST(Canvas, PngRoundTripKeepsEveryByteAndRejectsDamagedFiles) {
    TempDir dir;
    tools::Canvas c(37, 23, {});
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x)
            c.set(x, y,
                  {static_cast<uint8_t>(x), static_cast<uint8_t>(y), static_cast<uint8_t>(x + y)});
    tools::writePng(dir.file("c.png"), c);
    tools::PngPicture const p = tools::readPng(dir.file("c.png"));
    EXPECT_EQ(p.width, 37);
    EXPECT_EQ(p.height, 23);
    EXPECT_EQ(p.rgb, c.bytes());
    auto error = [&](std::string const& path) { return errorOf([&] { tools::readPng(path); }); };
    EXPECT_EQ(error(dir.file("none.png")),
              "cannot open file '" + dir.file("none.png") + "' for reading");
    EXPECT_EQ(error(dir.write("text.png", "not a picture at all")),
              "file '" + dir.file("text.png") + "' is not a PNG");
    std::string const bytes = readFile(dir.file("c.png"));
    EXPECT_EQ(error(dir.write("cut.png", bytes.substr(0, bytes.size() / 2))),
              "file '" + dir.file("cut.png") + "' is not a valid PNG");
}

// psfpick's grid: 100 pixels in 3 parts are 1..33, 34..66, 67..99.
TEST(StampView, SubfieldBoundsFollowPsfpicksGrid) {
    using B = std::vector<std::pair<long, long>>;
    EXPECT_EQ(tools::subfieldBounds(100, 0, 3), (B{{1, 33}, {34, 66}, {67, 99}}));
    EXPECT_EQ(tools::subfieldBounds(100, 0, 1), (B{{1, 100}}));
    EXPECT_EQ(tools::subfieldBounds(100, 10, 2), (B{{11, 50}, {51, 90}}));
    EXPECT_TRUE(tools::subfieldBounds(10, 6, 2).empty());
}

TEST(StampView, StretchSpansThePercentiles) {
    std::vector<float> v;
    for (int i = 1; i <= 1000; ++i) v.push_back(static_cast<float>(i));
    v.push_back(0.0f);  // bad pixels do not count
    tools::Stretch const s = tools::percentileStretch(v, 1.0, 99.0, 100000);
    EXPECT_EQ(s.lo, 11.0);
    EXPECT_EQ(s.hi, 990.0);
    EXPECT_EQ(s.grey(s.lo), 0);
    EXPECT_EQ(s.grey(s.hi), 255);
    EXPECT_EQ(s.grey(1e9), 255);
    EXPECT_GT(s.grey(500), s.grey(400));
}

// The overview of 300 x 200 pixels is enlarged 3 times (900 x 600); stars on
// the edge and far off the image are listed, the last not drawn.
TEST(StampsProgram, DrawsAMockSelectionAsADecodablePng) {
    TempDir dir;
    RunResult const m = runProgram(
        tool("psfpick-mock"), {"-o", "f.fits", "--size", "300,200", "-n", "50", "-q"}, dir.path());
    ASSERT_EQ(m.status, 0) << m.err;
    dir.write(
        "sel.tbl",
        "#     id          x          y              RA             DEC          flux\n#\n"
        "       1    50.00000000    60.00000000    202.47000000     47.20000000   1000.0\n"
        "       2   250.00000000   150.00000000    202.45000000     47.22000000   2000.0\n"
        "       3     2.00000000   199.00000000    202.45000000     47.22000000   2000.0\n"
        "       4     1e30           -1e30           202.45000000     47.22000000   2000.0\n");
    RunResult const r = runProgram(kStamps, {"--nfields", "3,2", "sel.tbl", "f.fits"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    tools::PngPicture const p = tools::readPng(dir.file("sel.png"));
    EXPECT_GT(p.width, 900);
    EXPECT_GT(p.height, 600);
    EXPECT_EQ(r.out, "wrote sel.png (" + std::to_string(p.width) + " x " +
                         std::to_string(p.height) + " pixels, 4 stars)\n");
}

}  // namespace
