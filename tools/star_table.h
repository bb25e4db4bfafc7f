// Reading psfpick's output table of selected stars back: the columns, their
// order, their names in the '#' header and what the id column holds are those
// of select/output_table.h; columns after the flux (the flag of the
// pass-through mode) are not read. Positions are FITS pixels (the first pixel
// is 1); RA and DEC in degrees. Rows are numbered from 1.
#pragma once

#include <string>
#include <vector>

namespace tools {

// Whether the first column holds ids.
enum class IdColumn {
    kAuto,     // from the header: ids when its first line names the id column
    kPresent,  // the first column is an id (or a running number)
    kAbsent,   // the first column is x (psfpick run with id_column < 0)
};

// The IdColumn a tool's --ids option names: "auto", "yes" or "no". Throws
// UsageError "option '--ids' expects auto, yes or no, not '<text>'".
IdColumn idColumnOption(std::string const& text);

// The columns of one row as the file holds them. The selection's own row
// (selection::StarRow) carries the program's single-precision values and the
// console's extra columns; these are the written decimals, read in double so
// that the 8 digits after the point come back as written.
struct StarRow {
    long id = 0;  // the id column, or the row number when the table has none
    double x = 0, y = 0;
    double ra = 0, dec = 0;
    double flux = 0;
};

struct StarTable {
    bool hasIds = false;
    std::vector<StarRow> rows;
};

// Reads the table at path. With kAuto a table without a header that names
// the id column is taken to have no ids. Throws ToolError "cannot open file
// '<path>' for reading", or "table '<path>' line <n>: ..." for a row with
// fewer than the expected numbers, a field that is not a number, or an id
// that is not a whole number in the range of the ids psfpick writes.
StarTable readStarTable(std::string const& path, IdColumn ids);

}  // namespace tools
