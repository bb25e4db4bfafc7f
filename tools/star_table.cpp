#include "tools/star_table.h"

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>

#include "select/output_table.h"
#include "tools/tool_args.h"
#include "util/number_text.h"

namespace tools {

namespace {

using selection::TableColumn;

// The ids psfpick writes are of this type (catalogue ids and running numbers).
using WrittenId = decltype(selection::StarRow::id);

bool headerNamesId(std::string const& line) {
    std::istringstream words(line.substr(1));
    std::string first;
    words >> first;
    return first == selection::tableColumn(TableColumn::kId).name;
}

double field(std::string const& text, std::string const& where) {
    double v = 0.0;
    if (!util::textToDouble(text, v)) throw ToolError(where + ": '" + text + "' is not a number");
    return v;
}

// A whole number within the range of WrittenId, so that it converts exactly.
long idField(std::string const& text, std::string const& where) {
    double const v = field(text, where);
    using Limits = std::numeric_limits<WrittenId>;
    if (v != std::trunc(v) || v < Limits::min() || v > Limits::max())
        throw ToolError(where + ": id '" + text + "' is not a whole number from " +
                        std::to_string(Limits::min()) + " to " + std::to_string(Limits::max()));
    return static_cast<long>(v);
}

// Where column c stands in a row: the columns follow the order of
// TableColumn, from the id when the table has one, else from x.
size_t position(TableColumn c, bool hasIds) {
    TableColumn const first = hasIds ? TableColumn::kId : TableColumn::kX;
    return static_cast<size_t>(static_cast<int>(c) - static_cast<int>(first));
}

}  // namespace

IdColumn idColumnOption(std::string const& text) {
    if (text == "auto") return IdColumn::kAuto;
    if (text == "yes") return IdColumn::kPresent;
    if (text == "no") return IdColumn::kAbsent;
    throw UsageError("option '--ids' expects auto, yes or no, not '" + text + "'");
}

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
        // Every column up to the flux; the flag of the pass-through mode may follow.
        size_t const need = position(TableColumn::kX, table.hasIds) + selection::kTableValueColumns;
        if (fields.size() < need)
            throw ToolError(where + ": expected at least " + std::to_string(need) +
                            " columns, found " + std::to_string(fields.size()));
        auto value = [&](TableColumn c) { return field(fields[position(c, table.hasIds)], where); };
        StarRow row;
        row.id = table.hasIds ? idField(fields[position(TableColumn::kId, true)], where)
                              : static_cast<long>(table.rows.size()) + 1;
        row.x = value(TableColumn::kX);
        row.y = value(TableColumn::kY);
        row.ra = value(TableColumn::kRa);
        row.dec = value(TableColumn::kDec);
        row.flux = value(TableColumn::kFlux);
        table.rows.push_back(row);
    }
    return table;
}

}  // namespace tools
