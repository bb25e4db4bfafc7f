// Bad inputs to the built psfpick, run as a child process: damaged or odd FITS
// images and error images, broken catalogues, unwritable outputs and every
// numeric option at 0, negative and extreme values. Each case checks the exit
// status, standard error byte for byte and what the output table holds: the
// rows written before a failure, or for a run that goes through, exactly the
// table of an ordinary run that must give the same result.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "sci/fits_writer.h"
#include "tests/support/process.h"
#include "tests/support/synthetic_field.h"
#include "tests/support/temp_dir.h"

using testsupport::readFile;
using testsupport::RunResult;
using testsupport::TempDir;

namespace {

constexpr int kSize = 64;            // image of kSize x kSize pixels
constexpr double kFwhm = 3.0;        // of every star, pixels
constexpr double kBeta = 2.9;        // Moffat index of every star
constexpr double kNoiseSigma = 1.0;  // Gaussian noise, also the value of the error image
constexpr int kHeaderBytes = 2880;   // one header record holds every card written here

using testsupport::FieldStar;
using Star = FieldStar;

// Two bright stars in each half of the field (nfields 1,2 cuts it at y = 32),
// a faint one and one that fails the stellarity test; all far from the edges.
std::vector<Star> const kStars = {
    {1, 16.3, 15.6, 20000, 0, 0.95}, {2, 45.2, 20.4, 18000, 0, 0.95},
    {3, 20.6, 46.3, 22000, 0, 0.95}, {4, 47.4, 48.5, 19000, 0, 0.95},
    {5, 32.0, 33.0, 300, 0, 0.95},   {6, 8.5, 56.5, 15000, 0, 0.10},
};
constexpr uint64_t kNoiseSeed = 19700101;

std::string numberCard(char const* key, double v) {
    char text[81];
    std::snprintf(text, sizeof text, "%-8s= %20.12G", key, v);
    return text;
}

std::vector<std::string> wcsCards() {
    return testsupport::tanCards(150.0, 30.0, 32.0, 1e-4);
}

// Moffat stars on noise of kNoiseSigma, sky subtracted.
std::vector<double> fieldPixels() {
    return testsupport::moffatField(kSize, kSize, kStars, kFwhm, kBeta, kNoiseSigma, 0.0,
                                    kNoiseSeed);
}

// The bytes of a FITS image with the given mandatory axes and cards, and data
// of pixels stored as bitpix.
std::string fitsBytes(int bitpix, std::vector<long> const& axes, std::vector<double> const& pixels,
                      std::vector<std::string> const& extra = wcsCards()) {
    std::vector<std::string> cards = sci::fitsImageCards(bitpix, axes);
    cards.insert(cards.end(), extra.begin(), extra.end());
    return sci::fitsHeaderBlock(cards) + sci::fitsDataBlock(pixels, bitpix);
}

std::string const kImageBytes = fitsBytes(-32, {kSize, kSize}, fieldPixels());

std::string catalogueText() {
    return testsupport::catalogueText(kStars);
}

// A field in a fresh directory: img.fits, e.img.fits (kNoiseSigma everywhere)
// and cat.txt.
class Field {
  public:
    Field() {
        sci::writeFitsFile(dir.file("img.fits"), kImageBytes);
        sci::writeFitsFile(
            dir.file("e.img.fits"),
            fitsBytes(-32, {kSize, kSize}, std::vector<double>(kSize * kSize, kNoiseSigma), {}));
        dir.write("cat.txt", catalogueText());
    }

