#include "sci/asc_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string_view>

#include "sci/exceptions.h"

namespace sci {

namespace {

// Narrowing a double to float relies on IEEE rounding (out-of-range values
// become +-inf instead of being undefined).
static_assert(std::numeric_limits<float>::is_iec559 && std::numeric_limits<double>::is_iec559,
              "the reader narrows doubles to floats with IEEE rounding");

// Bytes read from the file per system call. A line longer than this grows the
// buffer until the whole line fits.
constexpr size_t kChunkBytes = 256 * 1024;

// The longest line a table may have, 128 MiB (no catalogue row comes near;
// a file without line ends, such as a download preallocated with zeros, would
// otherwise be read whole into memory, and the buffer doubled past it).
constexpr size_t kMaxLineBytes = size_t(128) << 20;

// The field splitter reads the line 32 bytes at a time, so the line buffer is
// followed by this many readable bytes: a chunk may reach across a line end.
constexpr size_t kChunkOfLine = 32;

// Fields no longer than this are copied to the stack for strtod/strtol.
constexpr size_t kShortField = 64;

// Longest digit run that cannot overflow a long: 10^18 - 1 < 2^63 - 1.
constexpr int kSafeLongDigits = 18;

inline bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string cannotOpenMessage(std::string const& name) {
    return "Cannot open file '" + name + "'!";
}
std::string cannotReadMessage(std::string const& name) {
    return "Cannot read file '" + name + "'!";
}
std::string notEnoughColumnsMessage(std::string const& name) {
    return "Not enough columns in file '" + name + "'!";
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
std::string lineTooLongMessage(std::string const& name) {
    return "Line too long (128 MiB or more) in file '" + name + "'!";
}

// 16 bytes as one vector: compares work on all of them at once and give
// 0xFF where true, 0 where false.
typedef unsigned char Bytes16 __attribute__((vector_size(16)));

inline Bytes16 load16(char const* p) {
    Bytes16 bytes;
    std::memcpy(&bytes, p, sizeof bytes);
    return bytes;
}

// Bit i of the result is set when flags[i] (0xFF or 0) is set.
inline uint32_t flagBits16(Bytes16 flags) {
#if defined(__SSE2__)
    // The top bit of every byte, gathered by one instruction.
    typedef char Chars16 __attribute__((vector_size(16)));
    return static_cast<uint32_t>(__builtin_ia32_pmovmskb128(reinterpret_cast<Chars16>(flags)));
#else
    // Keeping bit 0 of each byte of a 64-bit half and multiplying by
    // 0x0102040810204080 moves bit 8i to bit 56 + i (every partial product
    // lands on its own bit, so nothing carries).
    uint64_t half[2];
    std::memcpy(half, &flags, sizeof half);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    half[0] = __builtin_bswap64(half[0]);
    half[1] = __builtin_bswap64(half[1]);
#endif
    auto gather = [](uint64_t x) {
        return static_cast<uint32_t>(((x & 0x0101010101010101ULL) * 0x0102040810204080ULL) >> 56);
    };
    return gather(half[0]) | gather(half[1]) << 8;
#endif
}

// Bit i set when p[i] (i = 0..31) is a blank or a tab.
inline uint32_t blankBits32(char const* p) {
    Bytes16 const low = load16(p);
    Bytes16 const high = load16(p + 16);
    return flagBits16((low == ' ') | (low == '\t')) | flagBits16((high == ' ') | (high == '\t'))
                                                          << 16;
}

// Bit i set when p[i] (i = 0..31) is white space (isspace in the C locale:
// blank, or \t \n \v \f \r, the bytes 9..13).
inline uint32_t spaceBits32(char const* p) {
    auto spaces = [](Bytes16 b) {
        return flagBits16((b == ' ') | (static_cast<Bytes16>(b - '\t') <= '\r' - '\t'));
    };
    return spaces(load16(p)) | spaces(load16(p + 16)) << 16;
}

// Bit i set when p[i] (i = 0..31) is the byte c.
inline uint32_t byteBits32(char const* p, unsigned char c) {
    return flagBits16(load16(p) == c) | flagBits16(load16(p + 16) == c) << 16;
}

// The number of set bits: sums of bit pairs, nibbles, then the four byte sums
// added up by one multiplication.
inline int bitCount32(uint32_t x) {
    x -= (x >> 1) & 0x55555555u;
    x = (x & 0x33333333u) + ((x >> 2) & 0x33333333u);
    x = (x + (x >> 4)) & 0x0F0F0F0Fu;
    return static_cast<int>((x * 0x01010101u) >> 24);
}

// The bits of the first n bytes of a chunk (n >= 1).
inline uint32_t validBits32(size_t n) {
    return n >= kChunkOfLine ? 0xFFFFFFFFu : (uint32_t(1) << n) - 1;
}

// Marks "no comment marker" for blankSeparatedField.
constexpr int kNoMarker = -1;

// The first byte of [begin, end) that is not white space, or end. Reads up
// to kChunkOfLine - 1 bytes beyond end.
char const* skipSpaces(char const* begin, char const* end) {
    for (; begin < end; begin += kChunkOfLine) {
        uint32_t const other = ~spaceBits32(begin) & validBits32(static_cast<size_t>(end - begin));
        if (other != 0) return begin + __builtin_ctz(other);
    }
    return end;
}

// Piece col (col >= 1) of [begin, end) split at runs of blanks and tabs; false
// when there are fewer pieces. The text ends early at the first byte equal to
// marker (a one-byte comment marker, or kNoMarker). Reads up to
// kChunkOfLine - 1 bytes beyond end.
// The line goes by 32-byte chunks, each turned into a bit mask of its blanks;
// a piece starts at every non-blank byte whose predecessor is a blank (or the
// line start): starts = nonblank & ~(nonblank << 1 | carry from the last chunk).
bool blankSeparatedField(char const* begin, char const* end, int col, int marker,
                         char const*& fieldBegin, char const*& fieldEnd) {
    size_t length = static_cast<size_t>(end - begin);
    int remaining = col;
    uint32_t previousNonBlank = 0;  // bit 0: the byte before the chunk is not blank
    for (size_t offset = 0; offset < length; offset += kChunkOfLine) {
        uint32_t valid = validBits32(length - offset);
        if (marker != kNoMarker) {
            uint32_t const marks =
                byteBits32(begin + offset, static_cast<unsigned char>(marker)) & valid;
            if (marks != 0) {  // the text ends before the first marker
                int const cut = __builtin_ctz(marks);
                valid &= (uint32_t(1) << cut) - 1;
                length = offset + static_cast<size_t>(cut);
                end = begin + length;
            }
        }
        uint32_t const blank = blankBits32(begin + offset);
        uint32_t const nonBlank = ~blank & valid;
        uint32_t starts = nonBlank & ~((nonBlank << 1) | previousNonBlank);
        previousNonBlank = nonBlank >> 31;
        int const found = bitCount32(starts);
        if (found < remaining) {
            remaining -= found;
            continue;
        }
        for (int k = 1; k < remaining; ++k) starts &= starts - 1;
        int const s = __builtin_ctz(starts);
        fieldBegin = begin + offset + s;
        // The piece ends at the next blank or at the end of the line.
        uint32_t stops = (blank | ~valid) & (0xFFFFFFFFu << s);
        while (stops == 0) {
            offset += kChunkOfLine;
            if (offset >= length) {
                fieldEnd = end;
                return true;
            }
            stops = blankBits32(begin + offset) | ~validBits32(length - offset);
            if (marker != kNoMarker)
                stops |= byteBits32(begin + offset, static_cast<unsigned char>(marker));
        }
        fieldEnd = begin + offset + __builtin_ctz(stops);
        return true;
    }
    return false;
}

// Field col (col >= 1) of [begin, end) in delimiter mode; false when the row
// has fewer than col - 1 delimiters.
bool delimitedField(char const* begin, char const* end, char delimiter, int col,
                    char const*& fieldBegin, char const*& fieldEnd) {
    char const* p = begin;
    for (int k = 1; k < col; ++k) {
        void const* hit = std::memchr(p, delimiter, static_cast<size_t>(end - p));
        if (hit == nullptr) return false;
        p = static_cast<char const*>(hit) + 1;
    }
    void const* hit = std::memchr(p, delimiter, static_cast<size_t>(end - p));
    fieldBegin = p;
    fieldEnd = hit != nullptr ? static_cast<char const*>(hit) : end;
    return true;
}

// Hands out the lines of a file in order, starting at a given byte offset,
// through a buffer that is refilled with pread. A line is returned without its
// '\n' and without a '\r' right before it (or right before the end of the
// file); it stays valid until the next call and is followed by at least
// kChunkOfLine readable bytes.
class LineScanner {
  public:
    LineScanner(int fd, off_t start, std::string const& name)
        : fd_(fd),
          name_(name),
          buffer_(allocate_(kChunkBytes)),
          capacity_(kChunkBytes),
          bufferOffset_(start) {}

    bool next(char const*& begin, char const*& end) {
        for (;;) {
            char* const data = buffer_.get();
            if (searched_ < end_) {
                void const* newline = std::memchr(data + searched_, '\n', end_ - searched_);
                if (newline != nullptr) {
                    begin = data + pos_;
                    end = static_cast<char const*>(newline);
                    pos_ = searched_ = static_cast<size_t>(end - data) + 1;
                    dropCarriageReturn_(begin, end);
                    return true;
                }
                searched_ = end_;
            }
            if (eof_) {
                if (pos_ == end_) return false;
                begin = data + pos_;
                end = data + end_;
                pos_ = end_;
                dropCarriageReturn_(begin, end);
                return true;
            }
            refill_();
        }
    }

    // File offset just behind the last line returned.
    off_t offset() const { return bufferOffset_ + static_cast<off_t>(pos_); }

  private:
    // Zero-filled, so that the bytes behind the data are defined.
    static std::unique_ptr<char[]> allocate_(size_t capacity) {
        return std::unique_ptr<char[]>(new char[capacity + kChunkOfLine]());
    }

    static void dropCarriageReturn_(char const* begin, char const*& end) {
        if (end != begin && end[-1] == '\r') --end;
    }

    // Keeps the unfinished line, makes room behind it (doubling the buffer when
    // the line fills it) and reads more; sets eof_ when nothing is left.
    void refill_() {
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
            std::unique_ptr<char[]> larger = allocate_(2 * capacity_);
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
// (see AscFile::findField_).
class RowScanner {
  public:
    RowScanner(int fd, off_t start, std::string const& name, bool whiteSpaceMode,
               std::string const& comment)
        : lines_(fd, start, name), whiteSpaceMode_(whiteSpaceMode), comment_(comment) {}

    bool next(char const*& begin, char const*& end) {
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

    off_t offset() const { return lines_.offset(); }

  private:
    LineScanner lines_;
    bool whiteSpaceMode_;
    std::string const& comment_;
};

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

// Calls f with a NUL-terminated copy of [begin, end).
template <class F>
auto withTerminatedCopy(char const* begin, char const* end, F f) {
    size_t const n = static_cast<size_t>(end - begin);
    if (n < kShortField) {
        char text[kShortField];
        std::memcpy(text, begin, n);
        text[n] = '\0';
        return f(text);
    }
    std::string const text(begin, end);
    return f(text.c_str());
}

// The exact powers 10^0 .. 10^22 (10^22 < 2^53 * 2^22 is the largest power
// of ten a double holds exactly).
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kMaxExactPower = 22;
constexpr uint64_t kMaxExactMantissa = uint64_t(1) << 53;
// Digits kept in the mantissa; 19 digits cannot overflow 64 bits.
constexpr int kMaxMantissaDigits = 19;
// Exponent digits read here (longer exponents take the slower paths).
constexpr int kMaxExponentDigits = 4;

// Reads the whole text [begin, end) as "[-]digits[.digits][(e|E)[+-]digits]"
// when the decimal value is m * 10^e with an integer m <= 2^53 and
// |e| <= 22. Then m and 10^|e| are exact doubles and one IEEE multiplication
// or division rounds m * 10^e correctly:
//   value = m * 10^e  (e >= 0),   value = m / 10^-e  (e < 0),
// which is the correctly rounded value strtod returns. False otherwise.
// Needs arithmetic in double precision without excess precision.
inline bool shortDecimal(char const* begin, char const* end, double& value) {
#if FLT_EVAL_METHOD == 0
    char const* p = begin;
    bool const negative = p != end && *p == '-';
    if (negative) ++p;
    uint64_t mantissa = 0;
    int digits = 0;
    int fractionDigits = 0;
    for (; p != end && isDigit(*p); ++p, ++digits) {
        if (digits == kMaxMantissaDigits) return false;
        mantissa = 10 * mantissa + static_cast<uint64_t>(*p - '0');
    }
    if (p != end && *p == '.') {
        for (++p; p != end && isDigit(*p); ++p, ++digits, ++fractionDigits) {
            if (digits == kMaxMantissaDigits) return false;
            mantissa = 10 * mantissa + static_cast<uint64_t>(*p - '0');
        }
    }
    if (digits == 0) return false;
    int exponent = 0;
    if (p != end && (*p == 'e' || *p == 'E')) {
        ++p;
        bool const negativeExponent = p != end && *p == '-';
        if (p != end && (*p == '-' || *p == '+')) ++p;
        int exponentDigits = 0;
        for (; p != end && isDigit(*p); ++p, ++exponentDigits) {
            if (exponentDigits == kMaxExponentDigits) return false;
            exponent = 10 * exponent + (*p - '0');
        }
        if (exponentDigits == 0) return false;
        if (negativeExponent) exponent = -exponent;
    }
    if (p != end || mantissa > kMaxExactMantissa) return false;
    int const power = exponent - fractionDigits;
    if (power < -kMaxExactPower || power > kMaxExactPower) return false;
    double const m = static_cast<double>(mantissa);
    double const magnitude =
        power < 0 ? m / kExactPowersOfTen[-power] : m * kExactPowersOfTen[power];
    value = negative ? -magnitude : magnitude;
    return true;
#else
    (void)begin;
    (void)end;
    (void)value;
    return false;
#endif
}

int clampToInt(long value) {
    if (value < INT_MIN) return INT_MIN;
    if (value > INT_MAX) return INT_MAX;
    return static_cast<int>(value);
}

}  // namespace

double fieldToDouble(char const* begin, char const* end) {
    // Fast paths for text that is a whole plain decimal number: first the
    // exact short form, then from_chars. Both round the decimal value
    // correctly (to nearest), as strtod does, so they agree with it on such
    // text; anything else (hex, inf, nan, '+', leading white space, trailing
    // junk, overflow, underflow) is left to strtod.
    double value;
    if (shortDecimal(begin, end, value)) return value;
    if (begin != end) {
        char const c = *begin;
        bool const decimalStart =
            isDigit(c) || c == '.' ||
            (c == '-' && end - begin > 1 && (isDigit(begin[1]) || begin[1] == '.'));
        if (decimalStart) {
            std::from_chars_result const r = std::from_chars(begin, end, value);
            if (r.ec == std::errc() && r.ptr == end) return value;
        }
    }
    return withTerminatedCopy(begin, end,
                              [](char const* text) { return std::strtod(text, nullptr); });
}

long fieldToLong(char const* begin, char const* end) {
    // Fast path: an optional '-' and up to kSafeLongDigits digits, followed by
    // anything that is not a digit; strtol reads exactly that number.
    char const* p = begin;
    bool const negative = p != end && *p == '-';
    if (negative) ++p;
    if (p != end && isDigit(*p)) {
        long value = 0;
        int digits = 0;
        while (p != end && isDigit(*p) && digits < kSafeLongDigits) {
            value = 10 * value + (*p - '0');
            ++p;
            ++digits;
        }
        if (p == end || !isDigit(*p)) return negative ? -value : value;
    }
    return withTerminatedCopy(begin, end,
                              [](char const* text) { return std::strtol(text, nullptr, 10); });
}

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

MArray<int, 1> AscFile::readIntColumn(int col, int first, int count) {
    return readSingleCol_<int>(col, first, count, [](char const* begin, char const* end) {
        return clampToInt(fieldToLong(begin, end));
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
            throwMissingColumn_();
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

void AscFile::throwMissingColumn_() const {
    if (delimiter_ == 0) throw IOException(notEnoughColumnsMessage(filename_));
    throw IOException(columnDoesNotExistMessage(filename_));
}

}  // namespace sci
