// Bad inputs to the built psfpick, run as a child process: damaged or odd FITS
// images and error images, broken catalogues, unwritable outputs and every
// numeric option at 0, negative and extreme values. Each case checks the exit
// status, standard error byte for byte and what the output table holds: the
// rows written before a failure, or for a run that goes through, exactly the
// table of an ordinary run that must give the same result.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

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

constexpr int kSize = 64;            // image of kSize x kSize pixels
constexpr double kFwhm = 3.0;        // of every star, pixels
constexpr double kBeta = 2.9;        // Moffat index of every star
constexpr double kNoiseSigma = 1.0;  // Gaussian noise, also the value of the error image
constexpr int kHeaderBytes = 2880;   // one header record holds every card written here
constexpr uint64_t kNoiseSeed = 19700101;

// Two bright stars in each half of the field (nfields 1,2 cuts it at y = 32),
// a faint one and one that fails the stellarity test; all far from the edges.
std::vector<FieldStar> const kStars = {
    {1, 16.3, 15.6, 20000, 0, 0.95}, {2, 45.2, 20.4, 18000, 0, 0.95},
    {3, 20.6, 46.3, 22000, 0, 0.95}, {4, 47.4, 48.5, 19000, 0, 0.95},
    {5, 32.0, 33.0, 300, 0, 0.95},   {6, 8.5, 56.5, 15000, 0, 0.10},
};
std::string const kCatalogue = testsupport::catalogueText(kStars);

std::string numberCard(char const* key, double v) {
    char text[81];
    std::snprintf(text, sizeof text, "%-8s= %20.12G", key, v);
    return text;
}

std::vector<double> fieldPixels() {
    return testsupport::moffatField(kSize, kSize, kStars, kFwhm, kBeta, kNoiseSigma, 0.0,
                                    kNoiseSeed);
}

std::vector<double> constant(long n, double value) {
    return std::vector<double>(static_cast<size_t>(n), value);
}

// The bytes of a FITS image with the given axes, header cards and pixels
// stored as bitpix; without pixels, the header alone (withEnd: its END card).
std::string fitsBytes(int bitpix, std::vector<long> const& axes, std::vector<double> const& pixels,
                      std::vector<std::string> const& extra = {}, bool withEnd = true) {
    std::vector<std::string> cards = sci::fitsImageCards(bitpix, axes);
    cards.insert(cards.end(), extra.begin(), extra.end());
    return sci::fitsHeaderBlock(cards, withEnd) +
           (pixels.empty() ? "" : sci::fitsDataBlock(pixels, bitpix));
}

std::vector<std::string> const kWcs = testsupport::tanCards(150.0, 30.0, 32.0, 1e-4);

std::string headerOnly(int bitpix, std::vector<long> const& axes, bool withEnd = true) {
    return fitsBytes(bitpix, axes, {}, kWcs, withEnd);
}

std::string const kImageBytes = fitsBytes(-32, {kSize, kSize}, fieldPixels(), kWcs);
std::string const kErrorBytes = fitsBytes(-32, {kSize, kSize}, constant(kSize* kSize, kNoiseSigma));

// The message of column col missing from a row of cat.txt on line `line`
// that has `found` columns (the catalogue's rows have 8, after one comment line).
std::string columns(long col, int line = 2, int found = 8) {
    return "Not enough columns in file 'cat.txt'! (line " + std::to_string(line) + " has " +
           std::to_string(found) + (found == 1 ? " column" : " columns") + ", column " +
           std::to_string(col) + " was asked)";
}

// The header record and rows 1..rows of the data of an image.
std::string firstRows(std::string const& bytes, int rows) {
    return bytes.substr(0, kHeaderBytes + sizeof(float) * kSize * rows);
}

// A field in a fresh directory: img.fits, e.img.fits (kNoiseSigma everywhere)
// and cat.txt; reset() writes them again after a case has replaced one.
struct Field {
    Field() { reset(); }
    void reset() const {
        sci::writeFitsFile(dir.file("img.fits"), kImageBytes);
        sci::writeFitsFile(dir.file("e.img.fits"), kErrorBytes);
        dir.write("cat.txt", kCatalogue);
    }
    TempDir dir;
};

// Two stars per half of the field, stamps of 11 x 11 pixels, every flux
// accepted, the flag and stellarity columns in use.
std::vector<std::string> const kBase = words(
    "-i cat.txt -o out.tbl -n 2 --nfields 1,2 --min_thresh 0 --max_thresh 1 --boxlen 5 "
    "--flag_column 7 --class_column 8 -c 0.5");

// What a run left behind: its status, standard error and the output table
// (the file after the last -o; "<no table>" when it does not exist, empty
// for a directory).
struct Outcome {
    int status;
    std::string err;
    std::string table;
};

constexpr char kNoTable[] = "<no table>";

