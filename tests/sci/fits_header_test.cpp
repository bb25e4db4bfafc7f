// Tests of sci::FitsHeader: reading record by record, the mandatory and
// NAXISn cards, END handling, the ten card lists, keyword queries, regions and
// files that are cut short or hold impossible sizes. Files are written card
// by card with the raw FITS writer.
#include "sci/fits_header.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "sci/exceptions.h"
#include "sci/fits_writer.h"
#include "tests/sci/fits_test_cards.h"
#include "tests/support/temp_dir.h"
#include "util/string_factory.h"

namespace {

using namespace testsupport;

Cards imageCards(int bitpix, std::vector<long> const& naxes, Cards const& extra = {}) {
    Cards cards = sci::fitsImageCards(bitpix, naxes);
    cards.insert(cards.end(), extra.begin(), extra.end());
    return cards;
}

// Writes the header block of cards (with END) followed by data.
std::string writeHeader(testsupport::TempDir const& dir, Cards const& cards,
                        std::string const& data = "", std::string const& name = "h.fits") {
    std::string const path = dir.file(name);
    sci::writeFitsFile(path, sci::fitsHeaderBlock(cards) + data);
    return path;
}

// The message of the FitsException that reading the header throws, "" if none.
std::string headerError(std::string const& path, long offset = 0) {
    return messageOf<sci::FitsException>([&] { sci::FitsHeader(path, offset, true, false); });
}

// Geometry "BITPIX NAXIS region data-offset data-length" and the sizes of the
// card lists, in the order mandatory naxis extension other comment history
// blank array user junk.
std::string geometry(sci::FitsHeader const& h) {
    return std::to_string(h.getBitpix()) + " " + std::to_string(h.getNaxis()) + " " +
           h.getFullRegion().toString() + " " + std::to_string(h.getDataOffset()) + " " +
           std::to_string(h.getDataLength());
}
std::vector<size_t> listSizes(sci::FitsHeader const& h) {
    return {h.mandatoryCards().size(), h.naxisCards().size(),   h.extensionCards().size(),
            h.otherCards().size(),     h.commentCards().size(), h.historyCards().size(),
            h.blankCards().size(),     h.arrayCards().size(),   h.userCards().size(),
            h.junkCards().size()};
}

// What reading the header of cards writes to stderr.
std::string warningsOf(testsupport::TempDir const& dir, Cards const& cards, bool quiet = false) {
    std::string const path = writeHeader(dir, cards);
    testing::internal::CaptureStderr();
    sci::FitsHeader const header(path, quiet, false);
    return testing::internal::GetCapturedStderr();
}

// cards with card k replaced.
Cards replaced(Cards cards, size_t k, std::string const& card) {
    cards[k] = card;
    return cards;
}

}  // namespace

TEST(FitsHeader, ReadsGeometryOfAnImage) {
    testsupport::TempDir dir;
    sci::FitsHeader const header(writeHeader(dir, imageCards(-32, {100, 50})));
    EXPECT_EQ("-32 2 [1:100,1:50] 2880 20000", geometry(header));
    EXPECT_EQ(4, header.getBytpix());
    EXPECT_EQ(50, header.getNaxis(2));
    EXPECT_EQ(1.0, header.getBscale());
    EXPECT_EQ(0.0, header.getBzero());
    EXPECT_EQ((std::vector<size_t>{3, 2, 0, 0, 0, 0, 0, 0, 0, 0}), listSizes(header));
    sci::FitsHeader const none(writeHeader(dir, imageCards(16, {})),
                               sci::CardWarnings::kQuiet);  // no data
    EXPECT_EQ("16 0 [] 2880 0", geometry(none));
    for (auto [h, axis] : {std::pair{&header, 3}, std::pair{&header, 0}, std::pair{&none, 1}})
        EXPECT_EQ("Request for unset NAXIS parameter", errorOf([&] { h->getNaxis(axis); }));
}