    TempDir dir;
};

// Two stars per half of the field, stamps of 11 x 11 pixels, every flux
// accepted, the flag and stellarity columns in use.
std::vector<std::string> baseArgs() {
    return {"-i",
            "cat.txt",
            "-o",
            "out.tbl",
            "-n",
            "2",
            "--nfields",
            "1,2",
            "--min_thresh",
            "0",
            "--max_thresh",
            "1",
            "--boxlen",
            "5",
            "--flag_column",
            "7",
            "--class_column",
            "8",
            "-c",
            "0.5"};
}

std::vector<std::string> withArgs(std::vector<std::string> args,
                                  std::vector<std::string> const& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

// What a run left behind: its status, standard error and the output table
// ("<no table>" when the file does not exist, empty for a directory).
struct Outcome {
    int status;
    std::string err;
    std::string table;
};

constexpr char kNoTable[] = "<no table>";

Outcome run(Field const& field, std::vector<std::string> const& args,
            std::string const& output = "out.tbl") {
    std::string const table = field.dir.file(output);
    if (std::filesystem::is_regular_file(table)) std::filesystem::remove(table);
    RunResult const r = testsupport::runProgram(PSFPICK_EXE, args, field.dir.path());
    return {r.status, r.err, std::filesystem::exists(table) ? readFile(table) : kNoTable};
}

std::string const kHeader =
    "#     id          x          y              RA             DEC          flux\n#\n";

// The rows of a table (after its two header lines) whose y lies below limit.
std::string rowsBelow(std::string const& table, double limit) {
    std::string rows;
    size_t at = table.find("\n#\n");
    if (at == std::string::npos) return rows;
    for (at += 3; at < table.size();) {
        size_t const end = table.find('\n', at);
        std::string const line = table.substr(at, end - at + 1);
        double id = 0, x = 0, y = 0;
        if (std::sscanf(line.c_str(), "%lf %lf %lf", &id, &x, &y) == 3 && y < limit) rows += line;
        at = end + 1;
    }
    return rows;
}

// The table of the ordinary run: all four bright stars measured.
std::string goodTable(Field const& field) {
    Outcome const good = run(field, withArgs(baseArgs(), {"img.fits"}));
    EXPECT_EQ(good.status, 0) << good.err;
    EXPECT_EQ(good.err, "");
    return good.table;
}

std::string failure(std::string const& message) {
    return "EXCEPTION: " + message + "\n";
}

TEST(BadInput, TheOrdinaryRunMeasuresFourStars) {
    Field const field;
    std::string const table = goodTable(field);
    ASSERT_EQ(table.substr(0, kHeader.size()), kHeader);
    // Stars 1 and 2 in the lower half; 4 and 5, the most isolated, in the upper
    // one (6 fails the stellarity test).
    std::string const lower = rowsBelow(table, kSize / 2.0);
    EXPECT_EQ(std::count(lower.begin(), lower.end(), '\n'), 2) << table;
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 2 + 4) << table;
}

// Cards of an image header without WCS keywords: SIMPLE, BITPIX, NAXIS, NAXISn.
std::string headerOnly(int bitpix, std::vector<long> const& axes, bool withEnd = true) {
    std::vector<std::string> cards = sci::fitsImageCards(bitpix, axes);
    std::vector<std::string> const wcs = wcsCards();
    cards.insert(cards.end(), wcs.begin(), wcs.end());
    return sci::fitsHeaderBlock(cards, withEnd);
}

// A damaged image in place of img.fits: the run fails with message, and the
// table holds what was written before.
struct ImageCase {
    char const* name;
    std::string bytes;
    std::string message;  // after "EXCEPTION: "
};

TEST(BadInput, DamagedImagesFailNamingTheFile) {
    Field const field;
    std::vector<ImageCase> const cases = {
        {"header cut before END", kImageBytes.substr(0, 400),
         "FITS file 'img.fits' ends before the END card"},
        {"header without END", headerOnly(-32, {kSize, kSize}, false),
         "FITS file 'img.fits' ends before the END card"},
        {"BITPIX 24", headerOnly(24, {kSize, kSize}),
         "img.fits: FITS file has invalid BITPIX (not 8, 16, 32, -32 , -64)"},
        {"NAXIS1 0", headerOnly(-32, {0, kSize}),
         "img.fits: invalid or insane NAXIS setting (NAXIS negative or 0)"},
        {"NAXIS2 negative", headerOnly(-32, {kSize, -kSize}),
         "img.fits: invalid or insane NAXIS setting (NAXIS negative or 0)"},
        {"NAXIS1 beyond int", headerOnly(-32, {4294967296L, kSize}),
         "invalid or insane NAXIS setting (NAXIS1 above 2147483647) in FITS file "
         "'img.fits'"},
        {"data segment beyond any address", headerOnly(-64, {2147483647L, 2147483647L}),
         "data segment of FITS file 'img.fits' is too large"},
        {"NAXIS 1", headerOnly(-32, {kSize}), "img.fits: cannot find keyword 'NAXIS2  '"},
        {"no projection", fitsBytes(-32, {kSize, kSize}, fieldPixels(), {}),
         "img.fits: cannot find keyword 'CDELT1  '"},
    };
    for (ImageCase const& c : cases) {
        SCOPED_TRACE(c.name);
        sci::writeFitsFile(field.dir.file("img.fits"), c.bytes);
        Outcome const r = run(field, withArgs(baseArgs(), {"img.fits"}));
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, failure(c.message));
        EXPECT_EQ(r.table, kHeader);
    }