Outcome runOn(Field const& field, std::vector<std::string> const& more) {
    std::vector<std::string> const args = kBase + more;
    std::string output;
    for (size_t k = 0; k + 1 < args.size(); ++k)
        if (args[k] == "-o") output = field.dir.file(args[k + 1]);
    if (std::filesystem::is_regular_file(output)) std::filesystem::remove(output);
    RunResult const r = run(args, field.dir.path());
    return {r.status, r.err, std::filesystem::exists(output) ? readFile(output) : kNoTable};
}

// A run that fails with "EXCEPTION: " + message (succeeds with no message
// but its summary when message is empty) and leaves table behind.
void expectRun(Outcome const& r, std::string const& message, std::string const& table) {
    EXPECT_EQ(r.status, message.empty() ? kStatusSuccess : kStatusRunFailed);
    EXPECT_EQ(message.empty() ? withoutSummary(r.err) : r.err,
              message.empty() ? "" : "EXCEPTION: " + message + "\n");
    EXPECT_EQ(r.table, table);
}

// The lines of a text, each with its newline.
std::vector<std::string> lines(std::string const& text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) out.push_back(line + "\n");
    return out;
}

// The rows of a table (not its '#' header lines) whose y lies below limit.
std::string rowsBelow(std::string const& table, double limit) {
    std::string rows;
    for (std::string const& line : lines(table)) {
        double id = 0, x = 0, y = 0;
        if (line[0] != '#' && std::sscanf(line.c_str(), "%lf %lf %lf", &id, &x, &y) == 3 &&
            y < limit)
            rows += line;
    }
    return rows;
}

// The table of the ordinary run: all four bright stars measured, stars 1 and
// 2 in the lower half; 3 and 4, the most isolated, in the upper one (6 fails
// the stellarity test).
std::string goodTable(Field const& field) {
    Outcome const good = runOn(field, {"img.fits"});
    expectRun(good, "", good.table);
    EXPECT_EQ(good.table.substr(0, kTableHeader.size()), kTableHeader);
    std::string const lower = rowsBelow(good.table, kSize / 2.0);
    EXPECT_EQ(std::count(lower.begin(), lower.end(), '\n'), 2) << good.table;
    EXPECT_EQ(std::count(good.table.begin(), good.table.end(), '\n'), 2 + 4) << good.table;
    return good.table;
}