TEST(FitsHeader, MandatoryAndNaxisCardErrors) {
    Cards const plain = imageCards(8, {});
    Cards const image = imageCards(8, {10, 20});
    Cards swapped = image;
    std::swap(swapped[3], swapped[4]);
    std::string const badBitpix = "FITS file has invalid BITPIX (not 8, 16, 32, -32 , -64)";
    std::string const badNaxis = "FITS file has invalid NAXIS ( < 0 or > 999)";
    std::string const zeroAxis = "invalid or insane NAXIS setting (NAXIS negative or 0)";
    std::string const missingAxis = "invalid NAXIS setting (NAXIS key missing)";
    struct Case {
        Cards cards;
        std::string message;
    };
    std::vector<Case> const cases = {
        {replaced(plain, 0, boolCard("SIMPLE", false)), "FITS file not SIMPLE (SIMPLE not true)"},
        {{intCard("BITPIX", 8), intCard("NAXIS", 0)}, "FITS file not SIMPLE"},
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
        {replaced(image, 4, ""), missingAxis},  // a blank card where NAXIS2 belongs
        {{image[0], image[1], image[2], image[3]}, missingAxis},  // the header ends before NAXIS2
    };
    testsupport::TempDir dir;
    for (Case const& c : cases)
        EXPECT_EQ(c.message, headerError(writeHeader(dir, c.cards))) << "case " << &c - &cases[0];
}

TEST(FitsHeader, HugeAxesRaiseInsteadOfWrapping) {
    testsupport::TempDir dir;
    std::string const path = dir.file("h.fits");
    std::string const above =
        "invalid or insane NAXIS setting (NAXIS1 above 2147483647) in FITS file '" + path + "'";
    EXPECT_EQ(above, headerError(writeHeader(dir, imageCards(8, {4294967297L, 2}))));  // 1 mod 2^32
    Cards const beyondLong =  // in fixed format
        replaced(imageCards(8, {1}), 3, sci::fitsRawCard("NAXIS1  = 99999999999999999999"));
    EXPECT_EQ(above, headerError(writeHeader(dir, beyondLong)));
    // Each axis fits an int, the product does not fit 64 bits.
    EXPECT_EQ(
        "data segment of FITS file '" + path + "' is too large",
        headerError(writeHeader(dir, imageCards(-64, {2147483647L, 2147483647L, 2147483647L}))));
    // Large but representable: only the header is read, nothing is mapped.
    sci::FitsHeader const big(writeHeader(dir, imageCards(-64, {2147483647L, 1000000L})),
                              sci::CardWarnings::kQuiet);
    EXPECT_EQ(2147483647L * 1000000L * 8, big.getDataLength());
}

TEST(FitsHeader, NaxisCardsSpanTwoRecords) {
    testsupport::TempDir dir;
    std::vector<long> axes(40, 1);
    axes[0] = 3;
    axes[33] = 2;  // NAXIS34: the first card of the second record
    axes[39] = 5;
    std::string const path = writeHeader(dir, imageCards(16, axes, {floatCard("CRVAL1", 7.5)}));
    sci::FitsHeader const header(path);
    EXPECT_EQ(40u, header.naxisCards().size());
    EXPECT_EQ(3 * 2 * 5 * 2, header.getDataLength());
    EXPECT_EQ(2 * 2880, header.getDataOffset());
    EXPECT_EQ(2, header.getNaxis(34));
    EXPECT_EQ(5, header.getNaxis(40));
    EXPECT_EQ(7.5, header.getFloat("CRVAL1  "));

    // 999 axes, the most a header may have, over 28 records.
    std::vector<long> most(999, 1);
    most[998] = 4;
    sci::FitsHeader const widest(writeHeader(dir, imageCards(8, most)));
    EXPECT_EQ(999u, widest.naxisCards().size());
    EXPECT_EQ(4, widest.getNaxis(999));
    EXPECT_EQ(4, widest.getDataLength());
}

