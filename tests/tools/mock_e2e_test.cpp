// The files of psfpick-mock, and psfpick on them: it selects stars on the
// mock field and measures the widths the mock rendered (within 2 % at high
// S/N) where the PSF varies over the field.
#include <gtest/gtest.h>

#include <map>

#include "tests/tools/tool_test_util.h"
#include "tools/fits_image.h"

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

TEST(MockProgram, WritesImageErrorImageCatalogueAndTruth) {
    for (char const* name : {"f.fits", "e.f.fits"}) {
        tools::FloatImage const image = tools::readFitsImage(mockFile(name));
        EXPECT_EQ(std::vector<long>({image.nx, image.ny}), std::vector<long>({512, 512})) << name;
    }
    // 300 rows of 8 columns; the truth: 300 rows of 12 columns.
    std::string const cat = readFile(mockFile("f.cat")), truth = readFile(mockFile("f.truth"));
    EXPECT_EQ(numberRows(cat, 8).size(), 300u);
    EXPECT_EQ(numberRows(truth, 12).size(), 300u);
    // The first source as both files write it (this seed's random stream).
    EXPECT_NE(cat.find("\n         1    264.0078     92.7900  202.46877264  +47.18180999       "
                       "6926.126    0  0.982\n"),
              std::string::npos);
    EXPECT_NE(truth.find("\n1 264.06795 92.74698 7038.6238 5.34939 4.54698 30.0000 4.94819 2.9000 "
                         "189.0106 0 0\n"),
              std::string::npos);
}

TEST(MockEndToEnd, PsfpickMeasuresTheRenderedWidths) {
    TempDir dir;
    RunResult const run =
        runProgram(PSFPICK_EXE,
                   {"-i", mockFile("f.cat"), "-o", dir.file("f.tbl"), "--nfields", "3,3", "-n", "3",
                    "--flag_column", "7", "-r", "3", "-v", "1", mockFile("f.fits")},
                   dir.path());
    ASSERT_EQ(run.status, 0) << run.err;
    // Truth rows: id x y flux fwhm1 fwhm2 angle fwhm beta peak saturated partner.
    std::map<long, std::vector<double>> truth;
    for (std::vector<double> const& t : numberRows(readFile(mockFile("f.truth")), 12))
        truth[static_cast<long>(t[0])] = t;
    // Console rows of -v 1: id x y RA DEC flux neighbour_dist neighbour_flux
    // neighbour_rel flags class_star nchi FWHM.
    std::vector<std::vector<double>> const rows = numberRows(run.out, 13);
    ASSERT_EQ(rows.size(), numberRows(readFile(dir.file("f.tbl")), 6).size());
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
}

}  // namespace
