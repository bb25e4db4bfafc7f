#include "sci/asc_lines.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sci/asc_fields.h"
#include "sci/byte_masks.h"
#include "sci/exceptions.h"

namespace sci {

using byte_masks::spaceBits32;
using byte_masks::validBits32;

namespace {

// Bytes read from the file per system call. A line longer than this grows the
// buffer until the whole line fits.
constexpr size_t kChunkBytes = 256 * 1024;

// The longest line a table may have, 128 MiB (no catalogue row comes near;
// a file without line ends, such as a download preallocated with zeros, would
// otherwise be read whole into memory, and the buffer doubled past it).
constexpr size_t kMaxLineBytes = size_t(128) << 20;

std::string cannotReadMessage(std::string const& name) {
    return "Cannot read file '" + name + "'!";
}
std::string lineTooLongMessage(std::string const& name) {
    return "Line too long (128 MiB or more) in file '" + name + "'!";
}

// Zero-filled, so that the bytes behind the data are defined.
std::unique_ptr<char[]> allocateBuffer(size_t capacity) {
    return std::unique_ptr<char[]>(new char[capacity + kFieldReadAhead]());
}

void dropCarriageReturn(char const* begin, char const*& end) {
    if (end != begin && end[-1] == '\r') --end;
}

// The first byte of [begin, end) that is not white space (the C-locale isspace
// set: blank, \t \n \v \f \r), or end. Reads up to kFieldReadAhead - 1 bytes
// beyond end.
char const* skipSpaces(char const* begin, char const* end) {
    for (; begin < end; begin += kFieldReadAhead) {
        uint32_t const other = ~spaceBits32(begin) & validBits32(static_cast<size_t>(end - begin));
        if (other != 0) return begin + __builtin_ctz(other);
    }
    return end;
}

}  // namespace

LineScanner::LineScanner(int fd, off_t start, std::string const& name)
    : fd_(fd),
      name_(name),
      buffer_(allocateBuffer(kChunkBytes)),
      capacity_(kChunkBytes),
      bufferOffset_(start) {}

bool LineScanner::next(char const*& begin, char const*& end) {
    for (;;) {
        char* const data = buffer_.get();
        if (searched_ < end_) {
            void const* newline = std::memchr(data + searched_, '\n', end_ - searched_);
            if (newline != nullptr) {
                begin = data + pos_;
                end = static_cast<char const*>(newline);
                pos_ = searched_ = static_cast<size_t>(end - data) + 1;
                dropCarriageReturn(begin, end);
                return true;
            }
            searched_ = end_;
        }
        if (eof_) {
            if (pos_ == end_) return false;
            begin = data + pos_;
            end = data + end_;
            pos_ = end_;
            dropCarriageReturn(begin, end);
            return true;
        }
        refill_();
    }
}

void LineScanner::refill_() {
    size_t const keep = end_ - pos_;
    if (pos_ > 0) {
        std::memmove(buffer_.get(), buffer_.get() + pos_, keep);
        bufferOffset_ += static_cast<off_t>(pos_);
        searched_ -= pos_;
        pos_ = 0;
        end_ = keep;
    }
    if (end_ == capacity_) {
        if (capacity_ >= kMaxLineBytes) throw IOException(lineTooLongMessage(name_));
        std::unique_ptr<char[]> larger = allocateBuffer(2 * capacity_);
        std::memcpy(larger.get(), buffer_.get(), end_);
        buffer_ = std::move(larger);
        capacity_ *= 2;
    }
    ssize_t got;
    do {
        got = pread(fd_, buffer_.get() + end_, capacity_ - end_,
                    bufferOffset_ + static_cast<off_t>(end_));
    } while (got < 0 && errno == EINTR);
    if (got < 0) throw IOException(cannotReadMessage(name_));
    if (got == 0)
        eof_ = true;
    else
        end_ += static_cast<size_t>(got);
}

RowScanner::RowScanner(int fd, off_t start, std::string const& name, bool whiteSpaceMode,
                       std::string const& comment)
    : lines_(fd, start, name), whiteSpaceMode_(whiteSpaceMode), comment_(comment) {}

bool RowScanner::next(char const*& begin, char const*& end) {
    while (lines_.next(begin, end)) {
        if (whiteSpaceMode_) begin = skipSpaces(begin, end);
        if (begin == end) continue;
        size_t const m = comment_.size();
        if (m != 0 && *begin == comment_[0] && static_cast<size_t>(end - begin) >= m &&
            std::memcmp(begin, comment_.data(), m) == 0)
            continue;
        return true;
    }
    return false;
}

}  // namespace sci
