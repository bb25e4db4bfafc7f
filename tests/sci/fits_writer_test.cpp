// Tests of the FITS writer's byte level: big-endian elements of every BITPIX,
// rounding to the nearest integer, the range of each integer type, and the
// padding of data and header blocks to whole 2880-byte records. Expected bytes
// are written out by hand from the big-endian two's-complement and IEEE forms.
#include "sci/fits_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "sci/exceptions.h"
#include "tests/support/messages.h"

namespace {

constexpr size_t kRecord = 2880;

std::string bytes(std::vector<int> const& values) {
    std::string text;
    for (int v : values) text.push_back(static_cast<char>(v));
    return text;
}

std::string writerError(std::vector<double> const& stored, int bitpix) {
    return testsupport::messageOf<sci::FitsException>(
        [&] { sci::fitsDataBlock(stored, bitpix, false); });
}

}  // namespace

TEST(FitsWriter, DataBlockBigEndianAndRoundedToNearest) {
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
    for (Case const& c : cases)
        EXPECT_EQ(c.expected, sci::fitsDataBlock(c.stored, c.bitpix, false)) << c.bitpix;
}

TEST(FitsWriter, ValuesOutsideTheIntegerTypeThrow) {
    EXPECT_EQ("value 256.000000 cannot be stored with BITPIX 8", writerError({256.0}, 8));
    EXPECT_EQ("value -1.000000 cannot be stored with BITPIX 8", writerError({-1.0}, 8));
    EXPECT_EQ("value 32768.000000 cannot be stored with BITPIX 16", writerError({32768.0}, 16));
    EXPECT_EQ("value -32769.000000 cannot be stored with BITPIX 16", writerError({-32769.0}, 16));
    EXPECT_EQ("value 2147483648.000000 cannot be stored with BITPIX 32",
              writerError({2147483648.0}, 32));
    EXPECT_EQ("value nan cannot be stored with BITPIX 32", writerError({std::nan("")}, 32));
    EXPECT_EQ("illegal BITPIX", writerError({1.0}, 24));
}

TEST(FitsWriter, BlocksPaddedToWholeRecords) {
    std::string const data = sci::fitsDataBlock({1.0, 2.0, 3.0}, 16);
    ASSERT_EQ(kRecord, data.size());
    EXPECT_EQ(bytes({0x00, 0x01, 0x00, 0x02, 0x00, 0x03}), data.substr(0, 6));
    EXPECT_EQ(std::string(kRecord - 6, '\0'), data.substr(6));
    EXPECT_EQ(kRecord, sci::fitsDataBlock(std::vector<double>(kRecord, 1.0), 8).size());

    std::string const header = sci::fitsHeaderBlock({"A       = 1"});
    ASSERT_EQ(kRecord, header.size());
    EXPECT_EQ(sci::fitsRawCard("A       = 1") + sci::fitsRawCard("END"), header.substr(0, 160));
    EXPECT_EQ(std::string(kRecord - 160, ' '), header.substr(160));
    EXPECT_EQ(sci::fitsRawCard("A       = 1"),
              sci::fitsHeaderBlock({"A       = 1"}, false).substr(0, 80));
    EXPECT_EQ(std::string(kRecord - 80, ' '),
              sci::fitsHeaderBlock({"A       = 1"}, false).substr(80));
}
