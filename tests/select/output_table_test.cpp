#include "select/output_table.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

using selection::StarRow;
using selection::writePassThroughEcho;
using selection::writePassThroughRow;
using selection::writeSelectedEcho;
using selection::writeSelectedEchoHeader;
using selection::writeSelectedRow;
using selection::writeTableHeader;

// Values that are exact in float, so the expected texts can be written by
// hand: id, x, y, ra, dec, flux, closestDist, closestFlux, flag, classStar,
// nchi, fwhm.
StarRow const kRow{42,   12.5f,   100.25f, 150.5f, -30.25f, 1234.5f,
                   5.5f, 2469.0f, 3,       0.75f,  1.25f,   2.5f};

// The header (which sets the notation) and a row in fixed notation: the
// catalogue id, the running number (id_column 0) or no id field; the flag
// column only in the pass-through mode; DEC has width 13 in the pass-through
// mode and 14 in the selection mode.
TEST(OutputTable, RowsInFixedNotationNeverCut) {
    auto written = [](int idColumn, int flagColumn, bool selected) {
        std::ostringstream file;
        writeTableHeader(file, idColumn, flagColumn, selected ? 1 : 0);
        if (selected)
            writeSelectedRow(file, kRow, 7, idColumn);
        else
            writePassThroughRow(file, kRow, 7, idColumn, flagColumn);
        return file.str();
    };
    std::string const columns = "x          y              RA             DEC          flux";
    std::string const values =
        "12.50000000    100.25000000    150.50000000   -30.25000000  "
        "1234.50000000";
    EXPECT_EQ(written(1, 5, false), "#     id          " + columns +
                                        "       flag\n#\n      42    " + values + "       3\n");
    EXPECT_EQ(written(0, 0, false),
              "#     id          " + columns + "\n#\n       7    " + values + "\n");
    EXPECT_EQ(written(-1, 0, false), "#     " + columns + "\n#\n" + values + "\n");
    EXPECT_EQ(written(1, 5, true),
              "#     id          " + columns +
                  "\n#\n      42    12.50000000    100.25000000    150.50000000    -30.25000000  "
                  "1234.50000000\n");
}

TEST(OutputTable, ConsoleEchoes) {
    std::ostringstream console;
    StarRow row = kRow;
    row.closestDist = 0;
    row.closestFlux = 0;
    writePassThroughEcho(console, row, 7, 0);  // default notation
    EXPECT_EQ(console.str(),
              "       7       12.5        100           150.5         -30.25       1.2e+03"
              "               0                0          3         0.75         1.25          "
              "2.5\n");

    console.str("");
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
    writeSelectedEcho(console, kRow, 2, 0);
    EXPECT_EQ(console.str(),
              "       2      12.50     100.25    150.50000000    -30.25000000       1234.50"
              "             5.500         2469.000          2.0000          3         0.75"
              "         1.25         2.50\n");
}

}  // namespace
