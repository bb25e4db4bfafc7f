// The byte layout of FITS data: elements stored big-endian (most significant
// byte first) and every header or data segment padded to whole 2880-byte
// records. Byte offsets start at 0; lengths are in bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

namespace sci {

// The element of type Raw (at most 8 bytes) stored big-endian at bytes.
template <class Raw>
Raw loadBigEndian(unsigned char const* bytes);

// Stores value at bytes[0 .. sizeof value), most significant byte first.
template <class Unsigned>
void storeBigEndian(unsigned char* bytes, Unsigned value);

// Appends the bytes of value to out, most significant byte first.
template <class Unsigned>
void appendBigEndian(std::string& out, Unsigned value);

// The fill bytes that complete length bytes to a whole number of 2880-byte
// records: 0 when length is already a multiple of 2880.
std::size_t fitsRecordPadding(std::size_t length);

// ------------------------------------------------------------ templates

template <class Raw>
Raw loadBigEndian(unsigned char const* bytes) {
    static_assert(sizeof(Raw) <= 8, "FITS elements have at most 8 bytes");
    uint64_t bits = 0;
    for (size_t k = 0; k < sizeof(Raw); ++k) bits = (bits << 8) | bytes[k];
    if constexpr (sizeof(Raw) == 1) {
        return static_cast<Raw>(bits);
    } else if constexpr (sizeof(Raw) == 2) {
        uint16_t const narrow = static_cast<uint16_t>(bits);
        Raw value;
        std::memcpy(&value, &narrow, sizeof value);
        return value;
    } else if constexpr (sizeof(Raw) == 4) {
        uint32_t const narrow = static_cast<uint32_t>(bits);
        Raw value;
        std::memcpy(&value, &narrow, sizeof value);
        return value;
    } else {
        Raw value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
}

template <class Unsigned>
void storeBigEndian(unsigned char* bytes, Unsigned value) {
    static_assert(std::is_unsigned<Unsigned>::value, "stores the bits of an unsigned integer");
    for (size_t k = 0; k < sizeof(Unsigned); ++k)
        bytes[k] = static_cast<unsigned char>((value >> (8 * (sizeof(Unsigned) - 1 - k))) & 0xffu);
}

template <class Unsigned>
void appendBigEndian(std::string& out, Unsigned value) {
    unsigned char bytes[sizeof(Unsigned)];
    storeBigEndian(bytes, value);
    out.append(reinterpret_cast<char const*>(bytes), sizeof bytes);
}

}  // namespace sci
