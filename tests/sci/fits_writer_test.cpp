// Tests of the FITS writer's byte level: big-endian elements of every BITPIX,
// rounding to the nearest integer, and the padding of data and header blocks
// to whole 2880-byte records. Expected bytes are written out by hand from the
// big-endian two's-complement and IEEE forms.
#include "sci/fits_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

TEST(FitsWriter, DataBlockBigEndianRoundedToNearestAndPadded) {
    struct Case {
        int bitpix;
        std::vector<double> stored;
        std::string expected;
    };
    std::vector<Case> const cases = {
        {8, {0.0, 255.0, 2.6, 1.4}, "\x00\xFF\x03\x01"s},
        {16, {258.0, -2.0, -32768.0, 32767.0, 2.7}, "\x01\x02\xFF\xFE\x80\x00\x7F\xFF\x00\x03"s},
        {32, {16909060.0, -1.6}, "\x01\x02\x03\x04\xFF\xFF\xFF\xFE"s},
        {-32, {1.0, -2.5}, "\x3F\x80\x00\x00\xC0\x20\x00\x00"s},
        {-64, {1.0}, "\x3F\xF0\x00\x00\x00\x00\x00\x00"s},
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