// Damaged images and error images, odd file arguments, broken catalogues and
// outputs: each run fails naming the file (or, for empty catalogues, gives an
// empty table) and keeps the rows written before. Stamps are read subfield by
// subfield, so a file cut inside its data fails at the first stamp beyond its
// end, after the rows of the lower half (stamps up to row 26) are written.
// Star 1 (pixel 16, 16) is measured first, star 4 (47, 48) first in the upper half.
TEST(BadInput, DamagedFilesFailNamingTheFileAfterTheRowsWrittenSoFar) {
    Field const field;
    std::string const lowerHalf = kTableHeader + rowsBelow(goodTable(field), kSize / 2.0);
    std::filesystem::create_directory(field.dir.file("adir"));
    sci::writeFitsFile(field.dir.file("small.fits"), fitsBytes(-32, {16, 16}, constant(256, 1.0)));
    sci::writeFitsFile(field.dir.file("other.fits"), kImageBytes);
    ASSERT_EQ(mkfifo(field.dir.file("pipe.fits").c_str(), 0600), 0);
    std::string binary;
    for (int k = 0; k < 64 * 256; ++k) binary += static_cast<char>(k % 256);
    std::string const singular = fitsBytes(
        -32, {kSize, kSize}, fieldPixels(),
        {numberCard("CRVAL1", 150.0), numberCard("CRVAL2", 30.0), numberCard("CRPIX1", 32.0),
         numberCard("CRPIX2", 32.0), numberCard("CD1_1", 1e-4), numberCard("CD1_2", 1e-4),
         numberCard("CD2_1", 1e-4), numberCard("CD2_2", 1e-4)});
    std::string const kBitpix = "FITS file has invalid BITPIX (not 8, 16, 32, -32 , -64)";
    auto errorImageOf = [](std::string const& image) {
        return " (the error image of image '" + image +
               "': the image's file name with 'e.' in front, in the same directory)";
    };
    std::string const kTileCompressed = " (the file is tile-compressed FITS: decompress it first)";
    // A tile-compressed image: an empty primary header, then the table that
    // holds the compressed pixels.
    std::string const logicalTrue = std::string(19, ' ') + "T";  // in fixed format
    std::vector<std::string> table = sci::fitsImageCards(8, {16, 4});
    table[0] = "XTENSION= 'BINTABLE'";
    table.insert(table.end(),
                 {numberCard("PCOUNT", 0), numberCard("GCOUNT", 1), "ZIMAGE  = " + logicalTrue});
    std::string const tiles = fitsBytes(8, {}, {}, {"EXTEND  = " + logicalTrue}) +
                              sci::fitsHeaderBlock(table) + std::string(2880, '\0');

    std::string const kNaxis = "img.fits: invalid or insane NAXIS setting (NAXIS negative or 0)";
    struct Case {
        char const* name;
        char const* args;     // after the base options
        std::string message;  // after "EXCEPTION: "; empty for a run that succeeds
        std::string table;
        char const* file = "";  // replaced by bytes for this case
        std::string bytes = "";
    };
    std::vector<Case> const cases = {
        {"header cut before END", "img.fits", "FITS file 'img.fits' ends before the END card",
         kTableHeader, "img.fits", kImageBytes.substr(0, 400)},
        {"header without END", "img.fits", "FITS file 'img.fits' ends before the END card",
         kTableHeader, "img.fits", headerOnly(-32, {kSize, kSize}, false)},
        {"BITPIX 24", "img.fits", "img.fits: " + kBitpix, kTableHeader, "img.fits",
         headerOnly(24, {kSize, kSize})},
        {"NAXIS1 0", "img.fits", kNaxis, kTableHeader, "img.fits", headerOnly(-32, {0, kSize})},
        {"NAXIS2 negative", "img.fits", kNaxis, kTableHeader, "img.fits",
         headerOnly(-32, {kSize, -kSize})},
        {"NAXIS1 beyond int", "img.fits",
         "invalid or insane NAXIS setting (NAXIS1 above 2147483647) in FITS file 'img.fits'",
         kTableHeader, "img.fits", headerOnly(-32, {4294967296L, kSize})},
        {"data segment beyond any address", "img.fits",
         "data segment of FITS file 'img.fits' is too large", kTableHeader, "img.fits",
         headerOnly(-64, {2147483647L, 2147483647L})},
        {"NAXIS 1", "img.fits", "img.fits: cannot find keyword 'NAXIS2  '", kTableHeader,
         "img.fits", headerOnly(-32, {kSize})},
        {"no projection", "img.fits",
         "img.fits: cannot find keyword 'CDELT1  ' (the RA and DEC of the output table are "
         "computed from the catalogue's pixel positions with the image's projection, but the "
         "image lacks CRVAL1, CRVAL2, CRPIX1, CRPIX2 and CD1_1, CD2_2 or CDELT1, CDELT2)",
         kTableHeader, "img.fits", fitsBytes(-32, {kSize, kSize}, fieldPixels())},
        {"image gzip-compressed", "img.fits",
         "img.fits: FITS file not SIMPLE (the file is gzip-compressed: decompress it first, e.g. "
         "with gunzip)",
         kTableHeader, "img.fits", "\x1f\x8b\x08\x08" + kImageBytes.substr(0, 5000)},
        {"image tile-compressed", "img.fits",
         "img.fits: cannot find keyword 'CDELT1  '" + kTileCompressed, kTableHeader, "img.fits",
         tiles},
        {"error image tile-compressed", "img.fits",
         "error image 'e.img.fits' has 0 x 0 pixels, but image 'img.fits' has 64 x 64" +
             kTileCompressed,
         kTableHeader, "e.img.fits", tiles},
        {"CD matrix without inverse, sky positions", "-x -4 img.fits",
         "img.fits: Singular matrix in Gauss-Jordan", kTableHeader, "img.fits", singular},
        {"image cut at the end of its header", "img.fits",
         "region [11:21,11:21] of FITS file 'img.fits' extends beyond the end of the file",
         kTableHeader, "img.fits", kImageBytes.substr(0, kHeaderBytes)},
        {"image cut inside its data", "img.fits",
         "region [42:52,43:53] of FITS file 'img.fits' extends beyond the end of the file",
         lowerHalf, "img.fits", firstRows(kImageBytes, 40)},
        {"image of 10^9 x 10^9 pixels without data", "img.fits",
         "error image 'e.img.fits' has 64 x 64 pixels, but image 'img.fits' has 1000000000 x "
         "1000000000",
         kTableHeader, "img.fits", headerOnly(-32, {1000000000L, 1000000000L})},
        {"error image cut inside its data", "img.fits",
         "region [42:52,43:53] of FITS file 'e.img.fits' extends beyond the end of the file",
         lowerHalf, "e.img.fits", firstRows(kErrorBytes, 40)},
        {"error image of another size", "img.fits",
         "error image 'e.img.fits' has 64 x 63 pixels, but image 'img.fits' has 64 x 64",
         kTableHeader, "e.img.fits", fitsBytes(-32, {kSize, kSize - 1}, constant(64 * 63, 1.0))},
        {"error image with BITPIX 24", "img.fits",
         "e.img.fits: " + kBitpix + errorImageOf("img.fits"), kTableHeader, "e.img.fits",
         headerOnly(24, {kSize, kSize})},
        {"error image missing", "other.fits",
         "cannot open file 'e.other.fits' for reading" + errorImageOf("other.fits"), kTableHeader},
        // The images are checked before the first subfield: also a run that
        // would have measured no star fails.
        {"error image missing, no star stellar", "-c 0.99 other.fits",
         "cannot open file 'e.other.fits' for reading" + errorImageOf("other.fits"), kTableHeader},
        {"image a directory", "adir", "cannot read FITS file 'adir': it is a directory",
         kTableHeader},
        {"image a named pipe without a writer", "pipe.fits",
         "cannot read FITS file 'pipe.fits': not a regular file", kTableHeader},
        {"file argument a directory", "-r 1 img.fits adir",
         "cannot read FITS file 'adir': it is a directory", kTableHeader},
        {"file argument smaller than the image", "-r 1 img.fits small.fits",
         "small.fits: request for illegal region:\n[15:17,15:17] is no subarray of [1:16,1:16]",
         kTableHeader},
        {"empty catalogue", "img.fits", "", kTableHeader, "cat.txt", ""},
        {"catalogue of comments and blank lines", "img.fits", "", kTableHeader, "cat.txt",
         "# x y\n\n   \t\n# 1 2 3 4 5 6\n"},
        {"binary catalogue", "img.fits", columns(2, 1, 1), kTableHeader, "cat.txt", binary},
        {"too few columns", "img.fits", columns(7, 1, 5), kTableHeader, "cat.txt",
         "1 16.3 15.6 0 0\n"},
        {"variables table missing", "--variables nosuch.txt img.fits",
         "Cannot open file 'nosuch.txt'!", kTableHeader},
        {"variables table a directory", "--variables adir img.fits", "Cannot open file 'adir'!",
         kTableHeader},
        {"catalogue a directory", "-i adir img.fits", "Cannot open file 'adir'!", kTableHeader},
        {"output in a missing directory", "-o nodir/out.tbl img.fits",
         "cannot open file 'nodir/out.tbl' for writing", kNoTable},
        {"output a directory", "-o adir img.fits", "cannot open file 'adir' for writing", ""},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        field.reset();
        if (*c.file) sci::writeFitsFile(field.dir.file(c.file), c.bytes);
        expectRun(runOn(field, words(c.args)), c.message, c.table);
    }
}

