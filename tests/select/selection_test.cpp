#include "select/selection.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "sci/exceptions.h"
#include "sci/fits_writer.h"
#include "tests/support/messages.h"
#include "tests/support/temp_dir.h"

using testsupport::messageOf;

TEST(Selection, TruncatesTheOutputTableAndWritesItsHeader) {
    testsupport::TempDir dir;
    Parameter P;
    P.input = dir.write("cat.txt", "1 10 10 0 0 5\n");
    P.output = dir.write("out.tbl", "old content\n");
    P.nfields[0] = P.nfields[1] = 1;
    P.id_column = -1;
    P.x_column = 2;
    P.flux_column = 6;
    P.number = 0;  // pass the catalogue through
    runSelection(P, {});
    EXPECT_EQ(testsupport::readFile(P.output),
              "#     x          y              RA             DEC          flux\n#\n"
              "10.00000000    10.00000000      0.00000000     0.00000000    5.00000000\n");
}

TEST(Selection, UnwritableTableThrowsNamingIt) {
    testsupport::TempDir dir;
    Parameter P;
    P.output = dir.file("no/such/dir/out.tbl");
    std::string message;
    try {
        runSelection(P, {});
    } catch (sci::IOException const& e) {
        message = e.what();
    }
    EXPECT_EQ(message, "cannot open file '" + P.output + "' for writing");
}

// Found by fuzzing whole runs: a header that breaks the mandatory cards ended
// the run with the reader's message alone, which does not say which of the
// run's files is broken.
TEST(Selection, FailuresOfAFitsFileNameTheFile) {
    testsupport::TempDir dir;
    Parameter P;
    P.input = dir.write("cat.txt", "1 10 10 0 0 5\n");
    P.output = dir.file("out.tbl");
    P.nfields[0] = P.nfields[1] = 1;
    P.id_column = 1;
    P.x_column = 2;
    P.flux_column = 6;
    P.number = 1;
    P.boxlen = 3;
    std::string const image = dir.file("img.fits");
    sci::writeFitsFile(image, sci::fitsHeaderBlock({"BITPIX  =                   16"}));
    EXPECT_EQ(messageOf<sci::FitsException>([&] { runSelection(P, {image}); }),
              image + ": FITS file not SIMPLE");
    sci::writeFitsFile(image, sci::fitsHeaderBlock(sci::fitsImageCards(-32, {16, 16})));
    EXPECT_EQ(messageOf<sci::FitsException>([&] { runSelection(P, {image}); }),
              image + ": cannot find keyword 'CDELT1  '");
    EXPECT_EQ(testsupport::readFile(P.output),
              "#     id          x          y              RA             DEC          flux\n#\n");
}

TEST(Selection, TableThatCannotBeWrittenFailsTheRun) {
    testsupport::TempDir dir;
    Parameter P;
    P.input = dir.write("cat.txt", "1 10 10 0 0 5\n");
    P.output = "/dev/full";
    P.nfields[0] = P.nfields[1] = 1;
    P.x_column = 2;
    P.flux_column = 6;
    for (int number : {0, 1}) {
        P.number = number;  // pass-through and selection
        EXPECT_EQ(messageOf<sci::IOException>([&] { runSelection(P, {}); }),
                  "cannot write to file '/dev/full'");
    }
}
