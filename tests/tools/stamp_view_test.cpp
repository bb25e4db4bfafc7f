// The PNG view: the stretch, and psfpick-stamps drawing a selection on the
// mock field.
#include "tools/stamp_view.h"

#include <gtest/gtest.h>

#include "tests/tools/tool_test_util.h"

namespace {

using namespace tooltest;

std::string const kStamps = tool("psfpick-stamps");

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

// Stars on the edge and far off the image are listed, the last not drawn.
TEST(StampsProgram, DrawsAMockSelectionAsADecodablePng) {
    TempDir dir;
    dir.write(
        "sel.tbl",
        "#     id          x          y              RA             DEC          flux\n#\n"
        "       1    50.00000000    60.00000000    202.47000000     47.20000000   1000.0\n"
        "       2   250.00000000   150.00000000    202.45000000     47.22000000   2000.0\n"
        "       3     2.00000000   511.00000000    202.45000000     47.22000000   2000.0\n"
        "       4     1e30           -1e30           202.45000000     47.22000000   2000.0\n");
    RunResult const r =
        runProgram(kStamps, {"--nfields", "3,2", "sel.tbl", mockFile("f.fits")}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    tools::PngPicture const p = tools::readPng(dir.file("sel.png"));
    EXPECT_EQ(r.out, "wrote sel.png (" + std::to_string(p.width) + " x " +
                         std::to_string(p.height) + " pixels, 4 stars)\n");
}

}  // namespace
