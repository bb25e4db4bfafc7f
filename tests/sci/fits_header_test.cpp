// Tests of sci::FitsHeader: the mandatory and NAXISn cards, END handling,
// files that are cut short or no files, and impossible sizes.
// Files are written card by card with the raw FITS writer.
#include "sci/fits_header.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "sci/exceptions.h"
#include "sci/fits_card.h"
#include "sci/fits_writer.h"
#include "tests/support/messages.h"
#include "tests/support/temp_dir.h"

namespace {

using testsupport::TempDir;
using Cards = std::vector<std::string>;

std::string intCard(std::string const& key, long value) {
    return sci::FitsIntCard(sci::fitsKeyword(key), value, true, "").writeCard();
}

Cards imageCards(int bitpix, std::vector<long> const& naxes, Cards const& extra = {}) {
    Cards cards = sci::fitsImageCards(bitpix, naxes);
    cards.insert(cards.end(), extra.begin(), extra.end());
    return cards;
}

// Writes the header block of cards (with END) as a file of dir.
std::string writeHeader(TempDir const& dir, Cards const& cards) {
    std::string const path = dir.file("h.fits");
    sci::writeFitsFile(path, sci::fitsHeaderBlock(cards));
    return path;
}

// The message of the FitsException that reading the header throws, "" if none.
std::string headerError(std::string const& path) {
    return testsupport::messageOf<sci::FitsException>(
        [&] { sci::FitsHeader(path, 0, true, false); });
}

// cards with card k replaced.
Cards replaced(Cards cards, size_t k, std::string const& card) {
    cards[k] = card;
    return cards;
}

}  // namespace

TEST(FitsHeader, MandatoryAndNaxisCardErrors) {
    Cards const plain = imageCards(8, {});
    Cards const image = imageCards(8, {10, 20});
    Cards swapped = image;
    std::swap(swapped[3], swapped[4]);
    std::string const badBitpix = "FITS file has invalid BITPIX (not 8, 16, 32, -32 , -64)";
    std::string const badNaxis = "FITS file has invalid NAXIS ( < 0 or > 999)";
    std::vector<std::pair<Cards, std::string>> const cases = {
        {replaced(plain, 0, sci::FitsBoolCard("SIMPLE  ", false, true, "").writeCard()),
         "FITS file not SIMPLE (SIMPLE not true)"},
        {{"", intCard("BITPIX", 8), intCard("NAXIS", 0)}, "FITS file not SIMPLE"},
        {replaced(plain, 1, intCard("BITPIX", 4294967304L)), badBitpix},  // 8 modulo 2^32
        {replaced(plain, 1, intCard("BZERO", 0)), "FITS file has no BITPIX"},
        {replaced(plain, 2, intCard("NAXIS", 1000)), badNaxis},
        {replaced(plain, 2, intCard("NAXIS", -1)), badNaxis},
        {replaced(plain, 2, intCard("NAXIS1", 1)), "FITS file has no NAXIS"},
        // Errors in the three mandatory cards are not absorbed.
        {replaced(plain, 0, sci::fitsRawCard("SIMPLE  = T")), "value must use fixed format"},
        {swapped, "invalid NAXIS list (NAXIS keys missordered)"},
        {imageCards(8, {10, 0}), "invalid or insane NAXIS setting (NAXIS negative or 0)"},
        // The header ends before NAXIS2.
        {{image[0], image[1], image[2], image[3]}, "invalid NAXIS setting (NAXIS key missing)"},
    };
    TempDir dir;
    for (auto const& [cards, message] : cases)
        EXPECT_EQ(message, headerError(writeHeader(dir, cards))) << message;

    // Axes beyond int raise instead of wrapping; a product beyond 64 bits too.
    std::string const path = dir.file("h.fits");
    std::string const above =
        "invalid or insane NAXIS setting (NAXIS1 above 2147483647) in FITS file '" + path + "'";
    EXPECT_EQ(above, headerError(writeHeader(dir, imageCards(8, {4294967297L, 2}))));  // 1 mod 2^32
    EXPECT_EQ(above, headerError(writeHeader(
                         dir, replaced(imageCards(8, {1}), 3,
                                       sci::fitsRawCard("NAXIS1  = 99999999999999999999")))));
    EXPECT_EQ(
        "data segment of FITS file '" + path + "' is too large",
        headerError(writeHeader(dir, imageCards(-64, {2147483647L, 2147483647L, 2147483647L}))));
}

