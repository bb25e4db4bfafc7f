// Tests of sci::FitsIn on files that are cut short or hold no data (the pixel
// conversion of every BITPIX is cross-checked against cfitsio in
// fits_in_xcheck_test.cpp).
#include "sci/fits_in.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "sci/exceptions.h"
#include "sci/fits_card.h"
#include "sci/fits_writer.h"
#include "tests/support/messages.h"
#include "tests/support/temp_dir.h"

namespace {

using testsupport::messageOf;
using testsupport::TempDir;

// Mappings of path in this process (lines of /proc/self/maps naming it).
int mappingsOf(std::string const& path) {
    std::ifstream maps("/proc/self/maps");
    int count = 0;
    for (std::string line; std::getline(maps, line);) count += line.find(path) != std::string::npos;
    return count;
}

}  // namespace

// Files cut short or without data (GCOUNT = 0) are refused before a pixel is
// read, and leave nothing mapped.
TEST(FitsIn, FilesCutShortOrWithoutData) {
    TempDir dir;
    std::string const path = dir.file("cut.fits");
    std::string const header = sci::fitsHeaderBlock(sci::fitsImageCards(16, {10, 10}));
    std::vector<double> pixels(100);
    for (size_t k = 0; k < pixels.size(); ++k) pixels[k] = k;  // pixel (x, y) holds 10 y + x - 11
    std::string const data = sci::fitsDataBlock(pixels, 16, false);  // 200 bytes
    std::string const segment =
        "data segment of FITS file '" + path + "' extends beyond the end of the file";
    // One byte short: the last pixel is cut and the data segment refused (a
    // region cut short: tests/apps/bad_input_test.cpp).
    sci::writeFitsFile(path, header + data.substr(0, 199));
    EXPECT_EQ(segment,
              messageOf([&] { sci::FitsIn(path, sci::CardWarnings::kQuiet).getFloatArray(); }));
    // Complete but not padded to a whole record: readable, and unmapped again
    // when the reader goes.
    sci::writeFitsFile(path, header + data);
    {
        sci::FitsIn in(path, sci::CardWarnings::kQuiet);
        EXPECT_EQ(98.0, sci::getFitsMArray(in)(9, 10));
    }
    EXPECT_EQ(0, mappingsOf(path));
    // A header refused after its END card leaves nothing mapped (it once did).
    std::string damaged = header + data;
    damaged[header.size() - 1] = 'x';
    sci::writeFitsFile(path, damaged);
    EXPECT_THROW(sci::FitsIn(path, sci::CardWarnings::kQuiet), sci::FitsException);
    EXPECT_EQ(0, mappingsOf(path));

    std::string const none = dir.file("g0.fits");
    std::vector<std::string> cards = sci::fitsImageCards(16, {4, 2});
    cards.push_back(sci::FitsIntCard("GCOUNT  ", 0, true, "").writeCard());
    sci::writeFitsFile(none, sci::fitsHeaderBlock(cards));
    sci::FitsIn empty(none, sci::CardWarnings::kQuiet);
    EXPECT_EQ("data segment of FITS file '" + none + "' is shorter than its image",
              messageOf([&] { sci::getFitsMArray(empty); }));
}