// Headers that declare a billion pixels a side in a file of one record: the
// stamps of a large boxlen or check radius lie beyond the end of the file,
// which must be found before an array of that size is made.
TEST(BadInput, HugeDeclaredImagesFailBeforeAnyHugeArray) {
    Field const field;
    std::string const huge = headerOnly(-32, {1000000000L, 1000000000L});
    sci::writeFitsFile(field.dir.file("img.fits"), huge);
    sci::writeFitsFile(field.dir.file("e.img.fits"), huge);
    field.dir.write("cat.txt",
                    "1 500000000 500000000 0 0 100 0 0.9\n2 600000000 600000000 0 0 200 0 0.9\n"
                    "3 700000000 400000000 0 0 300 0 0.9\n");
    // One subfield for the check radius, so that the search visits candidates
    // (star 1 first).
    for (char const* option : {"--boxlen 100000000", "-r 100000000 --nfields 1,1"}) {
        SCOPED_TRACE(option);
        expectRun(runOn(field, words(option) + words("img.fits")),
                  "region [400000000:600000000,400000000:600000000] of FITS file 'img.fits' "
                  "extends beyond the end of the file",
                  kTableHeader);
    }
}

// A header's warnings (an old date, a card the reader rejects, a deprecated
// keyword) are written once per file and run, where the file is first read:
// the run reads the image's header for its projection, its size, the stamps
// and the bad-pixel test, and the error image's for the stamps and the
// bad-pixel test. The warnings change nothing else.
TEST(BadInput, HeaderWarningsAreWrittenOncePerFileAndRun) {
    Field const field;
    std::vector<std::string> const args = words("-r 1 img.fits e.img.fits");
    Outcome const plain = runOn(field, args);
    expectRun(plain, "", plain.table);
    EXPECT_GT(plain.table.size(), kTableHeader.size());  // stars were measured
    std::vector<std::string> const warn = {"DATE    = '03/03/08'", "DATE-OBS= '29/11/51'",
                                           numberCard("EPOCH", 1951.9)};
    std::vector<std::string> imageCards = kWcs;
    imageCards.insert(imageCards.end(), warn.begin(), warn.end());
    sci::writeFitsFile(field.dir.file("img.fits"),
                       fitsBytes(-32, {kSize, kSize}, fieldPixels(), imageCards));
    sci::writeFitsFile(field.dir.file("e.img.fits"),
                       fitsBytes(-32, {kSize, kSize}, constant(kSize * kSize, kNoiseSigma), warn));
    std::string const warnings =
        "FitsDate: Assuming date 2008. Date has obsolete syntax.\n" +
        sci::fitsRawCard("DATE-OBS= '29/11/51'") +
        "\nFitsDate: cannot handle dates before Jan. 1st 1970.\nAdding to junk list\n"
        "EPOCH is deprecated, renaming to EQUINOX when writing\n";
    Outcome const warned = runOn(field, args);
    EXPECT_EQ(warned.status, kStatusSuccess);
    EXPECT_EQ(withoutSummary(warned.err), warnings + warnings);  // img.fits, then e.img.fits
    EXPECT_EQ(warned.table, plain.table);
}

