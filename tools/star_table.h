// Reading psfpick's output table of selected stars: a two-line '#' header,
// then one row per star of whitespace-separated numbers: id (when the table
// has ids: catalogue ids or running numbers), x, y, RA, DEC, flux and, in the
// pass-through mode with flags, a flag column. Positions are FITS pixels (the
// first pixel is 1); RA and DEC in degrees. Rows are numbered from 1.
#pragma once

#include <string>
#include <vector>

namespace tools {

// Whether the first column holds ids.
enum class IdColumn {
    kAuto,     // from the header: ids when its first line names "id"
    kPresent,  // the first column is an id (or a running number)
    kAbsent,   // the first column is x (psfpick run with id_column < 0)
};

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
// "id" is taken to have no ids. Throws ToolError "cannot open file '<path>'
// for reading", or "table '<path>' line <n>: ..." for a row with fewer than
// the expected numbers or a field that is not a number.
StarTable readStarTable(std::string const& path, IdColumn ids);

}  // namespace tools
