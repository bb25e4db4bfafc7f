#include "sci/asc_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstring>
#include <limits>
#include <string_view>

#include "sci/asc_fields.h"
#include "sci/asc_lines.h"
#include "sci/asc_numbers.h"
#include "sci/exceptions.h"

namespace sci {

namespace {

// Narrowing a double to float relies on IEEE rounding (out-of-range values
// become +-inf instead of being undefined).
static_assert(std::numeric_limits<float>::is_iec559 && std::numeric_limits<double>::is_iec559,
              "the reader narrows doubles to floats with IEEE rounding");

std::string cannotOpenMessage(std::string const& name) {
    return "Cannot open file '" + name + "'!";
}
// line: the line of the file (every line counted, from 1) of the row that
// has found fields where column col was asked.
std::string notEnoughColumnsMessage(std::string const& name, long line, long found, int col) {
    return "Not enough columns in file '" + name + "'! (line " + std::to_string(line) + " has " +
           std::to_string(found) + (found == 1 ? " column" : " columns") + ", column " +
           std::to_string(col) + " was asked)";
}
std::string columnDoesNotExistMessage(std::string const& name) {
    return "Column does not exist in file'" + name + "'!";
}
std::string firstRowMessage(std::string const& name) {
    return "First row below 1 requested from file '" + name + "'!";
}
std::string tooManyRowsMessage(std::string const& name) {
    return "Too many rows in file '" + name + "'!";
}

// The first occurrence of marker that starts in [begin, limit) of the text
// [begin, end), or null.
char const* findMarker(char const* begin, char const* limit, char const* end,
                       std::string const& marker) {
    if (marker.empty() || begin >= limit) return nullptr;
    if (marker.size() == 1)
        return static_cast<char const*>(
            std::memchr(begin, marker[0], static_cast<size_t>(limit - begin)));
    size_t const span = static_cast<size_t>(end - begin);
    size_t const m = marker.size();
    size_t const last = static_cast<size_t>(limit - begin) + m - 1;
    std::string_view const text(begin, last < span ? last : span);
    size_t const hit = text.find(marker);
    return hit == std::string_view::npos ? nullptr : begin + hit;
}

}  // namespace

AscFile::AscFile(std::string const& filename, char delimiter, std::string const& comment)
    : filename_(filename), delimiter_(delimiter), comment_(comment) {
    // O_NONBLOCK keeps the open of a pipe from waiting for a writer; only
    // regular files are accepted, since every request reads the file again
    // from a remembered offset.
    fd_ = open(filename.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) throw IOException(cannotOpenMessage(filename_));
    struct stat status;
    if (fstat(fd_, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(fd_);
        throw IOException(cannotOpenMessage(filename_));
    }
}

AscFile::~AscFile() {
    close(fd_);
}

int AscFile::rows() {
    if (rowCount_ == 0) {
        RowScanner scan(fd_, 0, filename_, delimiter_ == 0, comment_);
        char const* begin;
        char const* end;
        int n = 0;
        while (scan.next(begin, end)) {
            if (n == INT_MAX) throw IOException(tooManyRowsMessage(filename_));
            ++n;
        }
        rowCount_ = n;
    }
    return rowCount_;
}

MArray<float, 1> AscFile::readFloatColumn(int col, int first, int count) {
    return readSingleCol_<float>(col, first, count, [](char const* begin, char const* end) {
        return static_cast<float>(fieldToDouble(begin, end));
    });
}

MArray<float, 1> AscFile::readNumberColumn(int col, int first, int count) {
    return readSingleCol_<float>(col, first, count, [](char const* begin, char const* end) {
        return static_cast<float>(fieldToNumber(begin, end));
    });
}

MArray<int, 1> AscFile::readIntColumn(int col, int first, int count) {
    return readSingleCol_<int>(col, first, count, [](char const* begin, char const* end) {
        return fieldToInt(begin, end);
    });
}

void AscFile::rewind_() {
    rowCounter_ = 1;
    offset_ = 0;
}

template <class T, class Convert>
MArray<T, 1> AscFile::readSingleCol_(int col, int first, int count, Convert convert) {
    if (first < 1) throw IOException(firstRowMessage(filename_));
    long const n = count == -1 ? static_cast<long>(rows()) - first + 1 : count;
    MArray<T, 1> result(static_cast<int>(n > 0 ? n : 0));
    if (n <= 0) return result;

    // Position on row first: start again at row 1 when it lies behind.
    if (rowCounter_ > first) rewind_();
    RowScanner scan(fd_, offset_, filename_, delimiter_ == 0, comment_);
    T* const out = result.firstElement();
    char const* begin;
    char const* end;
    while (rowCounter_ < first) {
        if (!scan.next(begin, end)) {
            rewind_();
            std::fill(out, out + n, T(0));
            return result;
        }
        ++rowCounter_;
    }

    for (long i = 0; i < n; ++i) {
        if (!scan.next(begin, end)) {
            // The end of the file: the unread elements read 0.
            rewind_();
            std::fill(out + i, out + n, T(0));
            return result;
        }
        char const* fieldBegin;
        char const* fieldEnd;
        if (!findField_(begin, end, col, fieldBegin, fieldEnd)) {
            // Leave the reader behind the offending row.
            rowCounter_ += i + 1;
            offset_ = scan.offset();
            throwMissingColumn_(begin, end, col, offset_);
        }
        out[i] = convert(fieldBegin, fieldEnd);
    }
    rowCounter_ += n;
    offset_ = scan.offset();
    return result;
}

bool AscFile::findField_(char const* begin, char const* end, int col, char const*& fieldBegin,
                         char const*& fieldEnd) const {
    if (col == 0) {
        fieldBegin = fieldEnd = begin;
        return true;
    }
    if (col < 0) return false;
    // The row ends at the first comment marker. A one-byte marker is cut on
    // the way through the row in white-space mode.
    if (delimiter_ == 0 && comment_.size() <= 1) {
        int const marker = comment_.empty() ? kNoMarker : static_cast<unsigned char>(comment_[0]);
        return blankSeparatedField(begin, end, col, marker, fieldBegin, fieldEnd);
    }
    if (!getColumn_(begin, end, col, fieldBegin, fieldEnd)) return false;
    // Otherwise only a marker that starts before the end of the field changes
    // the field; then split again up to it.
    char const* const cut = findMarker(begin, fieldEnd, end, comment_);
    if (cut == nullptr) return true;
    return getColumn_(begin, cut, col, fieldBegin, fieldEnd);
}

bool AscFile::getColumn_(char const* begin, char const* end, int col, char const*& fieldBegin,
                         char const*& fieldEnd) const {
    if (delimiter_ == 0)
        return blankSeparatedField(begin, end, col, kNoMarker, fieldBegin, fieldEnd);
    return delimitedField(begin, end, delimiter_, col, fieldBegin, fieldEnd);
}

void AscFile::throwMissingColumn_(char const* begin, char const* end, int col, off_t rowEnd) const {
    if (delimiter_ != 0) throw IOException(columnDoesNotExistMessage(filename_));
    // Only here, on the way out, are the row's fields counted and the lines
    // before it read again: the reading of whole columns pays nothing for it.
    char const* const cut = findMarker(begin, end, end, comment_);
    long const found = blankSeparatedCount(begin, cut != nullptr ? cut : end);
    throw IOException(notEnoughColumnsMessage(filename_, lineEndingAt_(rowEnd), found, col));
}

long AscFile::lineEndingAt_(off_t rowEnd) const {
    LineScanner lines(fd_, 0, filename_);
    char const* begin;
    char const* end;
    long line = 0;
    while (lines.offset() < rowEnd && lines.next(begin, end)) ++line;
    return line;
}

}  // namespace sci