// Odd but readable files give the ordinary result: a cube (its first plane is
// read), an error image of bytes (BITPIX 8, the same values).
TEST(BadInput, CubesAndByteErrorImagesReadLikeTheOrdinaryImages) {
    Field const field;
    std::string const good = goodTable(field);
    std::vector<double> cube = fieldPixels();
    cube.resize(2 * kSize * kSize, 0.0);
    sci::writeFitsFile(field.dir.file("img.fits"), fitsBytes(-32, {kSize, kSize, 2}, cube, kWcs));
    sci::writeFitsFile(field.dir.file("e.img.fits"),
                       fitsBytes(8, {kSize, kSize}, constant(kSize * kSize, kNoiseSigma)));
    expectRun(runOn(field, {"img.fits"}), "", good);
}

// An output that is one of the run's inputs fails the run and is left as it
// was; a device that takes no data fails the run instead of ending as if the
// table were written.
TEST(BadInput, OutputsThatAreInputsOrDevicesFailTheRun) {
    Field const field;
    for (auto const& [output, file, bytes] :
         {std::tuple<char const*, char const*, std::string>{"cat.txt", "cat.txt", kCatalogue},
          {"./img.fits", "img.fits", kImageBytes}}) {
        SCOPED_TRACE(output);
        RunResult const r =
            run(kBase + words("-o " + std::string(output) + " img.fits"), field.dir.path());
        EXPECT_EQ(r.status, kStatusRunFailed);
        EXPECT_EQ(r.err, "EXCEPTION: output table '" + std::string(output) +
                             "' is the input file '" + file + "'; it would be overwritten\n");
        EXPECT_EQ(readFile(field.dir.file(file)), bytes);
    }
    RunResult const full = run(kBase + words("-o /dev/full img.fits"), field.dir.path());
    EXPECT_EQ(full.status, kStatusRunFailed);
    EXPECT_EQ(full.err, "EXCEPTION: cannot write to file '/dev/full'\n");

    // The report likewise, and it may not be the output table either.
    for (auto const& [report, message] : std::vector<std::pair<char const*, std::string>>{
             {"cat.txt", "report 'cat.txt' is the input file 'cat.txt'; it would be overwritten"},
             {"out.tbl", "report 'out.tbl' is the output table 'out.tbl'"},
             {"/dev/full", "cannot write to file '/dev/full'"}}) {
        SCOPED_TRACE(report);
        RunResult const r =
            run(kBase + words("--report " + std::string(report) + " img.fits"), field.dir.path());
        EXPECT_EQ(r.status, kStatusRunFailed);
        EXPECT_EQ(r.err.substr(r.err.find("EXCEPTION: ")), "EXCEPTION: " + message + "\n");
    }
    EXPECT_EQ(readFile(field.dir.file("cat.txt")), kCatalogue);
}

// Catalogue text that does not read as numbers gives the run of its numeric
// reading: a position or flux that is not wholly a number (INDEF, --, 5x)
// reads as NaN, and rows with a position or flux that is not finite take no
// part; text in the flag and class columns reads as 0; lines of 10 megabytes
// (a comment, a long last field) change nothing.
TEST(BadInput, OddCatalogueTextGivesTheRunOfItsNumericReading) {
    Field const field;
    std::string const tenMegabytes(10 * 1000 * 1000, 'x');
    auto replaced = [](std::string const& from, std::string const& to) {
        std::string text = kCatalogue;
        return text.replace(text.find(from), from.size(), to);
    };
    struct Case {
        char const* name;
        std::string odd;
        std::string plain;
        bool sameRows = true;  // plain holds every row of odd
    };
    std::vector<Case> const cases = {
        {"text in number columns",
         replaced("5 32.0 33.0 0 0 300.0", "5 32.0 33.0 0 0 INDEF") +
             "7 x? 12.5 0 0 9e3 0 0.9\n8 50 -- 0 0 9e3 0 0.9\n9 56 8 0 0 4e4x 0 0.9\n" +
             "10 56.5 56 0 0 9e3 a b\n",
         replaced("5 32.0 33.0 0 0 300.0", "5 32.0 33.0 0 0 nan") +
             "7 nan 12.5 0 0 9e3 0 0.9\n8 50 nan 0 0 9e3 0 0.9\n9 56 8 0 0 nan 0 0.9\n" +
             "10 56.5 56 0 0 9e3 0 0\n"},
        {"nan and inf",
         kCatalogue + "7 nan 10 0 0 5000 0 0.9\n8 20 inf 0 0 5000 0 0.9\n9 30 30 0 0 NaN 0 0.9\n"
                      "10 40 40 0 0 -inf 0 0.9\n11 1e39 40 0 0 5000 0 0.9\n",
         kCatalogue, false},
        {"lines of 10 megabytes",
         "#" + tenMegabytes + "\n" + replaced("0.95\n", "0.95 " + tenMegabytes + "\n"), kCatalogue},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        field.dir.write("cat.txt", c.plain);
        Outcome const plain = runOn(field, {"img.fits"});
        // The whole catalogue passed through (number 0): every row, such a field as nan.
        Outcome const plainAll = c.sameRows ? runOn(field, words("-n 0 img.fits")) : plain;
        field.dir.write("cat.txt", c.odd);
        expectRun(runOn(field, {"img.fits"}), "", plain.table);
        if (c.sameRows) expectRun(runOn(field, words("-n 0 img.fits")), "", plainAll.table);
        expectRun(plain, "", plain.table);
        EXPECT_GT(plain.table.size(), kTableHeader.size());
    }
}