    // A CD matrix that cannot be inverted stops a catalogue in sky coordinates.
    sci::writeFitsFile(field.dir.file("img.fits"),
                       fitsBytes(-32, {kSize, kSize}, fieldPixels(),
                                 {numberCard("CRVAL1", 150.0), numberCard("CRVAL2", 30.0),
                                  numberCard("CRPIX1", 32.0), numberCard("CRPIX2", 32.0),
                                  numberCard("CD1_1", 1e-4), numberCard("CD1_2", 1e-4),
                                  numberCard("CD2_1", 1e-4), numberCard("CD2_2", 1e-4)}));
    Outcome const r = run(field, withArgs(baseArgs(), {"-x", "-4", "img.fits"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, failure("img.fits: Singular matrix in Gauss-Jordan"));
    EXPECT_EQ(r.table, kHeader);
}

// The first kept rows of an image: the header record and rows 1..rows of data.
std::string firstRows(std::string const& bytes, int rows) {
    return bytes.substr(0, kHeaderBytes + sizeof(float) * kSize * rows);
}

// Damaged data, error images and file arguments. Stamps are read subfield by
// subfield, so a file cut inside its data fails at the first stamp beyond its
// end, after the rows of the lower half (stamps up to row 26) are written.
// Star 1 (pixel 16, 16) is measured first, star 4 (47, 48) first in the upper half.
TEST(BadInput, ShortOrMismatchedFilesFailAfterTheRowsWrittenSoFar) {
    Field const field;
    std::string const good = goodTable(field);
    std::string const lowerHalf = kHeader + rowsBelow(good, kSize / 2.0);
    std::string const errorBytes = readFile(field.dir.file("e.img.fits"));
    struct Case {
        char const* name;
        char const* file;  // replaced by bytes
        std::string bytes;
        std::string message;
        std::string table;
    };
    std::vector<Case> const cases = {
        {"image cut at the end of its header", "img.fits", kImageBytes.substr(0, kHeaderBytes),
         "region [11:21,11:21] of FITS file 'img.fits' extends beyond the end of the "
         "file",
         kHeader},
        {"image cut inside its data", "img.fits", firstRows(kImageBytes, 40),
         "region [42:52,43:53] of FITS file 'img.fits' extends beyond the end of the "
         "file",
         lowerHalf},
        {"image of 10^9 x 10^9 pixels without data", "img.fits",
         headerOnly(-32, {1000000000L, 1000000000L}),
         "error image 'e.img.fits' has 64 x 64 pixels, but image 'img.fits' has 1000000000 x "
         "1000000000",
         kHeader},
        {"error image cut inside its data", "e.img.fits", firstRows(errorBytes, 40),
         "region [42:52,43:53] of FITS file 'e.img.fits' extends beyond the end of "
         "the file",
         lowerHalf},
        {"error image of another size", "e.img.fits",
         fitsBytes(-32, {kSize, kSize - 1}, std::vector<double>(kSize * (kSize - 1), 1.0), {}),
         "error image 'e.img.fits' has 64 x 63 pixels, but image 'img.fits' has 64 x 64", kHeader},
        {"error image with BITPIX 24", "e.img.fits", headerOnly(24, {kSize, kSize}),
         "e.img.fits: FITS file has invalid BITPIX (not 8, 16, 32, -32 , -64)", kHeader},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        Field const f;
        sci::writeFitsFile(f.dir.file(c.file), c.bytes);
        Outcome const r = run(f, withArgs(baseArgs(), {"img.fits"}));
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, failure(c.message));
        EXPECT_EQ(r.table, c.table);
    }

    // Missing error image; directories and a smaller file among the file
    // arguments searched for bad pixels.
    std::filesystem::create_directory(field.dir.file("adir"));
    sci::writeFitsFile(field.dir.file("small.fits"),
                       fitsBytes(-32, {16, 16}, std::vector<double>(16 * 16, 1.0), {}));
    sci::writeFitsFile(field.dir.file("other.fits"), kImageBytes);
    ASSERT_EQ(mkfifo(field.dir.file("pipe.fits").c_str(), 0600), 0);
    struct ArgsCase {
        char const* name;
        std::vector<std::string> files;
        std::string message;
    };
    std::vector<ArgsCase> const argsCases = {
        {"error image missing", {"other.fits"}, "cannot open file 'e.other.fits' for reading"},
        {"image a directory", {"adir"}, "cannot read FITS file 'adir': it is a directory"},
        {"image a named pipe without a writer",
         {"pipe.fits"},
         "cannot read FITS file 'pipe.fits': not a regular file"},
        {"file argument a directory",
         {"-r", "1", "img.fits", "adir"},
         "cannot read FITS file 'adir': it is a directory"},
        {"file argument smaller than the image",
         {"-r", "1", "img.fits", "small.fits"},
         "small.fits: request for illegal region:\n[15:17,15:17] is no subarray of [1:16,1:16]"},
    };
    for (ArgsCase const& c : argsCases) {
        SCOPED_TRACE(c.name);
        Outcome const r = run(field, withArgs(baseArgs(), c.files));
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, failure(c.message));
        EXPECT_EQ(r.table, kHeader);
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
    struct Case {
        std::vector<std::string> option;
        std::string message;
    };
    std::vector<Case> const cases = {
        {{"--boxlen", "100000000"},
         "region [400000000:600000000,400000000:600000000] of FITS file 'img.fits' "
         "extends beyond the end of the file"},
        // One subfield, so that the search visits candidates (star 1 first).
        {{"-r", "100000000", "--nfields", "1,1"},
         "region [400000000:600000000,400000000:600000000] of FITS file 'img.fits' "
         "extends beyond the end of the file"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.option[0]);
        Outcome const r = run(field, withArgs(withArgs(baseArgs(), c.option), {"img.fits"}));
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, failure(c.message));
        EXPECT_EQ(r.table, kHeader);
    }
}

