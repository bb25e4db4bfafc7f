// The output table of selected stars and its console echo: the two-line '#'
// header, the id field, the rows of the pass-through mode and of the selection
// mode. The file is written in fixed notation with 8 digits after the point;
// each value is right-aligned in its own width and never cut.
// Positions: FITS pixels, first pixel = 1; RA, DEC: degrees.
#pragma once

#include <ostream>

namespace selection {

// One catalogue or selected row as the table and its echo show it.
struct StarRow {
    int id = 0;  // catalogue id (used when id_column > 0)
    float x = 0, y = 0;
    float ra = 0, dec = 0;
    float flux = 0;
    float closestDist = 0;  // distance to the nearest qualifying neighbour, pixels
    float closestFlux = 0;  // that neighbour's flux
    int flag = 0;
    float classStar = 0;
    float nchi = 0;
    float fwhm = 0;  // mean FWHM of the profile fit, pixels
};

// Writes "#     ", "id          " (id_column >= 0), the column names, "       flag"
// (pass-through mode with a flag column), a line end, "#" and a line end; then
// switches file to fixed notation with 8 digits after the point.
void writeTableHeader(std::ostream& file, int id_column, int flag_column, int number);

// The id field: the id (id_column > 0) or the running number (id_column = 0),
// width 8, then four blanks; nothing for id_column < 0.
void writeIdField(std::ostream& os, int id_column, int id, int running);

// Pass-through mode, catalogue row `running` (1-based): the file row, and with
// verbose > 0 the console row in default notation.
void writePassThroughRow(std::ostream& file, StarRow const& row, int running, int id_column,
                         int flag_column);
void writePassThroughEcho(std::ostream& console, StarRow const& row, int running, int id_column);

// Selection mode: the console header line (verbose > 0), the file row (then a
// flush) and the console row (fixed notation, then a flush).
void writeSelectedEchoHeader(std::ostream& console, int id_column);
void writeSelectedRow(std::ostream& file, StarRow const& row, int running, int id_column);
void writeSelectedEcho(std::ostream& console, StarRow const& row, int running, int id_column);

}  // namespace selection
