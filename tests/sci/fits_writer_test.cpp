// Tests of the FITS writer's byte level: big-endian elements of every BITPIX,
// rounding to the nearest integer, and the padding of data and header blocks
// to whole 2880-byte records. Expected bytes are written out by hand from the
// big-endian two's-complement and IEEE forms.
#include "sci/fits_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string bytes(std::vector<int> const& values) {
    std::string text;
    for (int v : values) text.push_back(static_cast<char>(v));
    return text;
}

TEST(FitsWriter, DataBlockBigEndianRoundedToNearestAndPadded) {
    struct Case {
        int bitpix;
        std::vector<double> stored;
        std::string expected;
    };
    std::vector<Case> const cases = {
        {8, {0.0, 255.0, 2.6, 1.4}, bytes({0x00, 0xFF, 0x03, 0x01})},
        {16,
         {258.0, -2.0, -32768.0, 32767.0, 2.7},
         bytes({0x01, 0x02, 0xFF, 0xFE, 0x80, 0x00, 0x7F, 0xFF, 0x00, 0x03})},
        {32, {16909060.0, -1.6}, bytes({0x01, 0x02, 0x03, 0x04, 0xFF, 0xFF, 0xFF, 0xFE})},
        {-32, {1.0, -2.5}, bytes({0x3F, 0x80, 0x00, 0x00, 0xC0, 0x20, 0x00, 0x00})},
        {-64, {1.0}, bytes({0x3F, 0xF0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00})},
    };
    for (Case const& c : cases) {
        EXPECT_EQ(c.expected, sci::fitsDataBlock(c.stored, c.bitpix, false)) << c.bitpix;
        EXPECT_EQ(c.expected + std::string(2880 - c.expected.size(), '\0'),
                  sci::fitsDataBlock(c.stored, c.bitpix))
            << c.bitpix;
    }
    EXPECT_EQ(sci::fitsRawCard("A       = 1") + sci::fitsRawCard("END") + std::string(2720, ' '),
              sci::fitsHeaderBlock({"A       = 1"}));
}

}  // namespace