// The geometry; 999 axes, the most a header may have, take 28 records; group
// counts out of range are refused and leave the data length of the image.
TEST(FitsHeader, GeometryOfImagesWithFewAndManyAxes) {
    TempDir dir;
    sci::FitsHeader const header(writeHeader(dir, imageCards(-32, {100, 50})));
    EXPECT_EQ(
        std::make_tuple(-32, 2, std::string("[1:100,1:50]"), 2880L, 20000L, 4, 1.0, 0.0),
        std::make_tuple(header.getBitpix(), header.getNaxis(), header.getFullRegion().toString(),
                        header.getDataOffset(), header.getDataLength(), header.getBytpix(),
                        header.getBscale(), header.getBzero()));
    std::vector<long> most(999, 1);
    most[998] = 4;
    sci::FitsHeader const widest(writeHeader(dir, imageCards(8, most)));
    EXPECT_EQ(
        std::make_tuple(999ul, 4, 4L),
        std::make_tuple(widest.naxisCards().size(), widest.getNaxis(999), widest.getDataLength()));
    Cards const counts = imageCards(8, {4}, {intCard("GCOUNT", -1), intCard("PCOUNT", 1L << 40)});
    EXPECT_EQ(4,
              sci::FitsHeader(writeHeader(dir, counts), sci::CardWarnings::kQuiet).getDataLength());
}

TEST(FitsHeader, EndRecordMustBeBlankAfterEnd) {
    TempDir dir;
    Cards const cards = imageCards(8, {4}, {intCard("EXPTIME", 5)});
    // END is card 5 of the record (byte 400); NUL bytes follow it.
    std::string header = sci::fitsHeaderBlock(cards);
    std::fill(header.begin() + 480, header.end(), '\0');
    std::string const path = dir.file("nul.fits");
    sci::writeFitsFile(path, header + std::string(2880, '\0'));
    EXPECT_EQ("Header corrupted after END\nEND:  400, non blank: 2879", headerError(path));
}

TEST(FitsHeader, FilesThatEndTooEarlyOrAreNoFiles) {
    TempDir dir;
    std::string const path = dir.file("cut.fits");
    std::string const full = sci::fitsHeaderBlock(imageCards(8, {4}, Cards(40, intCard("K", 1))));
    for (size_t cut : {size_t(0), size_t(100), size_t(2880 + 400)}) {
        sci::writeFitsFile(path, full.substr(0, cut));
        EXPECT_EQ("FITS file '" + path + "' ends before the END card", headerError(path)) << cut;
    }
    // A header whose last record stops right after END (no blank padding) is complete.
    sci::writeFitsFile(path, sci::fitsHeaderBlock(imageCards(8, {4})).substr(0, 5 * 80));
    EXPECT_EQ(2880, sci::FitsHeader(path, true, false).getDataOffset());

    EXPECT_EQ("cannot read FITS file '" + dir.path() + "': it is a directory",
              headerError(dir.path()));
    // A named pipe without a writer: refused at once (opening it used to wait for ever).
    std::string const pipe = dir.file("pipe.fits");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ("cannot read FITS file '" + pipe + "': not a regular file", headerError(pipe));
    // gzip data is named as such.
    sci::writeFitsFile(path, std::string("\x1f\x8b\x08") + std::string(3000, 'x'));
    EXPECT_EQ(
        "FITS file not SIMPLE (the file is gzip-compressed: decompress it first, e.g. with "
        "gunzip)",
        headerError(path));
}
