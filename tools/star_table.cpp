#include "tools/star_table.h"

#include <fstream>
#include <sstream>

#include "select/output_table.h"
#include "tools/tool_args.h"
#include "util/number_text.h"

namespace tools {

namespace {

// x, y, RA, DEC, flux
constexpr size_t kPositionColumns = selection::kTableValueColumns;

bool headerNamesId(std::string const& line) {
    std::istringstream words(line.substr(1));
    std::string first;
    words >> first;
    return first == selection::tableColumn(selection::TableColumn::kId).name;
}

double field(std::string const& text, std::string const& where) {
    double v = 0.0;
    if (!util::textToDouble(text, v)) throw ToolError(where + ": '" + text + "' is not a number");
    return v;
}

}  // namespace

StarTable readStarTable(std::string const& path, IdColumn ids) {
    std::ifstream in(path);
    if (!in) throw cannotOpenForReading(path);
    StarTable table;
    table.hasIds = ids == IdColumn::kPresent;
    bool headerSeen = false;
    std::string line;
    long lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        size_t const first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos) continue;
        if (line[first] == '#') {
            if (!headerSeen && ids == IdColumn::kAuto)
                table.hasIds = headerNamesId(line.substr(first));
            headerSeen = true;
            continue;
        }
        headerSeen = true;
        std::string const where = "table '" + path + "' line " + std::to_string(lineNumber);
        std::istringstream words(line);
        std::vector<std::string> fields;
        for (std::string w; words >> w;) fields.push_back(w);
        size_t const need = kPositionColumns + (table.hasIds ? 1 : 0);
        if (fields.size() < need)
            throw ToolError(where + ": expected at least " + std::to_string(need) +
                            " columns, found " + std::to_string(fields.size()));
        StarRow row;
        size_t k = 0;
        if (table.hasIds) {
            double const id = field(fields[k++], where);
            row.id = static_cast<long>(id);
        } else {
            row.id = static_cast<long>(table.rows.size()) + 1;
        }
        row.x = field(fields[k++], where);
        row.y = field(fields[k++], where);
        row.ra = field(fields[k++], where);
        row.dec = field(fields[k++], where);
        row.flux = field(fields[k++], where);
        table.rows.push_back(row);
    }
    return table;
}

}  // namespace tools
