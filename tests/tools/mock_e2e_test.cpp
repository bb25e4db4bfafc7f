// The tools and psfpick together: psfpick selects stars on mock fields and
// measures the widths the mock rendered (within 2 % at high S/N, also where
// the PSF varies over the field); regions and a PNG are drawn from its table.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "tests/tools/tool_test_util.h"
#include "tools/canvas.h"
#include "tools/star_table.h"

namespace {

using namespace tooltest;

// The mean FWHM psfpick reports against the truth: pixel integration widens
// a 5-pixel star by about 1 %, the noise at these fluxes by a few tenths.
constexpr double kFwhmTolerance = 0.02;
// Stars whose nearest neighbour lies within the fitting stamp (half side 12)
// are measured with the neighbour's light in it; psfpick takes them when
// nothing more isolated is left, so only the others are held to the truth.
constexpr double kStampHalfSide = 12.0;
constexpr size_t kMinIsolatedStars = 6;

TEST(MockEndToEnd, PsfpickMeasuresTheRenderedWidths) {
    for (std::string const slope : {"0,0", "2,-1"}) {
        SCOPED_TRACE("slope " + slope);
        TempDir dir;
        RunResult const mock = runProgram(
            tool("psfpick-mock"),
            {"-o", "f.fits", "--size", "512", "-n", "300", "--fwhm", "5", "--ellipticity", "0.15",
             "--flux-range", "2000,3e5", "--pairs", "0.1", "--seed", "4", "--fwhm-slope", slope},
            dir.path());
        ASSERT_EQ(mock.status, 0) << mock.err;
        RunResult const run =
            runProgram(PSFPICK_EXE,
                       {"-i", "f.cat", "-o", "f.tbl", "--nfields", "3,3", "-n", "3",
                        "--flag_column", "7", "-r", "3", "-v", "1", "f.fits"},
                       dir.path());
        ASSERT_EQ(run.status, 0) << run.err;
        // Truth rows: id x y flux fwhm1 fwhm2 angle fwhm beta peak saturated partner.
        std::map<long, std::vector<double>> truth;
        for (std::vector<double> const& t : numberRows(readFile(dir.file("f.truth")), 12))
            truth[static_cast<long>(t[0])] = t;
        // Console rows of -v 1: id x y RA DEC flux neighbour_dist neighbour_flux
        // neighbour_rel flags class_star nchi FWHM.
        std::vector<std::vector<double>> const rows = numberRows(run.out, 13);
        tools::StarTable const table =
            tools::readStarTable(dir.file("f.tbl"), tools::IdColumn::kAuto);
        ASSERT_EQ(rows.size(), table.rows.size());
        size_t isolated = 0;
        for (std::vector<double> const& r : rows) {
            ASSERT_EQ(r.size(), 13u);
            ASSERT_EQ(truth.count(static_cast<long>(r[0])), 1u);
            std::vector<double> const& t = truth.at(static_cast<long>(r[0]));
            // Flag 0 only: no saturated star, no member of a close pair.
            EXPECT_EQ(r[9], 0);
            EXPECT_EQ(t[10], 0);
            EXPECT_EQ(t[11], 0);
            if (r[6] <= kStampHalfSide) continue;
            ++isolated;
            EXPECT_NEAR(r[12], t[7], kFwhmTolerance * t[7]) << "source " << r[0];
            EXPECT_GT(r[11], 0.8);
            EXPECT_LT(r[11], 1.3);
        }
        EXPECT_GE(isolated, kMinIsolatedStars);
        // The table drawn as regions (3 header lines, a circle per row) and as a picture.
        RunResult const reg = runProgram(tool("psfpick-regions"), {"f.tbl"}, dir.path());
        ASSERT_EQ(reg.status, 0) << reg.err;
        std::string const regions = readFile(dir.file("f.reg"));
        EXPECT_EQ(static_cast<size_t>(std::count(regions.begin(), regions.end(), '\n')),
                  3 + table.rows.size());
        RunResult const png =
            runProgram(tool("psfpick-stamps"), {"--nfields", "3,3", "f.tbl", "f.fits"}, dir.path());
        ASSERT_EQ(png.status, 0) << png.err;
        EXPECT_GT(tools::readPng(dir.file("f.png")).width, 700);
    }
}

}  // namespace
