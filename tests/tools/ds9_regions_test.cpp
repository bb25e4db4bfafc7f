// Reading psfpick's output tables (with ids, running numbers or no ids), the
// ds9 region files written from them (parsed back), and psfpick-regions.
#include "tools/ds9_regions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <sstream>

#include "tests/support/float_compare.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

namespace {

using testsupport::readFile;
using testsupport::runProgram;
using testsupport::TempDir;

std::string const kRegions = std::string(PSFPICK_TOOLS_DIR) + "/psfpick-regions";
// The table's positions carry 8 decimals of a degree; the flat-sky
// distance above differs from the haversine one by far less than this.
constexpr double kScaleTolerance = 1e-4;

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

std::string readError(std::string const& path, tools::IdColumn ids) {
    try {
        tools::readStarTable(path, ids);
    } catch (std::exception const& e) {
        return e.what();
    }
    return "";
}

TEST(StarTable, ReadsIdsOrRowNumbersAsTheHeaderSays) {
    TempDir dir;
    tools::StarTable const a =
        tools::readStarTable(dir.write("a.tbl", kWithIds), tools::IdColumn::kAuto);
    ASSERT_EQ(a.rows.size(), 2u);
    EXPECT_TRUE(a.hasIds);
    EXPECT_EQ(a.rows[1].id, 205);
    EXPECT_EQ(a.rows[1].x, 110.5);
    EXPECT_EQ(a.rows[1].y, 220.25);
    EXPECT_EQ(a.rows[1].ra, 202.45);
    EXPECT_EQ(a.rows[1].dec, 47.22);
    EXPECT_EQ(a.rows[1].flux, 2000.0);
    tools::StarTable const b =
        tools::readStarTable(dir.write("b.tbl", kWithoutIds), tools::IdColumn::kAuto);
    EXPECT_FALSE(b.hasIds);
    EXPECT_EQ(b.rows[0].id, 1);
    EXPECT_EQ(b.rows[1].id, 2);
    EXPECT_EQ(b.rows[1].x, 110.5);
    // Forced: the id table read as id-less takes the id for x.
    tools::StarTable const c = tools::readStarTable(dir.file("a.tbl"), tools::IdColumn::kAbsent);
    EXPECT_EQ(c.rows[0].x, 101.0);
    // An empty table (header only) has no rows.
    tools::StarTable const d = tools::readStarTable(
        dir.write("d.tbl", kWithIds.substr(0, kWithIds.find("     101"))), tools::IdColumn::kAuto);
    EXPECT_TRUE(d.hasIds);
    EXPECT_TRUE(d.rows.empty());
}

TEST(StarTable, RejectsShortRowsAndNonNumbersNamingTheLine) {
    TempDir dir;
    EXPECT_EQ(
        readError(dir.write("s.tbl", kWithIds + "  7  1.0  2.0  3.0\n"), tools::IdColumn::kAuto),
        "table '" + dir.file("s.tbl") + "' line 5: expected at least 6 columns, found 4");
    EXPECT_EQ(readError(dir.write("n.tbl", kWithoutIds + "1 2 x 4 5\n"), tools::IdColumn::kAuto),
              "table '" + dir.file("n.tbl") + "' line 5: 'x' is not a number");
    EXPECT_EQ(readError(dir.write("f.tbl", kWithoutIds + "1 2 nan 4 5\n"), tools::IdColumn::kAuto),
              "table '" + dir.file("f.tbl") + "' line 5: 'nan' is not a number");
    EXPECT_EQ(readError(dir.file("none.tbl"), tools::IdColumn::kAuto),
              "cannot open file '" + dir.file("none.tbl") + "' for reading");
}

// Parses "circle(a,b,r<unit>) # text={id}" lines back.
struct Circle {
    double a, b, r;
    std::string unit, label;
};
std::vector<Circle> parseRegions(std::string const& text, std::string& system) {
    std::vector<Circle> circles;
    std::regex const re(R"(circle\(([-0-9.]+),([-0-9.]+),([0-9.]+)(")?\)(?: # text=\{(\d+)\})?)");
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::smatch m;
        if (line == "image" || line == "fk5") system = line;
        if (!std::regex_match(line, m, re)) continue;
        circles.push_back({std::stod(m[1]), std::stod(m[2]), std::stod(m[3]), m[4], m[5]});
    }
    return circles;
}