// How a run with one option at an extreme value ends.
enum Expect {
    kRefused,     // status 255, the notice and an empty line, no table
    kFailed,      // status 1, "EXCEPTION: " + text, the table header only
    kHeaderOnly,  // status 0, stderr text, the table header only
    kSameAs,      // status 0, stderr text, the table of the run with the reference options
};

struct OptionCase {
    char const* option;  // added to the base options
    Expect expect;
    std::string text;            // notice, message or standard error
    char const* reference = "";  // kSameAs: the ordinary options that give the same table
};

std::string const kNfieldsNotice = "error: nfields must be at least 1 in x and in y";
std::string const kBoxlenNotice = "error: boxlen must be at least 1";
std::string fwhmRangeNotice(std::string const& value) {
    return "error: --fwhm_range must be two widths in pixels, the lowest above 0 and not above "
           "the highest, not " +
           value;
}
std::string const kClassStarWarning =
    "warning: -c/--class_star has no effect without --class_column\n";

// Every numeric option at 0, at a negative and at an extreme value: a
// refusal, a failure naming the cause, or the result of an ordinary run
// (values beyond every row, count or flux clamp to the nearest ordinary one).
// Value texts that are not numbers and flux quantiles or stellarities
// outside [0, 1] are refused.
std::vector<OptionCase> const kOptionCases = {
    {"--nfields 0,1", kRefused, kNfieldsNotice},
    {"--nfields 1,-2147483648", kRefused, kNfieldsNotice},
    {"--nfields 2147483647,1", kRefused,
     "error: nfields must not ask for more than 1000000 subfields"},
    {"--nfields 1000,1000", kFailed,
     "nfields 1000,1000 asks for more subfields than the field has pixels (64 x 64)"},
    {"-n -2147483648", kRefused, "error: number must not be negative"},
    {"-n 2147483647", kSameAs, "", "-n 10"},
    {"-b 0", kSameAs, ""},
    {"-b -2147483648", kRefused, "error: border must not be negative"},
    {"-b 2147483647", kFailed,
     "nfields 1,2 asks for more subfields than the field has pixels (0 x 0)"},
    {"--subfield_border 0", kSameAs, ""},
    {"--subfield_border -2147483648", kRefused, "error: subfield_border must not be negative"},
    {"--subfield_border 2147483647", kHeaderOnly, ""},
    {"--id_column 2147483647", kFailed, columns(2147483647)},
    {"-x 0", kRefused, "error: x_column must not be 0 (x column, or minus the RA column)"},
    {"-x -2147483648", kFailed, columns(2147483647)},
    {"-x 2147483647", kFailed, columns(2147483647)},
    // Column 0 reads 0 in every row: no neighbour is brighter than 0, so no
    // row is a candidate.
    {"--flux_column 0", kHeaderOnly, ""},
    {"--flux_column -2147483648", kFailed, columns(-2147483648L)},
    {"--flux_column 2147483647", kFailed, columns(2147483647)},
    {"--flag_column 0", kSameAs, ""},
    {"--flag_column -2147483648", kSameAs, ""},
    {"--flag_column 2147483647", kFailed, columns(2147483647)},
    {"--flag_limit 0", kSameAs, ""},
    {"--flag_limit -2147483648", kHeaderOnly, ""},
    {"--flag_limit 2147483647", kSameAs, ""},
    {"--class_column 0", kSameAs, kClassStarWarning, "-c 0"},
    {"--class_column -2147483648", kSameAs, kClassStarWarning, "-c 0"},
    {"--class_column 2147483647", kFailed, columns(2147483647)},
    {"-r 0", kSameAs, ""},
    {"-r -2147483648", kRefused, "error: check radius (-r) must not be negative"},
    {"-r 2147483647", kHeaderOnly, ""},
    {"-v 0", kSameAs, ""},
    {"-v -2147483648", kSameAs, ""},
    {"-v 2147483647", kSameAs, ""},
    {"--nchi_reject 0", kSameAs, ""},
    {"--nchi_reject -2147483648", kSameAs, ""},
    {"--nchi_reject 2147483647", kSameAs, "", "--nchi_reject 1"},
    {"--fwhm_reject 0", kSameAs, ""},
    {"--fwhm_reject -2147483648", kSameAs, ""},
    {"--fwhm_reject 2147483647", kSameAs, "", "--fwhm_reject 2"},
    {"--boxlen 0", kRefused, kBoxlenNotice},
    {"--boxlen -2147483648", kRefused, kBoxlenNotice},
    {"--boxlen 2147483647", kHeaderOnly, ""},
    {"-c 0", kSameAs, "", "--class_column 0"},
    {"-c 1", kHeaderOnly, ""},
    {"-c -1e308", kRefused,
     "error: --class_star (-c) must be a stellarity between 0 and 1, not -1e+308"},
    {"-c 80", kRefused, "error: --class_star (-c) must be a stellarity between 0 and 1, not 80"},
    {"--neighbour_thresh 0", kSameAs, ""},
    {"--neighbour_thresh 1", kSameAs, "", "--neighbour_thresh 0.95"},  // both the 6th of 6 fluxes
    {"--neighbour_thresh -1e308", kRefused,
     "error: --neighbour_thresh must be a flux quantile between 0 and 1, not -1e+308"},
    {"--neighbour_thresh 1e308", kRefused,
     "error: --neighbour_thresh must be a flux quantile between 0 and 1, not 1e+308"},
    {"--min_thresh -1e308", kRefused,
     "error: --min_thresh must be a flux quantile between 0 and 1, not -1e+308"},
    {"--min_thresh 20", kRefused,
     "error: --min_thresh must be a flux quantile between 0 and 1, not 20"},
    // One candidate (the second brightest, or the faintest) in the flux range:
    // the subfield search visits at most test_counter - 1 candidates, so none.
    {"--min_thresh 1", kHeaderOnly, ""},
    {"--max_thresh 0", kHeaderOnly, ""},
    {"--max_thresh -1e308", kRefused,
     "error: --max_thresh must be a flux quantile between 0 and 1, not -1e+308"},
    {"--max_thresh 99", kRefused,
     "error: --max_thresh must be a flux quantile between 0 and 1, not 99"},
    {"--min_thresh 0.9 --max_thresh 0.5", kRefused,
     "error: --min_thresh 0.9 is above --max_thresh 0.5: the flux band would be empty"},
    {"--fwhm_range 0,20", kRefused, fwhmRangeNotice("0,20")},
    {"--fwhm_range 1e308,1", kRefused, fwhmRangeNotice("1e+308,1")},
    {"--fwhm_range -1e308,-1e308", kRefused, fwhmRangeNotice("-1e+308,-1e+308")},
    {"--beta -1e308", kRefused, "error: --beta must be 0 (fitted) or above, not -1e+308"},
    {"--subsample 0", kRefused, "error: --subsample must be from 1 to 15, not 0"},
    {"--subsample -2147483648", kRefused,
     "error: --subsample must be from 1 to 15, not -2147483648"},
    {"--subsample 2147483647", kRefused, "error: --subsample must be from 1 to 15, not 2147483647"},
    {"--threads 1", kSameAs, ""},
    {"--threads 256", kSameAs, ""},
    {"--threads -1", kRefused, "error: --threads must be from 0 (every core) to 256, not -1"},
    {"--threads 2147483647", kRefused,
     "error: --threads must be from 0 (every core) to 256, not 2147483647"},
    // Values that are not wholly numbers, and options after the file arguments.
    {"-n five", kRefused, "error: --number needs a whole number, not 'five'"},
    {"-n 5x", kRefused, "error: --number needs a whole number, not '5x'"},
    {"--number=", kRefused, "error: --number needs a whole number, not ''"},
    {"--nfields 3x3", kRefused,
     "error: --nfields needs whole numbers separated by commas, not '3x3'"},
    {"--check_radius 2.5", kRefused, "error: --check_radius needs a whole number, not '2.5'"},
    {"-c nan", kRefused, "error: --class_star needs a number, not 'nan'"},
    {"img.fits -n 5", kRefused,
     "error: option '-n' after the file arguments: options come before the files"},
    // A value after "=" and the second name of the check radius.
    {"--fwhm_reject=2147483647", kSameAs, "", "--fwhm_reject 2"},
    {"--check_radius=2147483647", kHeaderOnly, ""},
};

