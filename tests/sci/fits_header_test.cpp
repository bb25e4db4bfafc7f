// Tests of sci::FitsHeader: the mandatory and NAXISn cards, END handling, the
// card lists, keyword queries, regions and files that are cut short or hold
// impossible sizes. Files are written card by card with the raw FITS writer.
#include "sci/fits_header.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "sci/exceptions.h"
#include "sci/fits_writer.h"
#include "tests/sci/fits_test_cards.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace testsupport;

Cards imageCards(int bitpix, std::vector<long> const& naxes, Cards const& extra = {}) {
    Cards cards = sci::fitsImageCards(bitpix, naxes);
    cards.insert(cards.end(), extra.begin(), extra.end());
    return cards;
}

// Writes the header block of cards (with END) followed by data.
std::string writeHeader(TempDir const& dir, Cards const& cards, std::string const& data = "") {
    std::string const path = dir.file("h.fits");
    sci::writeFitsFile(path, sci::fitsHeaderBlock(cards) + data);
    return path;
}

// The message of the FitsException that reading the header throws, "" if none.
std::string headerError(std::string const& path, long offset = 0) {
    return messageOf<sci::FitsException>([&] { sci::FitsHeader(path, offset, true, false); });
}

// "BITPIX NAXIS region data-offset data-length", then the sizes of the card
// lists: mandatory naxis extension other comment history blank array user junk.
std::string geometry(sci::FitsHeader const& h) {
    std::string text = std::to_string(h.getBitpix()) + " " + std::to_string(h.getNaxis()) + " " +
                       h.getFullRegion().toString() + " " + std::to_string(h.getDataOffset()) +
                       " " + std::to_string(h.getDataLength()) + " |";
    for (auto const* list : {&h.mandatoryCards(), &h.naxisCards(), &h.extensionCards(),
                             &h.otherCards(), &h.commentCards(), &h.historyCards(), &h.blankCards(),
                             &h.arrayCards(), &h.userCards(), &h.junkCards()})
        text += " " + std::to_string(list->size());
    return text;
}

