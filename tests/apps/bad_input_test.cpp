// Bad inputs to the built psfpick, run as a child process: damaged or odd FITS
// images and error images, broken catalogues, unwritable outputs and numeric
// options at extreme values that the run check accepts. Each case checks the exit
// status, standard error byte for byte and what the output table holds: the
// rows written before a failure, or for a run that goes through, exactly the
// table of an ordinary run that must give the same result.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "sci/fits_writer.h"
#include "tests/apps/e2e_support.h"
#include "tests/support/synthetic_field.h"
#include "tests/support/temp_dir.h"

using namespace e2e;
using testsupport::FieldStar;
using testsupport::readFile;
using testsupport::TempDir;

namespace {

constexpr int kSize = 64;            // image of kSize x kSize pixels
constexpr double kNoiseSigma = 1.0;  // Gaussian noise, also the value of the error image
constexpr uint64_t kNoiseSeed = 19700101;

// Two bright stars in each half of the field (nfields 1,2 cuts it at y = 32),
// a faint one and one that fails the stellarity test; all far from the edges.
std::vector<FieldStar> const kStars = {
    {1, 16.3, 15.6, 20000, 0, 0.95}, {2, 45.2, 20.4, 18000, 0, 0.95},
    {3, 20.6, 46.3, 22000, 0, 0.95}, {4, 47.4, 48.5, 19000, 0, 0.95},
    {5, 32.0, 33.0, 300, 0, 0.95},   {6, 8.5, 56.5, 15000, 0, 0.10},
};
std::string const kCatalogue = testsupport::catalogueText(kStars);

// Stars of FWHM 3 pixels and Moffat index 2.9.
std::vector<double> const kPixels =
    testsupport::moffatField(kSize, kSize, kStars, 3.0, 2.9, kNoiseSigma, 0.0, kNoiseSeed);

// The bytes of a FITS image with the given axes, header cards and pixels
// stored as bitpix; without pixels, the header alone.
std::string fitsBytes(int bitpix, std::vector<long> const& axes, std::vector<double> const& pixels,
                      std::vector<std::string> const& extra = {}) {
    std::vector<std::string> cards = sci::fitsImageCards(bitpix, axes);
    cards.insert(cards.end(), extra.begin(), extra.end());
    return sci::fitsHeaderBlock(cards) + (pixels.empty() ? "" : sci::fitsDataBlock(pixels, bitpix));
}

std::vector<std::string> const kWcs = testsupport::tanCards(150.0, 30.0, 32.0, 1e-4);

std::string const kImageBytes = fitsBytes(-32, {kSize, kSize}, kPixels, kWcs);
std::string const kErrorBytes =
    fitsBytes(-32, {kSize, kSize}, std::vector<double>(kSize* kSize, kNoiseSigma));

// Two stars per half of the field, stamps of 11 x 11 pixels, every flux
// accepted, the flag and stellarity columns in use.
std::string const kBase =
    "-i cat.txt -o out.tbl -n 2 --nfields 1,2 --min_thresh 0 --max_thresh 1 --boxlen 5 "
    "--flag_column 7 --class_column 8 -c 0.5 ";

// kRows: the rows of stars 1 and 2 (lower half) and 4 and 5 (upper half); the
// ordinary run selects all four.
std::vector<std::string> const kRows = lines(expectedText("bad_input_rows.txt"));
std::string const kGoodTable = kTableHeader + kRows[0] + kRows[1] + kRows[2] + kRows[3];

// Damaged images and error images, odd file arguments, broken catalogues and
// outputs: each run fails naming the file (or, for empty catalogues, gives an
// empty table) and keeps the rows written before. Stamps are read subfield by
// subfield, so a file cut inside its data fails at the first stamp beyond its
// end, after the rows of the lower half (stamps up to row 26) are written.
// Star 1 (pixel 16, 16) is measured first, star 4 (47, 48) first in the upper
// half. Numeric options at 0, negative and extreme values that the run check
// accepts (its refusals: tests/select/entry_test.cpp) fail naming the cause or
// select no star. A header's warnings (an old date, a card the reader rejects, a deprecated
// keyword) are written once per file and run, where the file is first read,
// and change nothing else. An output that is one of the run's inputs fails the
// run and leaves the input as it was; a device that takes no data fails the
// run. A hundred file arguments searched for bad pixels run under the limit
// of 64 open files: the run holds no file open between reads.
TEST(BadInput, DamagedFilesAndExtremeOptionsFailNamingTheCauseAfterTheRowsWrittenSoFar) {
    TempDir const dir;
    std::filesystem::create_directory(dir.file("adir"));
    sci::writeFitsFile(dir.file("other.fits"), kImageBytes);
    // Headers that declare a billion pixels a side in a file of one record.
    std::string const huge = fitsBytes(-32, {1000000000L, 1000000000L}, {}, kWcs);
    sci::writeFitsFile(dir.file("huge.fits"), huge);
    sci::writeFitsFile(dir.file("e.huge.fits"), huge);
    std::string const hugeCatalogue =
        "1 500000000 500000000 0 0 100 0 0.9\n2 600000000 600000000 0 0 200 0 0.9\n"
        "3 700000000 400000000 0 0 300 0 0.9\n";
    std::string const hugeRegion =
        "region [400000000:600000000,400000000:600000000] of FITS file 'huge.fits' extends "
        "beyond the end of the file";
    std::string const columnMissing =
        "Not enough columns in file 'cat.txt'! (line 2 has 8 columns, column ";
    // Cards that warn (the projection's too, harmless in an error image).
    std::vector<std::string> warn = kWcs;
    warn.insert(warn.end(), {"DATE    = '03/03/08'", "DATE-OBS= '29/11/51'",
                             "EPOCH   = " + std::string(14, ' ') + "1951.9"});
    // One mask given 99 times: every argument is opened on its own.
    sci::writeFitsFile(dir.file("mask.fits"),
                       fitsBytes(-32, {kSize, kSize}, std::vector<double>(kSize * kSize, 1.0)));
    std::string masks = "-r 1 img.fits";
    for (int k = 1; k < 100; ++k) masks += " mask.fits";
    std::string const overwritten = "; it would be overwritten";
    // An image stored tile-compressed: an empty primary, the image as a table.
    std::string const logicalTrue = std::string(19, ' ') + "T";
    std::vector<std::string> table = sci::fitsImageCards(8, {8, 2});
    table[0] = "XTENSION= 'BINTABLE'";
    table.insert(table.end(), {"PCOUNT  = 0", "GCOUNT  = 1", "ZIMAGE  = " + logicalTrue});
    std::string const tiled = fitsBytes(8, {}, {}, {"EXTEND  = " + logicalTrue}) +
                              sci::fitsHeaderBlock(table) + std::string(2880, '\0');

    struct Case {
        std::string args;     // after the base options
        std::string message;  // after "EXCEPTION: "; empty for a run that succeeds
        std::string table;
        std::vector<std::pair<std::string, std::string>> files = {};  // replaced: name, bytes
        std::string warnings = "";  // standard error before the exception or the summary
    };
    std::vector<Case> cases = {
        {"img.fits", "", kGoodTable},
        {"img.fits",
         "img.fits: cannot find keyword 'CDELT1  ' (the RA and DEC of the output table are "
         "computed from the catalogue's pixel positions with the image's projection, but the "
         "image lacks CRVAL1, CRVAL2, CRPIX1, CRPIX2 and CD1_1, CD2_2 or CDELT1, CDELT2)",
         kTableHeader,
         {{"img.fits", fitsBytes(-32, {kSize, kSize}, kPixels)}}},
        {"img.fits",
         "region [42:52,43:53] of FITS file 'img.fits' extends beyond the end of the file",
         kTableHeader + kRows[0] + kRows[1],
         {{"img.fits", kImageBytes.substr(0, 2880 + sizeof(float) * kSize * 40)}}},
        {"img.fits",
         "error image 'e.img.fits' has 64 x 64 pixels, but image 'img.fits' has 1000000000 x "
         "1000000000",
         kTableHeader,
         {{"img.fits", huge}}},
        {"img.fits",
         "error image 'e.img.fits' has 64 x 63 pixels, but image 'img.fits' has 64 x 64",
         kTableHeader,
         {{"e.img.fits", fitsBytes(-32, {kSize, kSize - 1}, std::vector<double>(64 * 63, 1.0))}}},
        // The images are checked before the first subfield: also a run that
        // would have measured no star fails.
        {"-c 0.99 other.fits",
         "cannot open file 'e.other.fits' for reading (the error image of image 'other.fits': the "
         "image's file name with 'e.' in front, in the same directory)",
         kTableHeader},
        {"img.fits", "", kTableHeader, {{"cat.txt", ""}}},
        {"-o adir img.fits", "cannot open file 'adir' for writing", kNoTable},
        {"img.fits",
         "img.fits: cannot find keyword 'CDELT1  ' (the file is tile-compressed FITS: decompress "
         "it first)",
         kTableHeader,
         {{"img.fits", tiled}}},
        // The stamps of a large boxlen or check radius (one subfield, so that
        // the search visits star 1) lie beyond the end of the file, which
        // must be found before an array of that size is made.
        {"--boxlen 100000000 huge.fits", hugeRegion, kTableHeader, {{"cat.txt", hugeCatalogue}}},
        {"-r 100000000 --nfields 1,1 huge.fits",
         hugeRegion,
         kTableHeader,
         {{"cat.txt", hugeCatalogue}}},
        {"-b 2147483647 img.fits",
         "nfields 1,2 asks for more subfields than the field has pixels (0 x 0)", kTableHeader},
        {"--id_column 2147483647 img.fits", columnMissing + "2147483647 was asked)", kTableHeader},
        {"--flux_column -2147483648 img.fits", columnMissing + "-2147483648 was asked)",
         kTableHeader},
        // The warnings of img.fits, then those of e.img.fits.
        {"-r 1 img.fits e.img.fits",
         "",
         kTableHeader + kRows[0] + kRows[2],
         {{"img.fits", fitsBytes(-32, {kSize, kSize}, kPixels, warn)},
          {"e.img.fits",
           fitsBytes(-32, {kSize, kSize}, std::vector<double>(kSize * kSize, kNoiseSigma), warn)}},
         expectedText("header_warnings.err")},
        {"-o ./img.fits img.fits",
         "output table './img.fits' is the input file 'img.fits'" + overwritten, kNoTable},
        {"-o /dev/full img.fits", "cannot write to file '/dev/full'", kNoTable},
        {"--report cat.txt img.fits", "report 'cat.txt' is the input file 'cat.txt'" + overwritten,
         kTableHeader},
        {"--report out.tbl img.fits", "report 'out.tbl' is the output table 'out.tbl'",
         kTableHeader},
        // The report is written after the summary.
        {"--report /dev/full img.fits",
         "cannot write to file '/dev/full'",
         kGoodTable,
         {},
         expectedText("bad_input_summary.err")},
        {masks, "", kTableHeader + kRows[0] + kRows[2]},  // as with -r 1 alone
    };
    // No row is selected: column 0 reads 0 in every row, so no neighbour is
    // brighter; the one candidate in the flux range of --min_thresh 1 or
    // --max_thresh 0 is never visited.
    for (char const* option : {"--subfield_border 2147483647", "--flux_column 0",
                               "--flag_limit -2147483648", "--check_radius=2147483647",
                               "--boxlen 2147483647", "-c 1", "--min_thresh 1", "--max_thresh 0"})
        cases.push_back({option + std::string(" img.fits"), "", kTableHeader});
    for (Case const& c : cases) {
        SCOPED_TRACE(c.args.substr(0, 60) + ": " + c.message);
        sci::writeFitsFile(dir.file("img.fits"), kImageBytes);
        sci::writeFitsFile(dir.file("e.img.fits"), kErrorBytes);
        dir.write("cat.txt", kCatalogue);
        for (auto const& [name, bytes] : c.files) sci::writeFitsFile(dir.file(name), bytes);
        TableRun const r = runIn(dir.path(), words(kBase + c.args));
        EXPECT_EQ(r.result.status, c.message.empty() ? kStatusSuccess : kStatusRunFailed);
        EXPECT_EQ(c.message.empty() ? withoutSummary(r.result.err) : r.result.err,
                  c.warnings + (c.message.empty() ? "" : "EXCEPTION: " + c.message + "\n"));
        EXPECT_EQ(r.table, c.table);
        if (c.files.empty()) {
            EXPECT_EQ(readFile(dir.file("cat.txt")), kCatalogue);
            EXPECT_EQ(readFile(dir.file("img.fits")), kImageBytes);
        }
    }
}

}  // namespace
