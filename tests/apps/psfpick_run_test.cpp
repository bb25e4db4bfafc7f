// End-to-end selection runs of the built psfpick on a synthetic field that
// the test writes: image, error image and catalogue with known stars.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "sci/ccs_tan.h"
#include "sci/fits_writer.h"
#include "tests/apps/e2e_support.h"
#include "tests/support/synthetic_field.h"
#include "tests/support/temp_dir.h"

using namespace e2e;
using testsupport::FieldStar;
using testsupport::readFile;
using testsupport::RunResult;
using testsupport::TempDir;

namespace {

constexpr int kSize = 120;           // image of kSize x kSize pixels
constexpr double kFwhm = 3.0;        // of every star, pixels
constexpr double kBeta = 2.9;        // Moffat index of every star
constexpr double kNoiseSigma = 1.0;  // Gaussian noise, also the error image
// World coordinates of the field: CD matrix without rotation.
constexpr double kCrval1 = 150.0, kCrval2 = 30.0, kCrpix = 60.0, kScale = 1e-4;
constexpr uint64_t kNoiseSeed = 20141402;

// Ten stars over 2 x 2 subfields of 60 pixels (see the expectations below).
std::vector<FieldStar> const kStars = {
    {1, 20.3, 25.6, 20000, 0, 0.95},   {2, 45.1, 40.2, 18000, 0, 0.95},
    {3, 85.4, 20.7, 22000, 0, 0.95},   {4, 100.2, 45.5, 21000, 0, 0.20},
    {5, 25.5, 85.5, 19000, 0, 0.95},   {6, 40.5, 100.5, 17000, 0, 0.95},
    {7, 110.2, 115.3, 16000, 0, 0.95}, {8, 90.6, 80.4, 15000, 4, 0.95},
    {9, 95.3, 95.8, 23000, 0, 0.95},   {10, 50.0, 48.0, 500, 0, 0.95},
};

// Writes <dir>/field/img.fits, <dir>/field/e.img.fits (errorRows rows) and
// <dir>/cat.txt. sky is added to every pixel of the image (0 for a
// sky-subtracted image).
void writeField(TempDir const& dir, double sky = 0.0, int errorRows = kSize) {
    std::filesystem::create_directory(dir.file("field"));
    std::vector<std::string> const cards = testsupport::tanCards(kCrval1, kCrval2, kCrpix, kScale);
    sci::writeFitsImage(
        dir.file("field/img.fits"), kSize, kSize,
        testsupport::moffatField(kSize, kSize, kStars, kFwhm, kBeta, kNoiseSigma, sky, kNoiseSeed),
        -32, 1.0, 0.0, cards);
    sci::writeFitsImage(dir.file("field/e.img.fits"), kSize, errorRows,
                        std::vector<double>(static_cast<size_t>(kSize) * errorRows, kNoiseSigma),
                        -32, 1.0, 0.0, cards);
    dir.write("cat.txt", testsupport::catalogueText(kStars));
}

// The table row of star k (0-based) as the program writes it, the sky
// position from the projection of the header above.
std::string tableRow(size_t k) {
    FieldStar const& s = kStars[k];
    sci::CCS_TAN const tan(
        sci::FVector<double, 2>(kCrpix, kCrpix), sci::FMatrix<double, 2, 2>::identity(),
        sci::FVector<double, 2>(-kScale, kScale), sci::FVector<double, 2>(kCrval1, kCrval2));
    float const x = static_cast<float>(s.x), y = static_cast<float>(s.y);
    sci::FVector<double, 2> const sky = tan.solve(sci::FVector<double, 2>(x, y));
    char text[200];
    std::snprintf(text, sizeof text, "%8d    %7.8f    %7.8f  %14.8f  %14.8f  %12.8f\n", s.id, x, y,
                  static_cast<float>(sky(1)), static_cast<float>(sky(2)),
                  static_cast<float>(s.flux));
    return text;
}

// One star per 2 x 2 subfield from a wide flux range, flag and class columns in use.
std::vector<std::string> const kSelection = words(
    "-i cat.txt -o out.tbl --nfields 2,2 -n 1 --min_thresh 0.25 --max_thresh 1 "
    "--flag_column 7 --class_column 8 -c 0.5");

struct FieldRun {
    RunResult result;
    std::string table;
};

FieldRun runIn(TempDir const& dir, std::vector<std::string> const& args) {
    RunResult const r = run(args, dir.path());
    return {r, readFile(dir.file("out.tbl"))};
}

TEST(PsfpickRun, SelectsTheMostIsolatedStarOfEachSubfield) {
    TempDir dir;
    writeField(dir);
    std::vector<std::string> const args = kSelection + words("field/img.fits");
    FieldRun const r = runIn(dir, args);  // error image: field/e.img.fits
    ASSERT_EQ(r.result.status, kStatusSuccess) << r.result.err;
    EXPECT_EQ(r.result.err, "");
    // (1,1): A is more isolated than B (whose neighbour is the faint J): A.
    // (2,1): C and D are each other's neighbours; the tie puts D first, and
    //        D fails the stellarity test; only one of two accepted rows is visited.
    // (1,2): E and F tie the same way: F.
    // (2,2): H fails the flag limit; I, the brightest row, lies above the
    //        flux band (max_thresh 1 ends it at the second brightest); G alone
    //        is accepted, and a lone candidate is not visited.
    EXPECT_EQ(r.table, kTableHeader + tableRow(0) + tableRow(5));
    // Subfields in the order (1,1), (1,2), (2,1), (2,2).
    std::string const notEnough = kNotEnough + "  taken=0\n  P.number=1\n\n";
    EXPECT_EQ(r.result.out, startText(args) + "test_counter=2\ntest_counter=2\ntest_counter=2\n\n" +
                                notEnough + "test_counter=1\n\n" + notEnough);

    // Sorting and rejection that leave one survivor per subfield change nothing.
    FieldRun const sorted =
        runIn(dir, kSelection + words("--nchi_reject 1 --fwhm_reject 2 "
                                      "--fwhm_sort --nchi_sort field/img.fits"));
    ASSERT_EQ(sorted.result.status, kStatusSuccess) << sorted.result.err;
    EXPECT_EQ(sorted.table, r.table);

    // A class_star exactly at the limit passes: the stars' 0.95, read as a
    // float, is this double.
    FieldRun const atLimit =
        runIn(dir, kSelection + words("-c 0.949999988079071044921875 field/img.fits"));
    EXPECT_EQ(atLimit.table, r.table);
}

TEST(PsfpickRun, VerboseRunShowsFitsNearTheTrueWidth) {
    TempDir dir;
    writeField(dir);
    RunResult const r = run(kSelection + words("-v 3 field/img.fits"), dir.path());
    ASSERT_EQ(r.status, kStatusSuccess) << r.err;
    for (char const* part : {"flux range of valid std stars:        15000...22000\n"
                             "flux of brightest possible neighbour: 500\n\n",
                             "searching for 1 stars in [1:61,1:61]\n",
                             "searching for 1 stars in [61:120,61:120]\n", "end measuring:\n"})
        EXPECT_NE(r.out.find(part), std::string::npos) << part;
    // Every fitted row of the console echo (stars 1 and 6) ends with nchi and FWHM.
    int rows = 0;
    for (size_t at = r.out.find("\n       1 "); at != std::string::npos;
         at = r.out.find("\n       6 ", at + 1)) {
        std::string const line = r.out.substr(at + 1, r.out.find('\n', at + 1) - at - 1);
        EXPECT_NEAR(std::stod(line.substr(line.rfind(' ') + 1)), kFwhm, 0.05 * kFwhm)
            << line;  // noise of S/N ~ 1000 peaks
        ++rows;
    }
    EXPECT_EQ(rows, 2);
}

TEST(PsfpickRun, BadPixelsNearTheCentreRefuseACandidate) {
    TempDir dir;
    writeField(dir);
    // A mask file of ones, with 0 (bad) at offset (1, 1) from star A's pixel
    // (20, 26): within r (r - 1) = 2 of the centre for r = 2.
    sci::MArray<float, 2> mask(kSize, kSize);
    mask = 1.0f;
    mask(21, 27) = 0.0f;
    sci::writeFitsImage(dir.file("mask.fits"), mask, -32);
    std::vector<std::string> const args = kSelection + words("-r 2 field/img.fits mask.fits");
    FieldRun const refused = runIn(dir, args);
    ASSERT_EQ(refused.result.status, kStatusSuccess) << refused.result.err;
    EXPECT_EQ(refused.table, kTableHeader + tableRow(5));

    // At offset (2, 1), u^2 + v^2 = 5 > 2: tolerated.
    mask(21, 27) = 1.0f;
    mask(22, 27) = 0.0f;
    sci::writeFitsImage(dir.file("mask.fits"), mask, -32);
    FieldRun const tolerated = runIn(dir, args);
    ASSERT_EQ(tolerated.result.status, kStatusSuccess) << tolerated.result.err;
    EXPECT_EQ(tolerated.table, kTableHeader + tableRow(0) + tableRow(5));
}

// The files searched for bad pixels are opened when the first candidate is
// tested, so a run that tests none never needs them.
TEST(PsfpickRun, BadPixelFilesAreOpenedWhenACandidateIsFirstTested) {
    TempDir dir;
    writeField(dir);
    // Only the second brightest star is a candidate: no subfield has two
    // accepted rows.
    RunResult const untested = run(words("-i cat.txt -o out.tbl --nfields 2,2 --min_thresh 0.99 "
                                         "--max_thresh 1 -r 2 field/img.fits missing.fits"),
                                   dir.path());
    EXPECT_EQ(untested.status, kStatusSuccess) << untested.err;
    EXPECT_EQ(untested.err, kNoColumnsWarning);

    FieldRun const tested = runIn(dir, kSelection + words("-r 2 field/img.fits missing.fits"));
    EXPECT_EQ(tested.result.status, kStatusRunFailed);
    EXPECT_EQ(tested.result.err, "EXCEPTION: cannot open file 'missing.fits' for reading\n");
    EXPECT_EQ(tested.table, kTableHeader);
}

// A sky left in the image fails every fit (a warning); an error image of
// another size stops the run before any row is written.
TEST(PsfpickRun, UnsuitableImagesGiveNoRows) {
    TempDir sky;
    writeField(sky, 5000.0);
    FieldRun const r = runIn(sky, kSelection + words("field/img.fits"));
    ASSERT_EQ(r.result.status, kStatusSuccess) << r.result.err;
    EXPECT_EQ(r.table, kTableHeader);
    EXPECT_EQ(r.result.err, kEveryFitFailed);

    TempDir mismatch;
    writeField(mismatch, 0.0, kSize - 1);
    FieldRun const m = runIn(mismatch, kSelection + words("field/img.fits"));
    EXPECT_EQ(m.result.status, kStatusRunFailed);
    EXPECT_EQ(m.result.err,
              "EXCEPTION: error image 'field/e.img.fits' has 120 x 119 pixels, but image "
              "'field/img.fits' has 120 x 120\n");
    EXPECT_EQ(m.table, kTableHeader);
}

TEST(PsfpickRun, PassThroughWritesEveryRowWithFlagsAndRunningNumbers) {
    TempDir dir;
    dir.write("cat.txt", "# x y flux flag\n12.5 7 100 3\n# comment\n1e3 -2 2.5 0\n");
    std::vector<std::string> const args =
        words("-i cat.txt -o out.tbl -n 0 --id_column 0 -x 1 --flux_column 3 --flag_column 4 -v 1");
    FieldRun const r = runIn(dir, args);
    ASSERT_EQ(r.result.status, kStatusSuccess) << r.result.err;
    EXPECT_EQ(r.table,
              "#     id          x          y              RA             DEC          flux       "
              "flag\n#\n"
              "       1    12.50000000    7.00000000      0.00000000     0.00000000  100.00000000"
              "       3\n"
              "       2    1000.00000000    -2.00000000      0.00000000     0.00000000    "
              "2.50000000       0\n");
    // The echo in default notation: %g with 3, 8, 2, 3 and 4 significant digits.
    auto echoRow = [](int n, double x, double y, double flux, int flag) {
        char text[240];
        std::snprintf(text, sizeof text,
                      "%8d    %7.3g    %7.3g  %14.8g  %13.8g  %12.2g  %14.3g  %15.3g  %9d  %11.4g  "
                      "%11.4g  %11.4g\n",
                      n, x, y, 0.0, 0.0, flux, 0.0, 0.0, flag, -1.0, 0.0, 0.0);
        return std::string(text);
    };
    EXPECT_EQ(r.result.out,
              startText(args) + echoRow(1, 12.5, 7, 100, 3) + echoRow(2, 1000, -2, 2.5, 0));
}

}  // namespace
