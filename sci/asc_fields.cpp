#include "sci/asc_fields.h"

#include <cstdint>
#include <cstring>

#include "sci/byte_masks.h"

namespace sci {

using byte_masks::bitCount32;
using byte_masks::blankBits32;
using byte_masks::byteBits32;
using byte_masks::validBits32;

// The line goes by 32-byte chunks, each turned into a bit mask of its blanks;
// a piece starts at every non-blank byte whose predecessor is a blank (or the
// line start): starts = nonblank & ~(nonblank << 1 | carry from the last chunk).
bool blankSeparatedField(char const* begin, char const* end, int col, int marker,
                         char const*& fieldBegin, char const*& fieldEnd) {
    size_t length = static_cast<size_t>(end - begin);
    int remaining = col;
    uint32_t previousNonBlank = 0;  // bit 0: the byte before the chunk is not blank
    for (size_t offset = 0; offset < length; offset += kFieldReadAhead) {
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
            offset += kFieldReadAhead;
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

long blankSeparatedCount(char const* begin, char const* end) {
    long pieces = 0;
    bool inPiece = false;
    for (char const* p = begin; p != end; ++p) {
        bool const blank = *p == ' ' || *p == '\t';
        if (!blank && !inPiece) ++pieces;
        inPiece = !blank;
    }
    return pieces;
}

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

}  // namespace sci