TEST(Ds9Regions, ImageCirclesParseBackToTheTable) {
    TempDir dir;
    tools::StarTable const t =
        tools::readStarTable(dir.write("a.tbl", kWithIds), tools::IdColumn::kAuto);
    std::ostringstream out;
    tools::RegionStyle style;
    style.radius = 7.5;
    tools::writeRegions(out, t, style);
    EXPECT_EQ(out.str().rfind("# Region file format: DS9 version 4.1\nglobal color=green ", 0), 0u);
    std::string system;
    std::vector<Circle> const c = parseRegions(out.str(), system);
    EXPECT_EQ(system, "image");
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[1].a, 110.5);
    EXPECT_EQ(c[1].b, 220.25);
    EXPECT_EQ(c[1].r, 7.5);
    EXPECT_EQ(c[1].unit, "");
    EXPECT_EQ(c[1].label, "205");
}

TEST(Ds9Regions, Fk5CirclesUseSkyPositionsAndArcseconds) {
    TempDir dir;
    tools::StarTable const t =
        tools::readStarTable(dir.write("a.tbl", kWithIds), tools::IdColumn::kAuto);
    std::ostringstream out;
    tools::RegionStyle style;
    style.system = tools::RegionSystem::kFk5;
    style.radius = 3.25;
    style.labels = false;
    tools::writeRegions(out, t, style);
    std::string system;
    std::vector<Circle> const c = parseRegions(out.str(), system);
    EXPECT_EQ(system, "fk5");
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0].a, 202.47);
    EXPECT_EQ(c[0].b, 47.2);
    EXPECT_EQ(c[0].r, 3.25);
    EXPECT_EQ(c[0].unit, "\"");
    EXPECT_EQ(c[0].label, "");
}

// Two rows 0.02 deg apart in DEC and 0.02 cos(dec) deg in RA, over a pixel
// distance of sqrt(100^2 + 200^2) pixels.
TEST(Ds9Regions, TableScaleIsTheAngularOverThePixelDistance) {
    TempDir dir;
    tools::StarTable const t =
        tools::readStarTable(dir.write("a.tbl", kWithIds), tools::IdColumn::kAuto);
    double const d = 47.21 * M_PI / 180;
    double const angle = std::hypot(0.02 * std::cos(d), 0.02) * 3600;
    EXPECT_CLOSE(tools::tableScale(t), angle / std::hypot(100.0, 200.0), kScaleTolerance);
    tools::StarTable one = t;
    one.rows.resize(1);
    EXPECT_EQ(tools::tableScale(one), 0.0);
}

TEST(RegionsProgram, WritesARegionFileBesideTheTable) {
    TempDir dir;
    dir.write("sel.tbl", kWithoutIds);
    testsupport::RunResult const r = runProgram(kRegions, {"-r", "5", "sel.tbl"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    std::string system;
    std::vector<Circle> const c = parseRegions(readFile(dir.file("sel.reg")), system);
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0].a, 10.5);
    EXPECT_EQ(c[0].label, "1");
    testsupport::RunResult const k = runProgram(
        kRegions, {"--system", "fk5", "--arcsec", "2", "-o", "k.reg", "sel.tbl"}, dir.path());
    ASSERT_EQ(k.status, 0) << k.err;
    std::vector<Circle> const ck = parseRegions(readFile(dir.file("k.reg")), system);
    EXPECT_EQ(system, "fk5");
    ASSERT_EQ(ck.size(), 2u);
    EXPECT_EQ(ck[1].r, 2.0);
}

TEST(RegionsProgram, ReportsMissingFilesAndBadUsage) {
    TempDir dir;
    testsupport::RunResult const missing = runProgram(kRegions, {"none.tbl"}, dir.path());
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "psfpick-regions: error: cannot open file 'none.tbl' for reading\n");
    dir.write("one.tbl", kWithIds.substr(0, kWithIds.find("     205")));
    testsupport::RunResult const noScale =
        runProgram(kRegions, {"--system", "fk5", "one.tbl"}, dir.path());
    EXPECT_EQ(noScale.status, 1);
    EXPECT_EQ(noScale.err,
              "psfpick-regions: error: cannot tell the pixel scale of 'one.tbl': give --arcsec or "
              "--image\n");
    for (std::vector<std::string> const& args : {std::vector<std::string>{},
                                                 {"--system", "galactic", "one.tbl"},
                                                 {"-r", "-1", "one.tbl"},
                                                 {"--ids", "maybe", "one.tbl"},
                                                 {"a", "b"}}) {
        testsupport::RunResult const r = runProgram(kRegions, args, dir.path());
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("\n\nusage: psfpick-regions [options] TABLE\n"), std::string::npos)
            << r.err;
    }
}

}  // namespace
