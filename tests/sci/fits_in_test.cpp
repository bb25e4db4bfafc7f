// Tests of sci::FitsIn: pixel conversion for every BITPIX with and without
// BSCALE/BZERO, region reads into arrays, and files that are cut short or
// claim impossible sizes. Pixel values describe their position
// (v = 100*x + y, plus 10000*z on a third axis) so that a transposed, shifted
// or mis-based read shows in the first wrong value. Expected values are the
// conversions written out in the tests (float of v, or float of v*s + z in double).
#include "sci/fits_in.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "sci/exceptions.h"
#include "sci/fits_writer.h"
#include "tests/sci/fits_test_cards.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace testsupport;
using Image = sci::MArray<float, 2>;

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

double positionValue(long x, long y) {
    return 100.0 * x + y;
}

// nx by ny pixels v = 100*x + y in file order.
std::vector<double> positionImage(long nx, long ny) {
    std::vector<double> v;
    for (long y = 1; y <= ny; ++y)
        for (long x = 1; x <= nx; ++x) v.push_back(positionValue(x, y));
    return v;
}

// The region [x0:x1, y0:y1] of the image set on the reader.
void setRegion(sci::FitsIn& in, int x0, int x1, int y0, int y1) {
    util::Region region = in.getFullRegion();
    region.setRange(1, x0, x1);
    region.setRange(2, y0, y1);
    in.setRegion(region);
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

std::string beyondEnd(std::string const& what, std::string const& path) {
    return what + " of FITS file '" + path + "' extends beyond the end of the file";
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
        {8, 1, 0, {0, 1, 127, 128, 255, 42}},
        {32, 1, 0, {-2147483648.0, -1, 0, 16777217, 2147483647, 123456789}},  // 2^24+1 rounds
        {-32, 1, 0, {-0.0, 1.5, -3.25e-38, 3.4e38, 1e-45, 0.1}},
        {-64, 1, 0, {0.1, -1e300, 1e300, 1e-310, 123456.789, -2.5}},  // out of float range: inf
        {16, 1.0, 32768.0, {-32768, 32767, -1, 0, 1, 100}},           // unsigned 16-bit
        {8, 2.0, -1.0, {0, 255, 1, 2, 3, 128}},
        {32, 1e-3, 5.0, {123456789, -5, 0, 1, 2, 3}},
        {-32, 2.0, 1.0, {1.5, nan, -0.0, 3.0e38, 0.1, -2.0}},  // 3e38*2 overflows to inf
        {-64, 0.5, 100.0, {0.1, 1e300, -1e-300, 3.0, 5.0, nan}},
    };
    TempDir dir;
    for (Case const& c : cases) {
        bool const scaled = c.bscale != 1.0 || c.bzero != 0.0;
        Cards const scaling = {floatCard("BSCALE", c.bscale), floatCard("BZERO", c.bzero)};
        sci::FitsIn in(
            writeStored(dir, "t.fits", c.bitpix, {3, 2}, c.stored, scaled ? scaling : Cards{}),
            sci::CardWarnings::kQuiet);
        EXPECT_EQ(c.bscale, in.getBscale());
        EXPECT_EQ(c.bzero, in.getBzero());
        std::unique_ptr<float[]> data = in.getFloatArray();
        for (size_t k = 0; k < c.stored.size(); ++k) {
            double const v = c.bitpix == -32 ? static_cast<float>(c.stored[k]) : c.stored[k];
            float const expected = static_cast<float>(scaled ? v * c.bscale + c.bzero : v);
            EXPECT_EQ(bitsOf(expected), bitsOf(data[k]))
                << "BITPIX " << c.bitpix << " BSCALE " << c.bscale << " element " << k;
        }
    }
    // Float bit patterns pass unchanged: quiet NaN, negative NaN with payload,
    // signalling NaN, smallest denormal, -0, -inf.
    std::vector<uint32_t> const patterns = {0x7fc00000u, 0xffc00001u, 0x7f800001u,
                                            0x00000001u, 0x80000000u, 0xff800000u};
    std::string bytes = sci::fitsHeaderBlock(sci::fitsImageCards(-32, {3, 2}));
    for (uint32_t const p : patterns)
        for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<char>(p >> shift));
    sci::writeFitsFile(dir.file("nan.fits"), bytes);
    sci::FitsIn in(dir.file("nan.fits"), sci::CardWarnings::kQuiet);
    std::vector<uint32_t> got;
    for (float const v : sci::getFitsMArray(in)) got.push_back(bitsOf(v));
    EXPECT_EQ(patterns, got);
}