// What reading the header of cards writes to stderr.
std::string warningsOf(TempDir const& dir, Cards const& cards) {
    std::string const path = writeHeader(dir, cards);
    testing::internal::CaptureStderr();
    sci::FitsHeader const header(path);
    return testing::internal::GetCapturedStderr();
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
    std::string const zeroAxis = "invalid or insane NAXIS setting (NAXIS negative or 0)";
    std::string const missingAxis = "invalid NAXIS setting (NAXIS key missing)";
    std::vector<std::pair<Cards, std::string>> const cases = {
        {replaced(plain, 0, boolCard("SIMPLE", false)), "FITS file not SIMPLE (SIMPLE not true)"},
        {{"", intCard("BITPIX", 8), intCard("NAXIS", 0)}, "FITS file not SIMPLE"},
        {replaced(plain, 1, intCard("BITPIX", 24)), badBitpix},
        {replaced(plain, 1, intCard("BITPIX", 4294967304L)), badBitpix},  // 8 modulo 2^32
        {replaced(plain, 1, intCard("BZERO", 0)), "FITS file has no BITPIX"},
        {replaced(plain, 2, intCard("NAXIS", 1000)), badNaxis},
        {replaced(plain, 2, intCard("NAXIS", -1)), badNaxis},
        {replaced(plain, 2, intCard("NAXIS1", 1)), "FITS file has no NAXIS"},
        // Errors in the three mandatory cards are not absorbed.
        {replaced(plain, 0, sci::fitsRawCard("SIMPLE  = T")), "value must use fixed format"},
        {swapped, "invalid NAXIS list (NAXIS keys missordered)"},
        {imageCards(8, {10, 0}), zeroAxis},
        {imageCards(8, {-5, 10}), zeroAxis},
        {replaced(image, 4, floatCard("CRVAL1", 1.0)), missingAxis},
        {{image[0], image[1], image[2], image[3]}, missingAxis},  // the header ends before NAXIS2
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

// The geometry, and NAXISn cards over several records: NAXIS34 is the first
// card of the second record; 999 axes, the most a header may have, take 28.
TEST(FitsHeader, GeometryOfImagesWithFewAndManyAxes) {
    TempDir dir;
    sci::FitsHeader const header(writeHeader(dir, imageCards(-32, {100, 50})));
    EXPECT_EQ("-32 2 [1:100,1:50] 2880 20000 | 3 2 0 0 0 0 0 0 0 0", geometry(header));
    EXPECT_EQ(std::make_tuple(4, 50, 1.0, 0.0),
              std::make_tuple(header.getBytpix(), header.getNaxis(2), header.getBscale(),
                              header.getBzero()));
    EXPECT_EQ("Request for unset NAXIS parameter", messageOf([&] { header.getNaxis(3); }));

    std::vector<long> axes(40, 1);
    axes[0] = 3;
    axes[33] = 2;
    axes[39] = 5;
    sci::FitsHeader const two(writeHeader(dir, imageCards(16, axes, {floatCard("CRVAL1", 7.5)})));
    EXPECT_EQ(std::make_tuple(3 * 2 * 5 * 2L, 2 * 2880L, 2, 5, 7.5),
              std::make_tuple(two.getDataLength(), two.getDataOffset(), two.getNaxis(34),
                              two.getNaxis(40), two.getFloat("CRVAL1  ")));
    std::vector<long> most(999, 1);
    most[998] = 4;
    sci::FitsHeader const widest(writeHeader(dir, imageCards(8, most)));
    EXPECT_EQ(
        std::make_tuple(999ul, 4, 4L),
        std::make_tuple(widest.naxisCards().size(), widest.getNaxis(999), widest.getDataLength()));
}

TEST(FitsHeader, EndRecordMustBeBlankAfterEnd) {
    TempDir dir;
    Cards const cards = imageCards(8, {4}, {intCard("EXPTIME", 5)});
    // END is card 5 of the record (byte 400); NUL bytes follow it.
    std::string header;
    for (auto const& card : cards) header += card;
    header += sci::fitsRawCard("END");
    header.append(2880 - header.size(), '\0');
    std::string const path = dir.file("nul.fits");
    sci::writeFitsFile(path, header + std::string(2880, '\0'));
    EXPECT_EQ("Header corrupted after END\nEND:  400, non blank: 2879", headerError(path));
    // A card after END.
    std::string text = sci::fitsHeaderBlock(cards);
    text.replace(6 * 80, 80, sci::fitsRawCard("LATE    = 1"));
    sci::writeFitsFile(path, text);
    EXPECT_EQ("Header corrupted after END\nEND:  400, non blank:  490", headerError(path));
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
    EXPECT_EQ("cannot open file '" + dir.file("missing.fits") + "' for reading",
              headerError(dir.file("missing.fits")));
    // A named pipe without a writer: refused at once (opening it used to wait for ever).
    std::string const pipe = dir.file("pipe.fits");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ("cannot read FITS file '" + pipe + "': not a regular file", headerError(pipe));
    // gzip data, shorter and longer than a record, is named as such.
    for (size_t size : {size_t(2), size_t(3000)}) {
        sci::writeFitsFile(path, std::string("\x1f\x8b\x08") + std::string(size, 'x'));
        EXPECT_EQ(
            "FITS file not SIMPLE (the file is gzip-compressed: decompress it first, e.g. with "
            "gunzip)",
            headerError(path))
            << size;
    }
}

// A tile-compressed image: an empty primary header followed by the table of
// the compressed image (ZIMAGE = T), or ZIMAGE = T in the primary header.
TEST(FitsHeader, TileCompressedFilesAreRecognised) {
    TempDir dir;
    Cards const primary = imageCards(8, {}, {boolCard("EXTEND", true)});
    Cards table = replaced(imageCards(8, {8, 2}, {intCard("PCOUNT", 0), intCard("GCOUNT", 1)}), 0,
                           stringCard("XTENSION", "BINTABLE"));
    // The date card would print a warning if any card but ZIMAGE were parsed.
    Cards const dated = {stringCard("DATE", "03/03/08"), boolCard("ZIMAGE", true)};
    std::string const rows(2880, '\0'), plain = sci::fitsHeaderBlock(table);
    table.insert(table.end(), dated.begin(), dated.end());
    std::string const path = dir.file("c.fits");
    for (auto const& [bytes, compressed] : std::initializer_list<std::pair<std::string, bool>>{
             {sci::fitsHeaderBlock(primary) + sci::fitsHeaderBlock(table) + rows, true},
             {sci::fitsHeaderBlock(imageCards(8, {4}, dated)) + rows, true},
             {sci::fitsHeaderBlock(primary) + plain + rows, false},
             {"\x1f\x8b\x08", false}}) {
        sci::writeFitsFile(path, bytes);
        testing::internal::CaptureStderr();
        EXPECT_EQ(sci::isTileCompressed(path), compressed);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    }
    EXPECT_FALSE(sci::isTileCompressed(dir.file("missing.fits")));
}

// Later cards replace earlier ones; a rejected card is reported and kept as
// junk unless a later card of its keyword replaces it; EPOCH and BLOCKED are
// deprecated.
TEST(FitsHeader, LaterCardsReplaceEarlierOnesAndDeprecatedCards) {
    TempDir dir;
    std::string const simpleAgain = boolCard("SIMPLE", true);
    std::string const badCrpix = sci::fitsRawCard("CRPIX1  = 'x'");
    Cards const cards = imageCards(8, {4},
                                   {floatCard("CRVAL1", 1.5), floatCard("CRVAL1", 2.5), simpleAgain,
                                    badCrpix, floatCard("CRPIX1", 3.0)});
    EXPECT_EQ(
        simpleAgain +
            "\nmandatory keywords may only be (re)set via constructor\nAdding to junk list\n" +
            badCrpix +
            "\nvalue of 'CRPIX1  ' is no valid floating point number\nAdding to junk list\n",
        warningsOf(dir, cards));
    sci::FitsHeader const header(writeHeader(dir, cards), sci::CardWarnings::kQuiet);
    EXPECT_EQ(std::make_tuple(2.5, 3.0),
              std::make_tuple(header.getFloat("CRVAL1  "), header.getFloat("CRPIX1  ")));
    ASSERT_EQ(1u, header.junkCards().size());
    EXPECT_EQ("SIMPLE  ", header.junkCards().front()->getKeyword());

    std::string const epoch = floatCard("EPOCH", 1950.0);
    EXPECT_EQ("EPOCH is deprecated, discarding card when writing\n",
              warningsOf(dir, imageCards(8, {4}, {floatCard("EQUINOX", 2000.0), epoch})));
    EXPECT_EQ(2000.0,
              sci::FitsHeader(dir.file("h.fits"), sci::CardWarnings::kQuiet).getFloat("EQUINOX "));
    EXPECT_EQ("BLOCKED is deprecated, discarding card when writing\n",
              warningsOf(dir, imageCards(8, {4}, {boolCard("BLOCKED", true)})));
}

// Cards go to their lists by keyword (CDELT before CD, PCOUNT before PC, CD
// only before a digit); counts out of range are refused.
TEST(FitsHeader, CardsGoToTheirLists) {
    TempDir dir;
    Cards const cards =
        imageCards(16, {4, 2},
                   {intCard("PCOUNT", 6), intCard("GCOUNT", 2), boolCard("EXTEND", true),
                    stringCard("ORIGIN", "here"), stringCard("DATE", "2014-01-09"),
                    sci::fitsRawCard("COMMENT   one"), sci::fitsRawCard("HISTORY   two"),
                    sci::fitsRawCard("          three"), floatCard("BSCALE", 0.5),
                    floatCard("BZERO", 32768.0), floatCard("CDELT1", 1.0), floatCard("PC1_1", 1.0),
                    floatCard("CD2_1", 1.0), stringCard("CDATE", "x"), floatCard("GAINEFF", 0.97),
                    sci::fitsRawCard("HIERARCH A = 1"), sci::fitsRawCard("EXTEND  = F")});
    sci::FitsHeader const h(writeHeader(dir, cards), sci::CardWarnings::kQuiet);
    // (4 * 2 + 6) elements * 2 bytes * 2 groups.
    EXPECT_EQ("16 2 [1:4,1:2] 2880 56 | 3 2 3 2 1 1 1 5 2 2", geometry(h));
    EXPECT_EQ("EXTEND  ", h.extensionCards().front()->getKeyword());  // EXTEND goes first
    EXPECT_EQ("DATE    ", h.otherCards().front()->getKeyword());      // dates go first
    EXPECT_TRUE(h.getExtend());  // the free-format EXTEND = F was refused
    EXPECT_EQ(std::make_tuple(0.5, 32768.0, 0.97),
              std::make_tuple(h.getBscale(), h.getBzero(), h.getFloat("GAINEFF ")));
    sci::FitsHeader const junk(dir.file("h.fits"), true, true);
    EXPECT_EQ("16 2 [1:4,1:2] 2880 16 | 3 2 0 0 0 0 0 0 0 17", geometry(junk));

    Cards const counts = imageCards(8, {4}, {intCard("GCOUNT", -1), intCard("PCOUNT", 1L << 40)});
    EXPECT_EQ(counts[4] + "\nvalue of 'GCOUNT  ' is out of range\nAdding to junk list\n" +
                  counts[5] + "\nvalue of 'PCOUNT  ' is out of range\nAdding to junk list\n",
              warningsOf(dir, counts));
    EXPECT_EQ(4, sci::FitsHeader(dir.file("h.fits"), sci::CardWarnings::kQuiet).getDataLength());
}

TEST(FitsHeader, KeywordQueriesAndRegions) {
    TempDir dir;
    sci::FitsHeader const h(
        writeHeader(dir, imageCards(8, {100, 50},
                                    {floatCard("CD1_1", 1e-4), stringCard("CTYPE1", "RA---TAN"),
                                     sci::fitsRawCard("COMMENT   text")})),
        sci::CardWarnings::kQuiet);
    EXPECT_EQ(std::make_tuple(1e-4, std::string("RA---TAN"), 100L, 100.0, true),
              std::make_tuple(h.getFloat("CD1_1   "), h.getString("CTYPE1  "), h.getInt("NAXIS1  "),
                              h.getFloat("NAXIS1  "), h.getBool("SIMPLE  ")));
    EXPECT_EQ(nullptr, h.findValueCard("CD2_2   "));
    for (auto const& [keyword, message] :
         std::initializer_list<std::pair<char const*, char const*>>{
             {"CD2_2   ", "cannot find keyword 'CD2_2   '"},
             {"CD1_1", "cannot find keyword 'CD1_1'"},
             {"COMMENT ", "use getComment or getHistory to read keyword 'COMMENT '"},
             {"CTYPE1  ", "value of 'CTYPE1  ' is no valid floating point number"}})
        EXPECT_EQ(message, messageOf([&] { h.getFloat(keyword); }));

    EXPECT_EQ("", messageOf([&] { h.testRegion(h.getFullRegion()); }));
    EXPECT_EQ("request for illegal region:\n[0:0,0:0,0:0] is no subarray of [1:100,1:50]",
              messageOf([&] { h.testRegion(util::Region(3)); }));
    util::Region reversed = h.getFullRegion();
    reversed.setRange(1, 12, 10);
    EXPECT_EQ("request for illegal region:\n[12:10,1:50] is no subarray of [1:100,1:50]",
              messageOf([&] { h.testRegion(reversed); }));
}
