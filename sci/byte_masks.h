// Bit masks of byte classes for the table reader's scans (sci/asc_fields,
// sci/asc_lines): 32 bytes of text at a time become one 32-bit mask, bit i
// for byte i (0 first). Defined here, inline, because the scans call them for
// every chunk of every row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "sci/asc_fields.h"

namespace sci {
namespace byte_masks {

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
    return n >= kFieldReadAhead ? 0xFFFFFFFFu : (uint32_t(1) << n) - 1;
}

}  // namespace byte_masks
}  // namespace sci