// Odd but readable files give the ordinary result: a cube (its first plane is
// read), an error image of bytes (BITPIX 8, the same values).
TEST(BadInput, CubesAndByteErrorImagesReadLikeTheOrdinaryImages) {
    Field const field;
    std::string const good = goodTable(field);
    std::vector<double> cube = fieldPixels();
    cube.resize(2 * kSize * kSize, 0.0);
    sci::writeFitsFile(field.dir.file("img.fits"), fitsBytes(-32, {kSize, kSize, 2}, cube));
    sci::writeFitsFile(
        field.dir.file("e.img.fits"),
        fitsBytes(8, {kSize, kSize}, std::vector<double>(kSize * kSize, kNoiseSigma), {}));
    Outcome const r = run(field, withArgs(baseArgs(), {"img.fits"}));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.table, good);
}

// Catalogues that are empty, binary or short of columns; missing tables and
// outputs that cannot be written.
TEST(BadInput, BrokenTablesAndOutputsFailNamingTheFile) {
    Field const field;
    std::filesystem::create_directory(field.dir.file("adir"));
    std::string binary;
    for (int k = 0; k < 64 * 256; ++k) binary += static_cast<char>(k % 256);
    struct Case {
        char const* name;
        std::string catalogue;
        std::vector<std::string> args;
        std::string output;
        int status;
        std::string err;
        std::string table;
    };
    std::vector<Case> const cases = {
        {"empty catalogue", "", {}, "out.tbl", 0, "", kHeader},
        {"catalogue of comments and blank lines",
         "# x y\n\n   \t\n# 1 2 3 4 5 6\n",
         {},
         "out.tbl",
         0,
         "",
         kHeader},
        {"binary catalogue",
         binary,
         {},
         "out.tbl",
         1,
         failure("Not enough columns in file 'cat.txt'!"),
         kHeader},
        {"too few columns",
         "1 16.3 15.6 0 0\n",
         {},
         "out.tbl",
         1,
         failure("Not enough columns in file 'cat.txt'!"),
         kHeader},
        {"variables table missing",
         catalogueText(),
         {"--variables", "nosuch.txt"},
         "out.tbl",
         1,
         failure("Cannot open file 'nosuch.txt'!"),
         kHeader},
        {"variables table a directory",
         catalogueText(),
         {"--variables", "adir"},
         "out.tbl",
         1,
         failure("Cannot open file 'adir'!"),
         kHeader},
        {"catalogue a directory",
         catalogueText(),
         {"-i", "adir"},
         "out.tbl",
         1,
         failure("Cannot open file 'adir'!"),
         kHeader},
        {"output in a missing directory",
         catalogueText(),
         {"-o", "nodir/out.tbl"},
         "nodir/out.tbl",
         1,
         failure("cannot open file 'nodir/out.tbl' for writing"),
         kNoTable},
        {"output a directory",
         catalogueText(),
         {"-o", "adir"},
         "adir",
         1,
         failure("cannot open file 'adir' for writing"),
         ""},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        field.dir.write("cat.txt", c.catalogue);
        Outcome const r =
            run(field, withArgs(withArgs(baseArgs(), c.args), {"img.fits"}), c.output);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.table, c.table);
    }

    // An output that is one of the run's inputs fails the run and is left as it was.
    struct InputCase {
        std::string output;
        std::string file;
        std::string bytes;
    };
    std::vector<InputCase> const inputCases = {
        {"cat.txt", "cat.txt", catalogueText()},
        {"./img.fits", "img.fits", kImageBytes},
    };
    for (InputCase const& c : inputCases) {
        SCOPED_TRACE(c.output);
        field.dir.write("cat.txt", catalogueText());
        RunResult const r = testsupport::runProgram(
            PSFPICK_EXE, withArgs(baseArgs(), {"-o", c.output, "img.fits"}), field.dir.path());
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, failure("output table '" + c.output + "' is the input file '" + c.file +
                                 "'; it would be overwritten"));
        EXPECT_EQ(readFile(field.dir.file(c.file)), c.bytes);
    }

    // A device that takes no data: the run must not end as if the table were written.
    field.dir.write("cat.txt", catalogueText());
    RunResult const full = testsupport::runProgram(
        PSFPICK_EXE, withArgs(baseArgs(), {"-o", "/dev/full", "img.fits"}), field.dir.path());
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, failure("cannot write to file '/dev/full'"));
}