// A stamp indexed around its centre at the far corner; a region
// smaller than the array (a stamp cut at the image edge) lands at its own
// indices when they lie inside the array, else at the array's bases, and the
// rest of the array reads 0. Reading leaves the region where it is.
TEST(FitsIn, RegionsAtTheImageEdges) {
    TempDir dir;
    int const nx = 37;  // no multiple of anything
    int const ny = 23;
    std::string const path = writeStored(dir, "edges.fits", -32, {nx, ny}, positionImage(nx, ny));
    sci::FitsIn in(path, sci::CardWarnings::kQuiet);
    Image centred(sci::Range(-1, 1), sci::Range(-1, 1));
    setRegion(in, 35, 37, 21, 23);
    sci::readRegion(in, centred);
    EXPECT_EQ(std::make_tuple(positionValue(35, 21), positionValue(37, 23)),
              std::make_tuple(centred(-1, -1), centred(1, 1)));
    Image stamp(sci::Range(30, nx), sci::Range(15, ny));
    setRegion(in, 33, nx, 18, ny);
    sci::readRegion(in, stamp);
    EXPECT_EQ(std::make_tuple(positionValue(33, 18), positionValue(nx, ny), 0.0, 0.0),
              std::make_tuple(stamp(33, 18), stamp(nx, ny), stamp(30, 15), stamp(32, ny)));
    setRegion(in, 1, 3, 2, 4);
    sci::readRegion(in, stamp);
    EXPECT_EQ(std::make_tuple(positionValue(1, 2), positionValue(3, 4), 0.0),
              std::make_tuple(stamp(30, 15), stamp(32, 17), stamp(33, 18)));
    EXPECT_EQ("[1:3,2:4]", in.getRegion().toString());
    Image tiny(2, 2);
    EXPECT_EQ("region [1:3,2:4] of FITS file '" + path + "' does not fit into the array",
              messageOf([&] { sci::readRegion(in, tiny); }));
    EXPECT_EQ("request for illegal region:\n[35:38,1:23] is no subarray of [1:37,1:23]",
              messageOf([&] { setRegion(in, 35, 38, 1, 23); }));
    EXPECT_FALSE(in.hasRegion());
}

// Images that are not two-dimensional;
// group parameters (PCOUNT elements after the image) and GCOUNT = 0.
TEST(FitsIn, OtherShapesAndGroups) {
    TempDir dir;
    sci::FitsIn cube(writeStored(dir, "cube.fits", -32, {5, 4, 3}, std::vector<double>(60, 1.0)),
                     sci::CardWarnings::kQuiet);
    std::string const mismatch = "NAXIS or slice does not match MArray dimensions";
    EXPECT_EQ(mismatch, messageOf([&] { sci::getFitsMArray(cube); }));
    sci::FitsIn line(writeStored(dir, "line.fits", 16, {10}, positionImage(10, 1)),
                     sci::CardWarnings::kQuiet);
    EXPECT_EQ(mismatch, messageOf([&] { sci::getFitsMArray(line); }));
    sci::FitsIn none(writeStored(dir, "empty.fits", 16, {}, {}), sci::CardWarnings::kQuiet);
    EXPECT_EQ("No data segment associated with header (NAXIS = 0).",
              messageOf([&] { none.openData(); }));

    std::vector<double> values = positionImage(4, 2);
    values.insert(values.end(), {1, 2, 3});
    sci::FitsIn groups(writeStored(dir, "groups.fits", 16, {4, 2}, values, {intCard("PCOUNT", 3)}),
                       sci::CardWarnings::kQuiet);
    EXPECT_EQ(11, groups.getDataElements());
    EXPECT_EQ(positionValue(4, 2), sci::getFitsMArray(groups)(4, 2));
    std::string const path = writeStored(dir, "g0.fits", 16, {4, 2}, {}, {intCard("GCOUNT", 0)});
    sci::FitsIn empty(path, sci::CardWarnings::kQuiet);
    EXPECT_EQ("data segment of FITS file '" + path + "' is shorter than its image",
              messageOf([&] { sci::getFitsMArray(empty); }));
}

