#include "select/selection.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "sci/exceptions.h"
#include "tests/support/temp_dir.h"

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