// Catalogue text that does not read as numbers gives the run of its numeric
// reading: text reads as 0; rows with a position or flux that is not finite
// take no part; lines of 10 megabytes (a comment, a long last field) change
// nothing.
TEST(BadInput, OddCatalogueTextGivesTheRunOfItsNumericReading) {
    Field const field;
    std::string const rows = catalogueText();
    std::string const tenMegabytes(10 * 1000 * 1000, 'x');
    auto replaced = [&rows](std::string const& from, std::string const& to) {
        std::string text = rows;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    struct Case {
        char const* name;
        std::string odd;
        std::string plain;
    };
    std::vector<Case> const cases = {
        {"text in number columns",
         replaced("5 32.0 33.0 0 0 300.0", "5 32.0 33.0 0 0 faint") + "7 x? 12.5 0 0 9e3 a b\n",
         replaced("5 32.0 33.0 0 0 300.0", "5 32.0 33.0 0 0 0") + "7 0 12.5 0 0 9e3 0 0\n"},
        {"nan and inf",
         rows + "7 nan 10 0 0 5000 0 0.9\n8 20 inf 0 0 5000 0 0.9\n9 30 30 0 0 NaN 0 0.9\n"
                "10 40 40 0 0 -inf 0 0.9\n11 1e39 40 0 0 5000 0 0.9\n",
         rows},
        {"lines of 10 megabytes",
         "#" + tenMegabytes + "\n" + replaced("0.95\n", "0.95 " + tenMegabytes + "\n"), rows},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        field.dir.write("cat.txt", c.plain);
        Outcome const plain = run(field, withArgs(baseArgs(), {"img.fits"}));
        field.dir.write("cat.txt", c.odd);
        Outcome const odd = run(field, withArgs(baseArgs(), {"img.fits"}));
        EXPECT_EQ(plain.status, 0);
        EXPECT_EQ(plain.err, "");
        EXPECT_EQ(odd.status, 0);
        EXPECT_EQ(odd.err, "");
        EXPECT_EQ(odd.table, plain.table);
        EXPECT_GT(odd.table.size(), kHeader.size());
    }
}

constexpr char kIntMax[] = "2147483647";
constexpr char kIntMin[] = "-2147483648";
constexpr char kHuge[] = "1e308";
constexpr char kMinusHuge[] = "-1e308";

// How a run with one option at an extreme value ends.
enum class Expect {
    kRefused,     // status 255, the notice and an empty line, no table
    kFailed,      // status 1, "EXCEPTION: " + text, the table header only
    kHeaderOnly,  // status 0, stderr text, the table header only
    kSameAs,      // status 0, stderr text, the table of the run with the reference options
};

struct OptionCase {
    std::vector<std::string> option;  // added to the base options
    Expect expect;
    std::string text;                    // notice, message or standard error
    std::vector<std::string> reference;  // kSameAs: the ordinary options that give the same table
};

std::string const kNotEnoughColumns = "Not enough columns in file 'cat.txt'!";
std::string const kEveryFitFailed =
    "warning: every profile fit failed; check that the image is sky-subtracted, that its error "
    "image matches it, and that boxlen is large enough for the stars\n";

// Every numeric option at 0, at a negative and at an extreme value: a
// refusal, a failure naming the cause, or the result of an ordinary run
// (values beyond every row, count or flux clamp to the nearest ordinary one).
std::vector<OptionCase> const kOptionCases = {
    {{"--nfields", "0,1"}, Expect::kRefused, "error: nfields must be at least 1 in x and in y", {}},
    {{"--nfields", "1,-2147483648"},
     Expect::kRefused,
     "error: nfields must be at least 1 in x and in y",
     {}},
    {{"--nfields", "2147483647,1"},
     Expect::kRefused,
     "error: nfields must not ask for more than 1000000 subfields",
     {}},
    {{"--nfields", "1000,1000"},
     Expect::kFailed,
     "nfields 1000,1000 asks for more subfields than the field has pixels (64 x 64)",
     {}},
    {{"-n", kIntMin}, Expect::kRefused, "error: number must not be negative", {}},
    {{"-n", kIntMax}, Expect::kSameAs, "", {"-n", "10"}},
    {{"-b", "0"}, Expect::kSameAs, "", {}},
    {{"-b", kIntMin}, Expect::kRefused, "error: border must not be negative", {}},
    {{"-b", kIntMax},
     Expect::kFailed,
     "nfields 1,2 asks for more subfields than the field has pixels (0 x 0)",
     {}},
    {{"--subfield_border", "0"}, Expect::kSameAs, "", {}},
    {{"--subfield_border", kIntMin},
     Expect::kRefused,
     "error: subfield_border must not be negative",
     {}},
    {{"--subfield_border", kIntMax}, Expect::kHeaderOnly, "", {}},
    {{"--id_column", kIntMax}, Expect::kFailed, kNotEnoughColumns, {}},
    {{"-x", "0"},
     Expect::kRefused,
     "error: x_column must not be 0 (x column, or minus the RA column)",
     {}},
    {{"-x", kIntMin}, Expect::kFailed, kNotEnoughColumns, {}},
    {{"-x", kIntMax}, Expect::kFailed, kNotEnoughColumns, {}},
    // Column 0 reads 0 in every row: no neighbour is brighter than 0, so no
    // row is a candidate.
    {{"--flux_column", "0"}, Expect::kHeaderOnly, "", {}},
    {{"--flux_column", kIntMin}, Expect::kFailed, kNotEnoughColumns, {}},
    {{"--flux_column", kIntMax}, Expect::kFailed, kNotEnoughColumns, {}},
    {{"--flag_column", "0"}, Expect::kSameAs, "", {}},
    {{"--flag_column", kIntMin}, Expect::kSameAs, "", {}},
    {{"--flag_column", kIntMax}, Expect::kFailed, kNotEnoughColumns, {}},
    {{"--flag_limit", "0"}, Expect::kSameAs, "", {}},
    {{"--flag_limit", kIntMin}, Expect::kHeaderOnly, "", {}},
    {{"--flag_limit", kIntMax}, Expect::kSameAs, "", {}},
    {{"--class_column", "0"}, Expect::kSameAs, "", {"-c", "0"}},
    {{"--class_column", kIntMin}, Expect::kSameAs, "", {"-c", "0"}},
    {{"--class_column", kIntMax}, Expect::kFailed, kNotEnoughColumns, {}},
    {{"-r", "0"}, Expect::kSameAs, "", {}},
    {{"-r", kIntMin}, Expect::kRefused, "error: check radius (-r) must not be negative", {}},
    {{"-r", kIntMax}, Expect::kHeaderOnly, "", {}},
    {{"-v", "0"}, Expect::kSameAs, "", {}},
    {{"-v", kIntMin}, Expect::kSameAs, "", {}},
    {{"-v", kIntMax}, Expect::kSameAs, "", {}},
    {{"--nchi_reject", "0"}, Expect::kSameAs, "", {}},
    {{"--nchi_reject", kIntMin}, Expect::kSameAs, "", {}},
    {{"--nchi_reject", kIntMax}, Expect::kSameAs, "", {"--nchi_reject", "1"}},
    {{"--fwhm_reject", "0"}, Expect::kSameAs, "", {}},
    {{"--fwhm_reject", kIntMin}, Expect::kSameAs, "", {}},
    {{"--fwhm_reject", kIntMax}, Expect::kSameAs, "", {"--fwhm_reject", "2"}},
    {{"--boxlen", "0"}, Expect::kRefused, "error: boxlen must be at least 1", {}},
    {{"--boxlen", kIntMin}, Expect::kRefused, "error: boxlen must be at least 1", {}},
    {{"--boxlen", kIntMax}, Expect::kHeaderOnly, kEveryFitFailed, {}},
    {{"-c", "0"}, Expect::kSameAs, "", {"--class_column", "0"}},
    {{"-c", kMinusHuge}, Expect::kSameAs, "", {"--class_column", "0"}},
    {{"-c", kHuge}, Expect::kHeaderOnly, "", {}},
    {{"--neighbour_thresh", "0"}, Expect::kSameAs, "", {}},
    {{"--neighbour_thresh", kMinusHuge}, Expect::kSameAs, "", {}},
    {{"--neighbour_thresh", kHuge}, Expect::kSameAs, "", {"--neighbour_thresh", "1"}},
    {{"--min_thresh", kMinusHuge}, Expect::kSameAs, "", {}},
    // One candidate (the brightest, or the faintest) in the flux range: the
    // subfield search visits at most test_counter - 1 candidates, so none.
    {{"--min_thresh", kHuge}, Expect::kHeaderOnly, "", {}},
    {{"--max_thresh", "0"}, Expect::kHeaderOnly, "", {}},
    {{"--max_thresh", kMinusHuge}, Expect::kHeaderOnly, "", {}},
    {{"--max_thresh", kHuge}, Expect::kSameAs, "", {}},
};

TEST(BadInput, ExtremeOptionValuesAreRefusedOrClampedToOrdinaryRuns) {
    Field const field;
    for (OptionCase const& c : kOptionCases) {
        SCOPED_TRACE(c.option[0] + " " + c.option[1]);
        Outcome const r = run(field, withArgs(withArgs(baseArgs(), c.option), {"img.fits"}));
        switch (c.expect) {
            case Expect::kRefused:
                EXPECT_EQ(r.status, 255);
                EXPECT_EQ(r.err, c.text + "\n\n");
                EXPECT_EQ(r.table, kNoTable);
                break;
            case Expect::kFailed:
                EXPECT_EQ(r.status, 1);
                EXPECT_EQ(r.err, failure(c.text));
                EXPECT_EQ(r.table, kHeader);
                break;
            case Expect::kHeaderOnly:
                EXPECT_EQ(r.status, 0);
                EXPECT_EQ(r.err, c.text);
                EXPECT_EQ(r.table, kHeader);
                break;
            case Expect::kSameAs: {
                Outcome const reference =
                    run(field, withArgs(withArgs(baseArgs(), c.reference), {"img.fits"}));
                EXPECT_EQ(reference.status, 0);
                EXPECT_EQ(r.status, 0);
                EXPECT_EQ(r.err, c.text);
                EXPECT_EQ(r.table, reference.table);
                EXPECT_GT(r.table.size(), kHeader.size());
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
    std::string const upper = good.substr(kHeader.size() + lower.size());
    auto lines = [](std::string const& rows) {
        std::vector<std::string> out;
        for (size_t at = 0; at < rows.size();) {
            size_t const end = rows.find('\n', at);
            out.push_back(rows.substr(at, end - at + 1));
            at = end + 1;
        }
        return out;
    };
    constexpr size_t kIdField = 8 + 4;  // width 8 and four blanks

    // id_column 0: rows numbered from 1 in each subfield.
    std::string numbered = kHeader;
    for (std::string const& half : {lower, upper}) {
        int n = 0;
        for (std::string const& row : lines(half)) {
            char id[16];
            std::snprintf(id, sizeof id, "%8d    ", ++n);
            numbered += id + row.substr(kIdField);
        }
    }
    Outcome const zero = run(field, withArgs(baseArgs(), {"--id_column", "0", "img.fits"}));
    EXPECT_EQ(zero.status, 0);
    EXPECT_EQ(zero.err, "");
    EXPECT_EQ(zero.table, numbered);

    // A negative id_column: no id in the header or the rows.
    std::string withoutIds =
        "#     x          y              RA             DEC          flux\n#\n";
    for (std::string const& row : lines(lower + upper)) withoutIds += row.substr(kIdField);
    Outcome const none = run(field, withArgs(baseArgs(), {"--id_column", kIntMin, "img.fits"}));
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.err, "");
    EXPECT_EQ(none.table, withoutIds);

    // number 0: every catalogue row, with its flags; the measured stars keep
    // their position and sky position.
    Outcome const all = run(field, withArgs(baseArgs(), {"-n", "0", "img.fits"}));
    EXPECT_EQ(all.status, 0);
    EXPECT_EQ(all.err, "");
    std::vector<std::string> const rows = lines(all.table);
    ASSERT_EQ(rows.size(), 2 + kStars.size());
    EXPECT_EQ(rows[0],
              "#     id          x          y              RA             DEC          flux       "
              "flag\n");
    for (std::string const& selected : lines(lower + upper)) {
        double id = 0, x = 0, y = 0, ra = 0, dec = 0;
        ASSERT_EQ(std::sscanf(selected.c_str(), "%lf %lf %lf %lf %lf", &id, &x, &y, &ra, &dec), 5);
        std::string const& passed = rows[1 + static_cast<size_t>(id)];
        double pid = 0, px = 0, py = 0, pra = 0, pdec = 0;
        ASSERT_EQ(std::sscanf(passed.c_str(), "%lf %lf %lf %lf %lf", &pid, &px, &py, &pra, &pdec),
                  5);
        EXPECT_EQ(pid, id);
        EXPECT_EQ(px, x);
        EXPECT_EQ(py, y);
        EXPECT_EQ(pra, ra);
        EXPECT_EQ(pdec, dec);
    }
}

// A hundred file arguments searched for bad pixels: the run holds no file
// open between reads, so it needs only a handful of descriptors. It runs
// under a limit of 64 open files and gives the table of the image alone
// (the other files hold no bad pixel).
TEST(BadInput, AHundredFileArgumentsRunWithin64OpenFiles) {
    Field const field;
    constexpr int kFiles = 100;
    std::string const ones =
        fitsBytes(-32, {kSize, kSize}, std::vector<double>(kSize * kSize, 1.0), {});
    std::vector<std::string> files = {"img.fits"};
    for (int k = 1; k < kFiles; ++k) {
        files.push_back("mask" + std::to_string(k) + ".fits");
        sci::writeFitsFile(field.dir.file(files.back()), ones);
    }
    std::vector<std::string> const args = withArgs(withArgs(baseArgs(), {"-r", "1"}), files);
    std::string script = "ulimit -n 64 && exec '" + std::string(PSFPICK_EXE) + "'";
    for (std::string const& a : args) script += " '" + a + "'";
    RunResult const limited = testsupport::runProgram("/bin/sh", {"-c", script}, field.dir.path());
    EXPECT_EQ(limited.status, 0);
    EXPECT_EQ(limited.err, "");
    std::string const table = readFile(field.dir.file("out.tbl"));

    Outcome const alone = run(field, withArgs(baseArgs(), {"-r", "1", "img.fits"}));
    EXPECT_EQ(alone.status, 0);
    EXPECT_EQ(table, alone.table);
    EXPECT_GT(table.size(), kHeader.size());
}

}  // namespace
