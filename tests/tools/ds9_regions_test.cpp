// Reading psfpick's output tables (with ids, running numbers or no ids), the
// ds9 region files written from them (byte for byte), and psfpick-regions.
#include "tools/ds9_regions.h"

#include <gtest/gtest.h>

#include <cmath>

#include "sci/angles.h"
#include "tests/support/float_compare.h"
#include "tests/tools/tool_test_util.h"

namespace {

using namespace tooltest;

std::string const kRegions = tool("psfpick-regions");
// The table's positions carry 8 decimals of a degree; the flat-sky
// distance below differs from the haversine one by far less than this.
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

TEST(StarTable, ReadsIdsOrRowNumbersAsTheHeaderSays) {
    TempDir dir;
    auto read = [&](std::string const& text, tools::IdColumn ids) {
        return tools::readStarTable(dir.write("t.tbl", text), ids);
    };
    // The last rows hold the extremes of the ids psfpick writes.
    tools::StarTable const a =
        read(kWithIds + "-2147483648 1 2 3 4 5\n2147483647 1 2 3 4 5\n", kAuto);
    ASSERT_EQ(a.rows.size(), 4u);
    EXPECT_TRUE(a.hasIds);
    tools::StarRow const& r = a.rows[1];
    EXPECT_EQ(std::vector<double>({static_cast<double>(r.id), r.x, r.y, r.ra, r.dec, r.flux}),
              std::vector<double>({205, 110.5, 220.25, 202.45, 47.22, 2000}));
    EXPECT_EQ(a.rows[2].id, -2147483648L);
    EXPECT_EQ(a.rows[3].id, 2147483647L);
    // Without ids: running numbers (see the region labels below).
    EXPECT_FALSE(read(kWithoutIds, kAuto).hasIds);
    // Forced: the id table read as id-less takes the id for x.
    EXPECT_EQ(read(kWithIds, tools::IdColumn::kAbsent).rows[0].x, 101.0);
    // The table of a run that selected nothing: the header only.
    EXPECT_TRUE(read(kWithIds.substr(0, kWithIds.find("     101")), kAuto).rows.empty());
}

TEST(StarTable, RejectsShortRowsAndNonNumbersNamingTheLine) {
    TempDir dir;
    auto error = [&](std::string const& text) {
        std::string const path = dir.write("t.tbl", text);
        return errorOf([&] { tools::readStarTable(path, kAuto); });
    };
    std::string const at = "table '" + dir.file("t.tbl") + "' line 5: ";
    EXPECT_EQ(error(kWithIds + "  7  1.0  2.0  3.0\n"),
              at + "expected at least 6 columns, found 4");
    EXPECT_EQ(error(kWithoutIds + "1 2 x 4 5\n"), at + "'x' is not a number");
    EXPECT_EQ(error(kWithoutIds + "1 2 nan 4 5\n"), at + "'nan' is not a number");
    // Ids are whole numbers in the range of the ids psfpick writes (int).
    std::string const range = " is not a whole number from -2147483648 to 2147483647";
    for (std::string const id : {"1e300", "7.5", "2147483648", "-2147483649"})
        EXPECT_EQ(error(kWithIds + id + " 1 2 3 4 5\n"), at + "id '" + id + "'" + range);
    EXPECT_EQ(errorOf([&] { tools::readStarTable(dir.file("none.tbl"), kAuto); }),
              "cannot open file '" + dir.file("none.tbl") + "' for reading");
}

// Two rows 0.02 deg apart in DEC and 0.02 cos(dec) deg in RA, over a pixel
// distance of sqrt(100^2 + 200^2) pixels; one row gives no scale.
TEST(Ds9Regions, TableScaleIsTheAngularOverThePixelDistance) {
    TempDir dir;
    tools::StarTable t = tools::readStarTable(dir.write("a.tbl", kWithIds), kAuto);
    double const d = 47.21 * sci::kPi / 180;
    double const angle = std::hypot(0.02 * std::cos(d), 0.02) * 3600;
    EXPECT_CLOSE(tools::tableScale(t), angle / std::hypot(100.0, 200.0), kScaleTolerance);
    t.rows.resize(1);
    EXPECT_EQ(tools::tableScale(t), 0.0);

    // Rows exactly kMinScaleBaseline pixels apart (1 arcsecond in DEC per
    // pixel) give the scale; a little closer, none.
    tools::StarTable pair;
    pair.rows = {tools::StarRow{1, 5.0, 5.0, 10.0, 0.0, 1.0},
                 tools::StarRow{2, 5.0, 5.0 + tools::kMinScaleBaseline, 10.0,
                                tools::kMinScaleBaseline / 3600, 1.0}};
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
