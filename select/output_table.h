// The output table of selected stars and its console echo: the columns of the
// table (for its writer here and for programs that read it back), the
// two-line '#' header, the id field, the rows of the pass-through mode and of
// the selection mode. Positions: FITS pixels, first pixel = 1; RA, DEC: degrees.
#pragma once

#include <ostream>

namespace selection {

// The columns of the table, in the order of a row: the id (when id_column >=
// 0: the catalogue id, or the running number with id_column 0), x and y, RA
// and DEC, the flux, and the flag (only in the pass-through mode with a flag
// column). Columns are separated by blanks.
enum class TableColumn { kId, kX, kY, kRa, kDec, kFlux, kFlag };

// How one column is written: its value right-aligned in width characters
// (never cut: a longer value is written in full), then, when another column
// follows, the blanks of gap. Numbers are in fixed notation with
// kTablePrecision digits after the point.
struct TableColumnFormat {
    char const* name;     // the column's word in the first header line
    char const* heading;  // its part of the first header line, blanks included
    int width;
    char const* gap;
};

// Indexed by TableColumn.
inline constexpr TableColumnFormat kTableColumns[] = {
    {"id", "id          ", 8, "    "},       // kId
    {"x", "x", 7, "    "},                   // kX
    {"y", "          y", 7, "  "},           // kY
    {"RA", "              RA", 14, "  "},    // kRa
    {"DEC", "             DEC", 13, "  "},   // kDec
    {"flux", "          flux", 12, "    "},  // kFlux
    {"flag", "       flag", 4, ""},          // kFlag
};

constexpr TableColumnFormat const& tableColumn(TableColumn c) {
    return kTableColumns[static_cast<int>(c)];
}

// The columns every row holds, after the id: x, y, RA, DEC and flux.
constexpr int kTableValueColumns =
    static_cast<int>(TableColumn::kFlux) - static_cast<int>(TableColumn::kX) + 1;

constexpr int kTablePrecision = 8;  // digits after the point of every number
// DEC is one character wider in the rows of the selection mode.
constexpr int kSelectedDecWidth = 14;
// The first header line starts with this, then the headings of the columns;
// the second line is "#" alone.
constexpr char kTableHeaderStart[] = "#     ";

// The flag and class_star that the echo shows for a catalogue without that column.
constexpr int kNoFlag = -1;
constexpr float kNoClassStar = -1.0f;

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

// Writes kTableHeaderStart, the headings of the columns (the id when
// id_column >= 0, the flag in the pass-through mode with a flag column), a
// line end, "#" and a line end; then switches file to fixed notation with
// kTablePrecision digits after the point.
void writeTableHeader(std::ostream& file, int id_column, int flag_column, int number);

// The id field, in the table and in the echo: the id (id_column > 0) or the
// running number (id_column = 0) in the id column's width, then its gap;
// nothing for id_column < 0.
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