TEST(BadInput, ExtremeOptionValuesAreRefusedOrClampedToOrdinaryRuns) {
    Field const field;
    for (OptionCase const& c : kOptionCases) {
        SCOPED_TRACE(c.option);
        Outcome const r = runOn(field, words(c.option) + words("img.fits"));
        switch (c.expect) {
            case kRefused:
                EXPECT_EQ(r.status, kStatusRefused);
                EXPECT_EQ(r.err, c.text + "\n\n");
                EXPECT_EQ(r.table, kNoTable);
                break;
            case kFailed:
                expectRun(r, c.text, kTableHeader);
                break;
            case kHeaderOnly:
            case kSameAs: {
                std::string table = kTableHeader;
                if (c.expect == kSameAs) {
                    Outcome const reference = runOn(field, words(c.reference) + words("img.fits"));
                    EXPECT_EQ(reference.status, kStatusSuccess);
                    EXPECT_GT(reference.table.size(), kTableHeader.size());
                    table = reference.table;
                }
                EXPECT_EQ(r.status, kStatusSuccess);
                EXPECT_EQ(withoutSummary(r.err), c.text);
                EXPECT_EQ(r.table, table);
                break;
            }
        }
    }
}

// The options that change the layout of the table: the id column numbered per
// subfield (0) or left out (negative), and the whole catalogue passed through
// (number 0).
TEST(BadInput, IdColumnAndNumberAtZeroOrNegativeChangeOnlyTheLayout) {
    Field const field;
    std::string const good = goodTable(field);
    std::string const lower = rowsBelow(good, kSize / 2.0);
    std::string const upper = good.substr(kTableHeader.size() + lower.size());
    constexpr size_t kIdField = 8 + 4;  // width 8 and four blanks

    // id_column 0: rows numbered from 1 in each subfield; negative: no id in
    // the header or the rows.
    std::string numbered = kTableHeader;
    std::string withoutIds =
        "#     x          y              RA             DEC          flux\n#\n";
    for (std::string const& half : {lower, upper}) {
        int n = 0;
        for (std::string const& row : lines(half)) {
            char id[16];
            std::snprintf(id, sizeof id, "%8d    ", ++n);
            numbered += id + row.substr(kIdField);
            withoutIds += row.substr(kIdField);
        }
    }
    expectRun(runOn(field, words("--id_column 0 img.fits")), "", numbered);
    expectRun(runOn(field, words("--id_column -2147483648 img.fits")), "", withoutIds);

    // number 0: every catalogue row, with its flags; the measured stars keep
    // their position and sky position.
    Outcome const all = runOn(field, words("-n 0 img.fits"));
    expectRun(all, "", all.table);
    std::vector<std::string> const rows = lines(all.table);
    ASSERT_EQ(rows.size(), 2 + kStars.size());
    EXPECT_EQ(rows[0],
              "#     id          x          y              RA             DEC          flux       "
              "flag\n");
    for (std::string const& selected : lines(lower + upper)) {
        double s[5] = {}, p[5] = {};
        ASSERT_EQ(
            std::sscanf(selected.c_str(), "%lf %lf %lf %lf %lf", s, s + 1, s + 2, s + 3, s + 4), 5);
        std::string const& passed = rows[1 + static_cast<size_t>(s[0])];
        ASSERT_EQ(std::sscanf(passed.c_str(), "%lf %lf %lf %lf %lf", p, p + 1, p + 2, p + 3, p + 4),
                  5);
        EXPECT_EQ(std::vector<double>(p, p + 5), std::vector<double>(s, s + 5)) << passed;
    }
}

