// Helpers shared by the FITS tests: fixed-format card images of one keyword
// and the bits of a float.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "sci/fits_card.h"
#include "sci/fits_writer.h"
#include "tests/support/messages.h"

namespace testsupport {

using Cards = std::vector<std::string>;

inline std::string intCard(std::string const& key, long value) {
    return sci::FitsIntCard(sci::fitsKeyword(key), value, true, "").writeCard();
}
inline std::string floatCard(std::string const& key, double value) {
    return sci::FitsFloatCard(sci::fitsKeyword(key), value, true, "").writeCard();
}
inline std::string boolCard(std::string const& key, bool value) {
    return sci::FitsBoolCard(sci::fitsKeyword(key), value, true, "").writeCard();
}

inline uint32_t bitsOf(float f) {
    uint32_t bits = 0;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

}  // namespace testsupport
