// Tests of sci::FitsIn: pixel conversion for BITPIX with and without
// BSCALE/BZERO, and files that are cut short or claim impossible sizes.
// Pixel values describe their position (v = 100*x + y) so that a transposed,
// shifted or mis-based read shows in the first wrong value.
#include "sci/fits_in.h"

#include <gtest/gtest.h>

#include <fstream>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "sci/exceptions.h"
#include "sci/fits_writer.h"
#include "tests/sci/fits_test_cards.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace testsupport;

// Writes file name of dir: a primary image of the given axes holding the
// stored element values after the extra cards; returns its path.
std::string writeStored(TempDir const& dir, std::string const& name, int bitpix,
                        std::vector<long> const& axes, std::vector<double> const& stored,
                        Cards const& extra = {}) {
    Cards cards = sci::fitsImageCards(bitpix, axes);
    cards.insert(cards.end(), extra.begin(), extra.end());
    std::string const path = dir.file(name);
    sci::writeFitsFile(path, sci::fitsHeaderBlock(cards) + sci::fitsDataBlock(stored, bitpix));
    return path;
}

// nx by ny pixels v = 100*x + y in file order.
std::vector<double> positionImage(long nx, long ny) {
    std::vector<double> v;
    for (long y = 1; y <= ny; ++y)
        for (long x = 1; x <= nx; ++x) v.push_back(100.0 * x + y);
    return v;
}

// Mappings of path in this process (lines of /proc/self/maps naming it).
int mappingsOf(std::string const& path) {
    std::ifstream maps("/proc/self/maps");
    int count = 0;
    for (std::string line; std::getline(maps, line);)
        if (line.size() >= path.size() &&
            line.compare(line.size() - path.size(), path.size(), path) == 0)
            ++count;
    return count;
}

}  // namespace

// Expected: the stored element (floats rounded to float first), times BSCALE plus
// BZERO in double when they are not 1 and 0, rounded to float; bit for bit, so
// -0, inf and NaN count.
TEST(FitsIn, EveryBitpixWithAndWithoutScaling) {
    struct Case {
        int bitpix;
        double bscale, bzero;
        std::vector<double> stored;
    };
    double const nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<Case> const cases = {
        {32, 1, 0, {-2147483648.0, -1, 0, 16777217, 2147483647, 123456789}},  // 2^24+1 rounds
        {16, 1.0, 32768.0, {-32768, 32767, -1, 0, 1, 100}},                   // unsigned 16-bit
        {32, 1e-3, 5.0, {123456789, -5, 0, 1, 2, 3}},
        {-32, 2.0, 1.0, {1.5, nan, -0.0, 3.0e38, 0.1, -2.0}},  // 3e38*2 overflows to inf
    };
    TempDir dir;
    for (Case const& c : cases) {
        bool const scaled = c.bscale != 1.0 || c.bzero != 0.0;
        Cards const scaling = {floatCard("BSCALE", c.bscale), floatCard("BZERO", c.bzero)};
        sci::FitsIn in(
            writeStored(dir, "t.fits", c.bitpix, {3, 2}, c.stored, scaled ? scaling : Cards{}),
            sci::CardWarnings::kQuiet);
        std::unique_ptr<float[]> data = in.getFloatArray();
        for (size_t k = 0; k < c.stored.size(); ++k) {
            double const v = c.bitpix == -32 ? static_cast<float>(c.stored[k]) : c.stored[k];
            float const expected = static_cast<float>(scaled ? v * c.bscale + c.bzero : v);
            EXPECT_EQ(bitsOf(expected), bitsOf(data[k]))
                << "BITPIX " << c.bitpix << " BSCALE " << c.bscale << " element " << k;
        }
    }
}

// Files cut short or without data (GCOUNT = 0) are refused before a pixel is
// read, and leave nothing mapped.
TEST(FitsIn, FilesCutShortOrWithoutData) {
    TempDir dir;
    std::string const path = dir.file("cut.fits");
    std::string const header = sci::fitsHeaderBlock(sci::fitsImageCards(16, {10, 10}));
    std::string const data = sci::fitsDataBlock(positionImage(10, 10), 16, false);  // 200 bytes
    std::string const segment =
        "data segment of FITS file '" + path + "' extends beyond the end of the file";
    // One byte short: the last pixel is cut, the data segment is refused, the
    // rows before it read (a region cut short: tests/apps/bad_input_test.cpp).
    sci::writeFitsFile(path, header + data.substr(0, 199));
    {
        sci::FitsIn in(path, sci::CardWarnings::kQuiet);
        EXPECT_EQ(segment, messageOf([&] { in.getFloatArray(); }));
        util::Region region = in.getFullRegion();
        region.setRange(2, 8, 9);
        in.setRegion(region);
        EXPECT_EQ(1009.0, sci::getFitsMArray(in)(10, 2));
    }
    // Complete but not padded to a whole record: readable, and unmapped again
    // when the reader goes.
    sci::writeFitsFile(path, header + data);
    {
        sci::FitsIn in(path, sci::CardWarnings::kQuiet);
        EXPECT_EQ(1010.0, sci::getFitsMArray(in)(10, 10));
    }
    EXPECT_EQ(0, mappingsOf(path));
    // A header refused after its END card leaves nothing mapped (it once did).
    std::string damaged = header + data;
    damaged[header.size() - 1] = 'x';
    sci::writeFitsFile(path, damaged);
    EXPECT_THROW(sci::FitsIn(path, sci::CardWarnings::kQuiet), sci::FitsException);
    EXPECT_EQ(0, mappingsOf(path));

    std::string const none = writeStored(dir, "g0.fits", 16, {4, 2}, {}, {intCard("GCOUNT", 0)});
    sci::FitsIn empty(none, sci::CardWarnings::kQuiet);
    EXPECT_EQ("data segment of FITS file '" + none + "' is shorter than its image",
              messageOf([&] { sci::getFitsMArray(empty); }));
}