// A hundred file arguments searched for bad pixels: the run holds no file
// open between reads, so it needs only a handful of descriptors. It runs
// under a limit of 64 open files and gives the table of the image alone
// (the other files hold no bad pixel).
TEST(BadInput, AHundredFileArgumentsRunWithin64OpenFiles) {
    Field const field;
    std::string const ones = fitsBytes(-32, {kSize, kSize}, constant(kSize * kSize, 1.0));
    std::vector<std::string> args = kBase + words("-r 1 img.fits");
    for (int k = 1; k < 100; ++k) {
        args.push_back("mask" + std::to_string(k) + ".fits");
        sci::writeFitsFile(field.dir.file(args.back()), ones);
    }
    std::string script = "ulimit -n 64 && exec '" + std::string(PSFPICK_EXE) + "'";
    for (std::string const& a : args) script += " '" + a + "'";
    RunResult const limited = testsupport::runProgram("/bin/sh", {"-c", script}, field.dir.path());
    EXPECT_EQ(limited.status, kStatusSuccess);
    EXPECT_EQ(withoutSummary(limited.err), "");
    std::string const table = readFile(field.dir.file("out.tbl"));

    Outcome const alone = runOn(field, words("-r 1 img.fits"));
    expectRun(alone, "", table);
    EXPECT_GT(table.size(), kTableHeader.size());
}

}  // namespace
