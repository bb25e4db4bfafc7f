// Reading psfpick's output tables (with ids or without), the pixel scale
// they give, and the ds9 region files psfpick-regions writes (byte for byte).
#include "tools/ds9_regions.h"

#include <gtest/gtest.h>

#include "tests/support/float_compare.h"
#include "tests/tools/tool_test_util.h"

namespace {

using namespace tooltest;

std::string const kRegions = tool("psfpick-regions");
// The flat-sky distance of rows 10 pixels apart differs from the haversine
// one by far less than this.
constexpr double kScaleTolerance = 1e-4;
constexpr tools::IdColumn kAuto = tools::IdColumn::kAuto;

// Tables as psfpick writes them (header, then fixed notation with 8 digits).
std::string const kWithIds =
    "#     id          x          y              RA             DEC          flux\n"
    "#\n"
    "     101    10.50000000    20.25000000    202.47000000     47.20000000   1000.00000000\n"
    "     205   110.50000000   220.25000000    202.45000000     47.22000000   2000.00000000\n";
std::string const kWithoutIds =
    "#     x          y              RA             DEC          flux\n"
    "#\n"
    "10.50000000    20.25000000    202.47000000     47.20000000   1000.00000000\n"
    "110.50000000   220.25000000    202.45000000     47.22000000   2000.00000000\n";
// The two header lines of every region file, for a colour.
std::string regionHeader(std::string const& color) {
    return "# Region file format: DS9 version 4.1\nglobal color=" + color +
           " dashlist=8 3 width=1 font=\"helvetica 10 normal roman\" select=1 highlite=1 dash=0 "
           "fixed=0 edit=1 move=1 delete=1 include=1 source=1\n";
}

TEST(StarTable, RejectsShortRowsAndNonNumbersNamingTheLine) {
    TempDir dir;
    auto error = [&](std::string const& text) {
        std::string const path = dir.write("t.tbl", text);
        return messageOf([&] { tools::readStarTable(path, kAuto); });
    };
    std::string const at = "table '" + dir.file("t.tbl") + "' line 5: ";
    EXPECT_EQ(error(kWithIds + "  7  1.0  2.0  3.0\n"),
              at + "expected at least 6 columns, found 4");
    EXPECT_EQ(error(kWithoutIds + "1 2 nan 4 5\n"), at + "'nan' is not a number");
    // Ids are whole numbers in the range of the ids psfpick writes (int).
    for (std::string const id : {"7.5", "2147483648"})
        EXPECT_EQ(error(kWithIds + id + " 1 2 3 4 5\n"),
                  at + "id '" + id + "' is not a whole number from -2147483648 to 2147483647");
    EXPECT_EQ(messageOf([&] { tools::readStarTable(dir.file("none.tbl"), kAuto); }),
              "cannot open file '" + dir.file("none.tbl") + "' for reading");
}

// One row gives no scale; rows exactly kMinScaleBaseline pixels apart (1
// arcsecond in DEC per pixel) give it, a little closer none.
TEST(Ds9Regions, TableScaleNeedsTheMinimumBaseline) {
    tools::StarTable pair;
    pair.rows = {tools::StarRow{1, 5.0, 5.0, 10.0, 0.0, 1.0}};
    EXPECT_EQ(tools::tableScale(pair), 0.0);
    pair.rows.push_back(tools::StarRow{2, 5.0, 5.0 + tools::kMinScaleBaseline, 10.0,
                                       tools::kMinScaleBaseline / 3600, 1.0});
    EXPECT_CLOSE(tools::tableScale(pair), 1.0, kScaleTolerance);
    pair.rows[1].y = 4.99 + tools::kMinScaleBaseline;
    EXPECT_EQ(tools::tableScale(pair), 0.0);
}

TEST(RegionsProgram, WritesARegionFileBesideTheTable) {
    TempDir dir;
    dir.write("sel.tbl", kWithoutIds);
    RunResult const r = runProgram(kRegions, {"-r", "5", "sel.tbl"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(dir.file("sel.reg")),
              regionHeader("green") +
                  "image\ncircle(10.5000,20.2500,5.0000) # text={1}\n"
                  "circle(110.5000,220.2500,5.0000) # text={2}\n");
    RunResult const k = runProgram(kRegions,
                                   {"--system", "fk5", "--arcsec", "2", "--color", "red",
                                    "--no-labels", "-o", "k.reg", "sel.tbl"},
                                   dir.path());
    ASSERT_EQ(k.status, 0) << k.err;
    EXPECT_EQ(readFile(dir.file("k.reg")), regionHeader("red") +
                                               "fk5\ncircle(202.47000000,47.20000000,2.0000\")\n"
                                               "circle(202.45000000,47.22000000,2.0000\")\n");
}

}  // namespace