TEST(FitsHeader, EndRecordMustBeBlankAfterEnd) {
    testsupport::TempDir dir;
    Cards const cards = imageCards(8, {4}, {intCard("EXPTIME", 5)});
    // END is card 5 of the record (byte 400); NUL bytes follow it.
    std::string header;
    for (auto const& card : cards) header += card;
    header += sci::fitsRawCard("END");
    header.append(2880 - header.size(), '\0');
    std::string const path = dir.file("nul.fits");
    sci::writeFitsFile(path, header + std::string(2880, '\0'));
    EXPECT_EQ("Header corrupted after END\nEND: " + util::StringFactory::toString(400, 4) +
                  ", non blank: 2879",
              headerError(path));

    // A card after END.
    std::string text = sci::fitsHeaderBlock(cards);
    text.replace(6 * 80, 80, sci::fitsRawCard("LATE    = 1"));
    sci::writeFitsFile(path, text);
    EXPECT_EQ("Header corrupted after END\nEND:  400, non blank:  490", headerError(path));
}

TEST(FitsHeader, FilesThatEndTooEarlyOrAreNoFiles) {
    testsupport::TempDir dir;
    std::string const path = dir.file("cut.fits");
    std::string const full = sci::fitsHeaderBlock(imageCards(8, {4}, Cards(40, intCard("K", 1))));
    for (size_t cut : {size_t(0), size_t(100), size_t(2880), size_t(2880 + 400)}) {
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
    EXPECT_EQ("cannot read FITS file '/dev/null': not a regular file", headerError("/dev/null"));
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
    testsupport::TempDir dir;
    Cards primary = imageCards(8, {});
    primary.push_back(boolCard("EXTEND", true));
    Cards table = imageCards(8, {8, 2}, {intCard("PCOUNT", 0), intCard("GCOUNT", 1)});
    table[0] = stringCard("XTENSION", "BINTABLE");
    auto with = [](Cards cards, std::string const& card) {
        cards.push_back(card);
        return cards;
    };
    // The date card would print a warning if any card but ZIMAGE were parsed.
    std::string const date = stringCard("DATE", "03/03/08");
    std::string const rows(2880, '\0');
    struct Case {
        std::string bytes;
        bool compressed;
    };
    std::vector<Case> const cases = {
        {sci::fitsHeaderBlock(primary) +
             sci::fitsHeaderBlock(with(with(table, date), boolCard("ZIMAGE", true))) + rows,
         true},
        {sci::fitsHeaderBlock(with(with(imageCards(8, {4}), date), boolCard("ZIMAGE", true))) +
             rows,
         true},
        {sci::fitsHeaderBlock(primary) + sci::fitsHeaderBlock(table) + rows, false},
        {sci::fitsHeaderBlock(primary) +
             sci::fitsHeaderBlock(with(table, boolCard("ZIMAGE", false))) + rows,
         false},
        {sci::fitsHeaderBlock(primary), false},  // nothing follows the primary header
        {sci::fitsHeaderBlock(with(imageCards(8, {4}), date)) + rows, false},
        {"\x1f\x8b\x08", false},
    };
    std::string const path = dir.file("c.fits");
    for (Case const& c : cases) {
        sci::writeFitsFile(path, c.bytes);
        testing::internal::CaptureStderr();
        EXPECT_EQ(sci::isTileCompressed(path), c.compressed) << "case " << &c - &cases[0];
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    }
    EXPECT_FALSE(sci::isTileCompressed(dir.file("missing.fits")));
}

// An image whose END card is damaged: without the search for END ahead, the
// whole data segment was read card by card into the junk list (memory and a
// warning for every binary "card" with "= " in columns 9-10).
TEST(FitsHeader, FileWithoutEndIsRefusedBeforeItsDataIsParsed) {
    testsupport::TempDir dir;
    std::string const path = dir.file("noend.fits");
    std::string bytes = sci::fitsHeaderBlock(imageCards(-32, {100, 100}), false);
    // Data records full of "cards" that break the card grammar.
    std::string const junk = sci::fitsRawCard("X\x01\x02     = '?");
    for (int k = 0; k < 100 * 36; ++k) bytes += junk;
    sci::writeFitsFile(path, bytes);
    testing::internal::CaptureStderr();
    std::string const error = errorOf([&] { sci::FitsHeader(path, false, false); });
    EXPECT_EQ("", testing::internal::GetCapturedStderr());  // no card of the data was parsed
    EXPECT_EQ(error, "FITS file '" + path + "' ends before the END card");

    // An END further on is still found: the records before it are read as cards.
    sci::writeFitsFile(path, bytes + sci::fitsHeaderBlock({}, true));
    testing::internal::CaptureStderr();
    EXPECT_EQ("", errorOf([&] { sci::FitsHeader(path, false, false); }));
    EXPECT_NE("", testing::internal::GetCapturedStderr());
}

TEST(FitsHeader, HeaderOffsets) {
    testsupport::TempDir dir;
    std::string const path = writeHeader(dir, imageCards(8, {4}), std::string(2880, '\0'));
    EXPECT_EQ("no further extensions", headerError(path, 2 * 2880));
    EXPECT_EQ("no further extensions", headerError(path, 1L << 62));
    EXPECT_EQ("invalid header offset -2880 in FITS file '" + path + "'", headerError(path, -2880));
    // The primary header read as if it were an extension.
    std::string const twice = dir.file("twice.fits");
    std::string const primary = sci::fitsHeaderBlock(imageCards(8, {}));
    sci::writeFitsFile(twice, primary + primary);
    EXPECT_EQ("FITS extension does not start with XTENSION", headerError(twice, 2880));
    Cards extension = {stringCard("XTENSION", "IMAGE"),
                       intCard("BITPIX", 16),
                       intCard("NAXIS", 1),
                       intCard("NAXIS1", 3),
                       intCard("PCOUNT", 0),
                       intCard("GCOUNT", 1)};
    sci::writeFitsFile(twice, primary + sci::fitsHeaderBlock(extension));
    sci::FitsHeader const image(twice, 2880, true, false);
    EXPECT_EQ("16 1 [1:3] 5760 6", geometry(image));
    EXPECT_EQ("IMAGE", image.getString("XTENSION"));
}

TEST(FitsHeader, LaterCardsReplaceEarlierOnes) {
    testsupport::TempDir dir;
    std::string const simpleAgain = boolCard("SIMPLE", true);
    std::string const badCrpix = sci::fitsRawCard("CRPIX1  = 'x'");
    std::string const path =
        writeHeader(dir, imageCards(8, {4},
                                    {floatCard("CRVAL1", 1.5), floatCard("CRVAL1", 2.5),
                                     simpleAgain, badCrpix, floatCard("CRPIX1", 3.0)}));
    testing::internal::CaptureStderr();
    sci::FitsHeader const header(path);
    EXPECT_EQ(
        simpleAgain +
            "\nmandatory keywords may only be (re)set via constructor\nAdding to junk list\n" +
            badCrpix +
            "\nvalue of 'CRPIX1  ' is no valid floating point number\nAdding to junk list\n",
        testing::internal::GetCapturedStderr());
    EXPECT_EQ(2.5, header.getFloat("CRVAL1  "));
    EXPECT_EQ(3.0, header.getFloat("CRPIX1  "));
    ASSERT_EQ(2u, header.arrayCards().size());
    // The SIMPLE card stays junk; the rejected CRPIX1 was replaced by the later one.
    ASSERT_EQ(1u, header.junkCards().size());
    EXPECT_EQ("SIMPLE  ", header.junkCards().front()->getKeyword());

    testing::internal::CaptureStderr();
    sci::FitsHeader(path, true, false);
    EXPECT_EQ("", testing::internal::GetCapturedStderr());  // quiet
}

TEST(FitsHeader, EpochBecomesEquinox) {
    testsupport::TempDir dir;
    std::string const epoch = floatCard("EPOCH", 1950.0);
    testing::internal::CaptureStderr();
    sci::FitsHeader const alone(writeHeader(dir, imageCards(8, {4}, {epoch})));
    EXPECT_EQ("EPOCH is deprecated, renaming to EQUINOX when writing\n",
              testing::internal::GetCapturedStderr());
    EXPECT_EQ(1950.0, alone.getFloat("EQUINOX "));
    EXPECT_EQ("taken from deprecated EPOCH keyword", alone.getValueCard("EQUINOX ").getComment());
    EXPECT_TRUE(alone.isFixed("EQUINOX "));

    testing::internal::CaptureStderr();
    sci::FitsHeader const after(
        writeHeader(dir, imageCards(8, {4}, {floatCard("EQUINOX", 2000.0), epoch})));
    EXPECT_EQ("EPOCH is deprecated, discarding card when writing\n",
              testing::internal::GetCapturedStderr());
    EXPECT_EQ(2000.0, after.getFloat("EQUINOX "));
    EXPECT_EQ(1950.0, after.getFloat("EPOCH   "));

    sci::FitsHeader const before(
        writeHeader(dir, imageCards(8, {4}, {epoch, intCard("EQUINOX", 2000)})),
        sci::CardWarnings::kQuiet);
    EXPECT_EQ(2000.0, before.getFloat("EQUINOX "));
    EXPECT_EQ(2u, before.otherCards().size());

    EXPECT_EQ("BLOCKED is deprecated, discarding card when writing\n",
              warningsOf(dir, imageCards(8, {4}, {boolCard("BLOCKED", true)})));
}

TEST(FitsHeader, CardsGoToTheirLists) {
    testsupport::TempDir dir;
    std::string const path = writeHeader(
        dir, imageCards(16, {4, 2},
                        {intCard("PCOUNT", 6), intCard("GCOUNT", 2), boolCard("EXTEND", true),
                         stringCard("ORIGIN", "here"), stringCard("DATE", "2014-01-09"),
                         sci::fitsRawCard("COMMENT   one"), sci::fitsRawCard("HISTORY   two"),
                         sci::fitsRawCard("          three"), floatCard("BSCALE", 0.5),
                         floatCard("BZERO", 32768.0), floatCard("GAINEFF", 0.97),
                         sci::fitsRawCard("HIERARCH A = 1"), sci::fitsRawCard("EXTEND  = F")}));
    sci::FitsHeader const h(path, sci::CardWarnings::kQuiet);
    EXPECT_EQ((std::vector<size_t>{3, 2, 3, 2, 1, 1, 1, 2, 1, 2}), listSizes(h));
    EXPECT_EQ("EXTEND  ", h.extensionCards().front()->getKeyword());  // EXTEND goes first
    EXPECT_EQ("GCOUNT  ", h.extensionCards().back()->getKeyword());
    EXPECT_TRUE(h.getExtend());  // the free-format EXTEND = F was refused
    EXPECT_EQ("DATE    ", h.otherCards().front()->getKeyword());  // dates go first
    EXPECT_EQ(0.5, h.getBscale());
    EXPECT_EQ(32768.0, h.getBzero());
    EXPECT_EQ(0.97, h.getFloat("GAINEFF "));
    // (4 * 2 + 6) elements * 2 bytes * 2 groups.
    EXPECT_EQ((4 * 2 + 6) * 2 * 2, h.getDataLength());

    sci::FitsHeader const junk(path, true, true);
    EXPECT_EQ((std::vector<size_t>{3, 2, 0, 0, 0, 0, 0, 0, 0, 13}), listSizes(junk));
    EXPECT_EQ(1.0, junk.getBscale());
    EXPECT_EQ("value of 'GAINEFF ' is no valid floating point number",
              errorOf([&] { junk.getFloat("GAINEFF "); }));
}

TEST(FitsHeader, OutOfRangeCountsAreRefused) {
    testsupport::TempDir dir;
    Cards const cards = imageCards(8, {4}, {intCard("GCOUNT", -1), intCard("PCOUNT", 1L << 40)});
    EXPECT_EQ(intCard("GCOUNT", -1) +
                  "\nvalue of 'GCOUNT  ' is out of range\nAdding to junk list\n" +
                  intCard("PCOUNT", 1L << 40) +
                  "\nvalue of 'PCOUNT  ' is out of range\nAdding to junk list\n",
              warningsOf(dir, cards));
    sci::FitsHeader const h(writeHeader(dir, cards), sci::CardWarnings::kQuiet);
    EXPECT_EQ(1, h.getGcount());
    EXPECT_EQ(0, h.getPcount());
    EXPECT_EQ(4, h.getDataLength());
}

TEST(FitsHeader, KeywordQueries) {
    testsupport::TempDir dir;
    sci::FitsHeader const h(
        writeHeader(dir, imageCards(8, {4},
                                    {floatCard("CD1_1", 1e-4), stringCard("CTYPE1", "RA---TAN"),
                                     sci::fitsRawCard("COMMENT   text")})),
        sci::CardWarnings::kQuiet);
    EXPECT_EQ(1e-4, h.getFloat("CD1_1   "));
    EXPECT_EQ("RA---TAN", h.getString("CTYPE1  "));
    EXPECT_EQ(4, h.getInt("NAXIS1  "));
    EXPECT_EQ(4.0, h.getFloat("NAXIS1  "));
    EXPECT_TRUE(h.getBool("SIMPLE  "));
    EXPECT_EQ("cannot find keyword 'CD2_2   '", errorOf([&] { h.getFloat("CD2_2   "); }));
    EXPECT_EQ(nullptr, h.findValueCard("CD2_2   "));
    EXPECT_EQ(&h.getValueCard("CD1_1   "), h.findValueCard("CD1_1   "));
    EXPECT_EQ("cannot find keyword 'CD1_1'", errorOf([&] { h.getFloat("CD1_1"); }));
    EXPECT_EQ("use getComment or getHistory to read keyword 'COMMENT '",
              errorOf([&] { h.getValueCard("COMMENT "); }));
    EXPECT_EQ("use getComment or getHistory to read keyword '        '",
              errorOf([&] { h.getValueCard("        "); }));
    EXPECT_EQ("value of 'CTYPE1  ' is no valid floating point number",
              errorOf([&] { h.getFloat("CTYPE1  "); }));
}

TEST(FitsHeader, RegionTest) {
    testsupport::TempDir dir;
    sci::FitsHeader const h(writeHeader(dir, imageCards(8, {100, 50})), sci::CardWarnings::kQuiet);
    EXPECT_EQ("", errorOf([&] { h.testRegion(h.getFullRegion()); }));
    EXPECT_EQ("request for illegal region:\n[0:0,0:0,0:0] is no subarray of [1:100,1:50]",
              errorOf([&] { h.testRegion(util::Region(3)); }));
    for (auto [start, end] : {std::pair{10, 101}, std::pair{0, 5}, std::pair{12, 10}}) {
        util::Region r = h.getFullRegion();
        r.setRange(1, start, end);
        EXPECT_EQ(
            "request for illegal region:\n" + r.toString() + " is no subarray of [1:100,1:50]",
            errorOf([&] { h.testRegion(r); }));
    }
}

TEST(FitsHeader, CardInsertion) {
    testsupport::TempDir dir;
    sci::FitsHeader h(writeHeader(dir, imageCards(8, {4})), sci::CardWarnings::kQuiet);
    EXPECT_EQ("mandatory keywords may only be (re)set via constructor", errorOf([&] {
                  h.addValueCard(std::make_unique<sci::FitsIntCard>("NAXIS2  ", 5, true, ""));
              }));
    EXPECT_EQ("commentary card, try addCommentCard()", errorOf([&] {
                  h.addValueCard(std::make_unique<sci::FitsCommentCard>("HISTORY ", "x"));
              }));
    EXPECT_EQ("no commentary card, try addValueCard()", errorOf([&] {
                  h.addCommentCard(std::make_unique<sci::FitsIntCard>("EXPTIME ", 5, true, ""));
              }));
    EXPECT_EQ("no commentary card, try addValueCard()", errorOf([&] {
                  h.addCommentCard(std::make_unique<sci::FitsJunkCard>("JUNK    ", "x"));
              }));
    h.addJunkCard(sci::fitsRawCard("GAIN    = 'bad"));
    EXPECT_EQ("= 'bad", h.getValueCard("GAIN    ").getComment().substr(0, 6));
    h.addValueCard(std::make_unique<sci::FitsFloatCard>("GAIN    ", 2.5, false, ""));
    EXPECT_EQ(0u, h.junkCards().size());
    EXPECT_EQ(2.5, h.getFloat("GAIN    "));
}
