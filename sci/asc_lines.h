// The lines and data rows of a plain-text table (sci::AscFile), read in order
// from a byte offset of an open file through a buffer refilled with pread.
// Offsets count bytes from the start of the file (0 first); a line or row is
// the bytes [begin, end) inside the buffer.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <string>

namespace sci {

// Hands out the lines of a file in order, starting at a given byte offset. A
// line is returned without its '\n' and without a '\r' right before it (or
// right before the end of the file); it stays valid until the next call and
// is followed by at least kFieldReadAhead readable bytes (sci/asc_fields.h).
// A failing read throws IOException "Cannot read file '<name>'!"; a line of
// 128 MiB or more throws "Line too long (128 MiB or more) in file '<name>'!".
class LineScanner {
  public:
    // fd: open for reading; name: for messages, must outlive the scanner.
    LineScanner(int fd, off_t start, std::string const& name);

    // The next line; false at the end of the file.
    bool next(char const*& begin, char const*& end);

    // File offset just behind the last line returned.
    off_t offset() const { return bufferOffset_ + static_cast<off_t>(pos_); }

  private:
    // Keeps the unfinished line, makes room behind it (doubling the buffer when
    // the line fills it) and reads more; sets eof_ when nothing is left.
    void refill_();

    int fd_;
    std::string const& name_;
    std::unique_ptr<char[]> buffer_;
    size_t capacity_;
    size_t pos_ = 0;       // start of the next line in the buffer
    size_t searched_ = 0;  // [pos_, searched_) holds no '\n'
    size_t end_ = 0;       // end of the valid bytes
    off_t bufferOffset_;   // file offset of buffer_[0]
    bool eof_ = false;
};

// Hands out the data rows of a file in order. A row is returned with its
// leading white space stripped (white-space mode) but not yet cut at the
// comment marker: the line is a row exactly when the rest is not empty and
// does not start with the marker (any later occurrence leaves text before
// it). The reader of a field cuts the row only as far as it looks into it
// (see AscFile::findField_). An empty marker means the table has no comments.
class RowScanner {
  public:
    // name and comment must outlive the scanner.
    RowScanner(int fd, off_t start, std::string const& name, bool whiteSpaceMode,
               std::string const& comment);

    // The next data row; false at the end of the file.
    bool next(char const*& begin, char const*& end);

    // File offset just behind the last row returned.
    off_t offset() const { return lines_.offset(); }

  private:
    LineScanner lines_;
    bool whiteSpaceMode_;
    std::string const& comment_;
};

}  // namespace sci
