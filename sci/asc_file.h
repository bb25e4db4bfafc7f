// sci::AscFile: reads numeric columns of a plain-text table, one column per
// request, into rank-1 sci::MArray. Its parts: rows and lines in
// sci/asc_lines.h, fields in sci/asc_fields.h, numbers in sci/asc_numbers.h.
// Index base: data rows and columns are numbered from 1; returned arrays have
// base 1 (element i holds row first + i - 1). Values are taken as written (no units).
#pragma once

#include <sys/types.h>

#include <string>

#include "sci/marray.h"

namespace sci {

// A table of one data row per line, fields separated by white space
// (delimiter 0) or by one delimiter character.
//
// A line is a data row when it is not empty after two steps, in this order:
//   1. in white-space mode, leading white space (the C-locale isspace set) is removed;
//   2. the line is cut at the first occurrence of the comment marker anywhere in it.
// So blank lines, lines of white space (white-space mode) and lines starting
// with the marker are skipped.
//
// Line ends: "\n" or "\r\n"; a '\r' that ends a line (also the last line
// without '\n') belongs to the line end, so a CRLF file reads exactly like its
// LF twin in both modes. Any other '\r' is ordinary text. An empty comment
// marker means the table has no comments.
//
// Fields of a row:
//   - white-space mode: the pieces between runs of blanks and tabs; column 0 is
//     an empty field (value 0) in every row; a row with fewer than col pieces,
//     or col below 0, throws "Not enough columns in file '<name>'! (line <l>
//     has <n> columns, column <col> was asked)", l counting every line of the
//     file from 1 and n the pieces of the row ("1 column" for one);
//   - delimiter mode: field 1 runs from the row start to the first delimiter,
//     field k from just after the (k-1)-th delimiter to the k-th one or the
//     row end; column 0 is an empty field; fewer than col - 1 delimiters, or
//     col below 0, throws "Column does not exist in file'<name>'!".
// Conversion: floats exactly as strtod on the field text, narrowed to float
// (IEEE rounding, overflow gives +-inf); ints exactly as strtol base 10, then
// clamped to INT_MIN..INT_MAX (strtol itself clamps to LONG_MIN..LONG_MAX).
// Text that is not a number reads 0; trailing junk is ignored. Both assume the
// C locale and the default rounding mode, which the program never changes.
// NUL bytes are ordinary text; a number ends at one, as strtod reads the field.
//
// Each request reads the file once through a small buffer (plus one pass to
// count the rows at the first request); memory beyond the result is that
// buffer, grown only for a line longer than it. A failing read throws "Cannot
// read file '<name>'!"; more than INT_MAX rows throw "Too many rows in file
// '<name>'!"; a line of 128 MiB (2^27 bytes) or more throws "Line too long
// (128 MiB or more) in file '<name>'!".
//
// The reader keeps a row counter (the next data row a read returns, 1 after
// opening): a request whose first row lies behind it starts again at row 1, so
// requests may come in any order. Running into the end of the file starts
// again at row 1 as well.
class AscFile {
  public:
    // Opens filename for reading. Throws sci::IOException "Cannot open file
    // '<name>'!" when it cannot be opened or is not a regular file (a
    // directory, a pipe or a device cannot be read as a table).
    AscFile(std::string const& filename, char delimiter, std::string const& comment);
    virtual ~AscFile();
    AscFile(AscFile const&) = delete;
    AscFile& operator=(AscFile const&) = delete;

    // The number of data rows. Counted at the first call and stored; a count of
    // 0 is counted again at each call. Leaves the row counter as it was.
    int rows();

    // Column col (from 1) of the data rows first, first + 1, ... (first >= 1),
    // count rows or, for count -1, every row from first to the last
    // (length rows() - first + 1, empty when that is 0 or less). Rows beyond
    // the end of the file leave their elements 0. A first row below 1 throws
    // "First row below 1 requested from file '<name>'!".
    MArray<float, 1> readFloatColumn(int col, int first, int count);
    MArray<int, 1> readIntColumn(int col, int first, int count);
    // readFloatColumn, except that a field that is not wholly a number
    // ("INDEF", "--", "5x") reads NaN instead of its leading number or 0
    // (sci::fieldToNumber); the empty column 0 still reads 0.
    MArray<float, 1> readNumberColumn(int col, int first, int count);

  private:
    template <class T, class Convert>
    MArray<T, 1> readSingleCol_(int col, int first, int count, Convert convert);
    // Field col of the row [begin, end) (not yet cut at the comment marker);
    // false when the row has no such field.
    bool findField_(char const* begin, char const* end, int col, char const*& fieldBegin,
                    char const*& fieldEnd) const;
    // Field col (>= 1) of the text [begin, end), which is already cut.
    bool getColumn_(char const* begin, char const* end, int col, char const*& fieldBegin,
                    char const*& fieldEnd) const;
    // Throws the missing-column message for column col of the row [begin,
    // end), whose line ends at file offset rowEnd.
    [[noreturn]] void throwMissingColumn_(char const* begin, char const* end, int col,
                                          off_t rowEnd) const;
    // The number (from 1, every line counted) of the line that ends at rowEnd.
    long lineEndingAt_(off_t rowEnd) const;
    void rewind_();

    std::string filename_;
    int fd_ = -1;
    char delimiter_;
    std::string comment_;
    int rowCount_ = 0;     // 0: not counted yet
    long rowCounter_ = 1;  // number of the data row the next read returns
    off_t offset_ = 0;     // file offset just behind data row rowCounter_ - 1
};

}  // namespace sci
