// Fuzz target: an ASCII table read column by column with sci::AscFile, in
// white-space mode and in delimiter mode. The first two bytes choose the
// delimiter and the comment marker, the rest is the file. Every column read
// must have the length the row count says; failures must be
// sci::IOException. Any other exception, a crash, a hang or a sanitizer
// report is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_support.h"
#include "sci/asc_file.h"
#include "sci/exceptions.h"

namespace {

// Comment markers chosen by the second byte: the program's, none, and a
// marker of two characters.
char const* const kMarkers[] = {"#", "", "//", "#"};

// Columns asked for, in an order that makes the reader go back and forth:
// float columns from row 1, int columns from row 2, the edge cases among them.
constexpr int kFloatColumns[] = {2, 1, 0, 6};
constexpr int kIntColumns[] = {3, -1, 40};

template <class Column>
void checkLength(Column const& column, int rows, int first) {
    int const expected = rows - first + 1 > 0 ? rows - first + 1 : 0;
    if (column.length() != expected) std::abort();
}

void readTable(std::string const& path, char delimiter, char const* marker) {
    sci::AscFile table(path, delimiter, marker);
    int const rows = table.rows();
    for (int col : kFloatColumns) {
        try {
            checkLength(table.readFloatColumn(col, 1, -1), rows, 1);
        } catch (sci::IOException const&) {
        }
    }
    for (int col : kIntColumns) {
        try {
            checkLength(table.readIntColumn(col, 2, -1), rows, 2);
        } catch (sci::IOException const&) {
        }
    }
    try {
        // A fixed count reaching beyond the end.
        (void)table.readFloatColumn(1, rows, 3);
    } catch (sci::IOException const&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
    if (size < 2) return 0;
    // Byte 0: 0 or a blank-like byte selects white-space mode, anything else
    // is the delimiter; byte 1 picks the comment marker.
    char const first = static_cast<char>(data[0]);
    char const delimiter = first == ' ' || first == '\0' || first == '\n' ? 0 : first;
    char const* marker = kMarkers[data[1] % 4];
    static fuzzsupport::MemoryFile file;
    file.assign(data + 2, size - 2);
    try {
        readTable(file.path(), delimiter, marker);
    } catch (sci::IOException const&) {
    }
    return 0;
}