TEST(FitsIn, FilesCutShortOrClaimingHugeSizes) {
    TempDir dir;
    std::string const path = dir.file("cut.fits");
    std::string const header = sci::fitsHeaderBlock(sci::fitsImageCards(16, {10, 10}));
    std::string const data = sci::fitsDataBlock(positionImage(10, 10), 16, false);  // 200 bytes
    std::string const segment = beyondEnd("data segment", path);
    // Right after the header: the header reads, the data does not.
    sci::writeFitsFile(path, header);
    {
        sci::FitsIn in(path, sci::CardWarnings::kQuiet);
        EXPECT_EQ(segment, messageOf([&] { sci::getFitsMArray(in); }));
        EXPECT_FALSE(in.isMapped());
    }
    // One byte short: the last pixel is cut, the data segment and a region
    // holding the last row are refused, the rows before it read.
    sci::writeFitsFile(path, header + data.substr(0, 199));
    {
        sci::FitsIn in(path, sci::CardWarnings::kQuiet);
        EXPECT_EQ(segment, messageOf([&] { in.getFloatArray(); }));
        setRegion(in, 9, 10, 9, 10);
        EXPECT_EQ(beyondEnd("region [9:10,9:10]", path),
                  messageOf([&] { sci::getFitsMArray(in); }));
        setRegion(in, 1, 10, 8, 9);
        EXPECT_EQ(positionValue(10, 9), sci::getFitsMArray(in)(10, 2));
    }
    // Complete but not padded to a whole record: readable, and unmapped again
    // when the reader goes.
    sci::writeFitsFile(path, header + data);
    {
        sci::FitsIn in(path, sci::CardWarnings::kQuiet);
        EXPECT_EQ(positionValue(10, 10), sci::getFitsMArray(in)(10, 10));
    }
    EXPECT_EQ(0, mappingsOf(path));
    // A header refused after its END card leaves nothing mapped (it once did).
    std::string damaged = header + data;
    damaged[header.size() - 1] = 'x';
    sci::writeFitsFile(path, damaged);
    EXPECT_THROW(sci::FitsIn(path, sci::CardWarnings::kQuiet), sci::FitsException);
    EXPECT_EQ(0, mappingsOf(path));

    // Axes of 2e9 x 1000 bytes in a file of one record: only the first row is there.
    std::string const huge =
        writeStored(dir, "huge.fits", 8, {2000000000L, 1000}, std::vector<double>(100, 7.0));
    sci::FitsIn in(huge, sci::CardWarnings::kQuiet);
    EXPECT_EQ(beyondEnd("data segment", huge), messageOf([&] { sci::getFitsMArray(in); }));
    setRegion(in, 1, 5, 1, 5);
    Image stamp(5, 5);
    EXPECT_EQ(beyondEnd("region [1:5,1:5]", huge), messageOf([&] { sci::readRegion(in, stamp); }));
    setRegion(in, 1, 5, 1, 1);
    Image row(5, 1);
    sci::readRegion(in, row);
    EXPECT_EQ(7.0f, row(5, 1));
}
