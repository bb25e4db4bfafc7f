#include "select/output_table.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

// Values that are exact in float, so the expected texts can be written by hand.
StarRow sampleRow() {
    StarRow r;
    r.id = 42;
    r.x = 12.5f;
    r.y = 100.25f;
    r.ra = 150.5f;
    r.dec = -30.25f;
    r.flux = 1234.5f;
    r.closestDist = 5.5f;
    r.closestFlux = 2469.0f;
    r.flag = 3;
    r.classStar = 0.75f;
    r.nchi = 1.25f;
    r.fwhm = 2.5f;
    return r;
}

std::string const kColumns = "x          y              RA             DEC          flux";

TEST(OutputTable, HeaderVariants) {
    std::ostringstream defaults;
    writeTableHeader(defaults, 1, 0, 1);
    EXPECT_EQ(defaults.str(), "#     id          " + kColumns + "\n#\n");

    std::ostringstream noId;
    writeTableHeader(noId, -1, 0, 1);
    EXPECT_EQ(noId.str(), "#     " + kColumns + "\n#\n");

    std::ostringstream flags;
    writeTableHeader(flags, 0, 5, 0);
    EXPECT_EQ(flags.str(), "#     id          " + kColumns + "       flag\n#\n");

    // The flag column shows only in the pass-through mode.
    std::ostringstream selecting;
    writeTableHeader(selecting, 0, 5, 3);
    EXPECT_EQ(selecting.str(), "#     id          " + kColumns + "\n#\n");
}

TEST(OutputTable, PassThroughRowsInFixedNotationNeverCut) {
    std::ostringstream file;
    writeTableHeader(file, 1, 5, 0);
    file.str("");
    writePassThroughRow(file, sampleRow(), 7, 1, 5);
    EXPECT_EQ(file.str(),
              "      42    12.50000000    100.25000000    150.50000000   -30.25000000  "
              "1234.50000000       3\n");

    file.str("");
    writePassThroughRow(file, sampleRow(), 7, 0, 0);  // running number, no flags
    EXPECT_EQ(file.str(),
              "       7    12.50000000    100.25000000    150.50000000   -30.25000000  "
              "1234.50000000\n");

    file.str("");
    writePassThroughRow(file, sampleRow(), 7, -1, 0);  // no id field
    EXPECT_EQ(file.str(),
              "12.50000000    100.25000000    150.50000000   -30.25000000  "
              "1234.50000000\n");
}

TEST(OutputTable, PassThroughEchoInDefaultNotation) {
    std::ostringstream console;
    StarRow row = sampleRow();
    row.closestDist = 0;
    row.closestFlux = 0;
    writePassThroughEcho(console, row, 7, 0);
    EXPECT_EQ(console.str(),
              "       7       12.5        100           150.5         -30.25       1.2e+03"
              "               0                0          3         0.75         1.25          "
              "2.5\n");
}

TEST(OutputTable, SelectedRowsAndEcho) {
    std::ostringstream file;
    writeTableHeader(file, 1, 0, 1);
    file.str("");
    writeSelectedRow(file, sampleRow(), 1, 1);
    // DEC has width 14 here, one more than in the pass-through mode.
    EXPECT_EQ(file.str(),
              "      42    12.50000000    100.25000000    150.50000000    -30.25000000  "
              "1234.50000000\n");

    std::ostringstream console;
    writeSelectedEchoHeader(console, 0);
    EXPECT_EQ(console.str(),
              "      id          x          y              RA             DEC          flux    "
              "neighbour_dist   neighbour_flux   neighbour_rel      flags   class_star         "
              "nchi         FWHM\n");
    console.str("");
    writeSelectedEchoHeader(console, -1);
    EXPECT_EQ(console.str().substr(0, 12), "        x   ");

    console.str("");
    console << std::fixed;
    writeSelectedEcho(console, sampleRow(), 2, 0);
    EXPECT_EQ(console.str(),
              "       2      12.50     100.25    150.50000000    -30.25000000       1234.50"
              "             5.500         2469.000          2.0000          3         0.75"
              "         1.25         2.50\n");
}

}  // namespace
