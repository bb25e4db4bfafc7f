// Tests of the card objects, their syntax check and classification, and the
// card grammar (sci::FitsHeader::parseCard). Cards are built column by
// column so that the fixed-format positions (column 11, 20, 30) are explicit.
#include "sci/fits_card.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <string>

#include "sci/exceptions.h"
#include "sci/fits_header.h"
#include "sci/fits_writer.h"
#include "tests/sci/fits_test_cards.h"

namespace {

using testsupport::errorOf;

// "KEYWORD = " then value starting in 1-based column `column` (>= 11), then rest.
std::string cardFrom(std::string const& key, int column, std::string const& value,
                     std::string const& rest = "") {
    std::string card = sci::fitsKeyword(key) + "= ";
    card.append(static_cast<size_t>(column - 11), ' ');
    return sci::fitsRawCard(card + value + rest);
}

// The value ends in column `column`.
std::string cardEnding(std::string const& key, int column, std::string const& value,
                       std::string const& rest = "") {
    return cardFrom(key, column + 1 - static_cast<int>(value.size()), value, rest);
}

std::unique_ptr<sci::FitsCard> parse(std::string const& card) {
    return sci::FitsHeader::parseCard(card);
}

template <typename Card>
Card const* as(std::unique_ptr<sci::FitsCard> const& card) {
    return dynamic_cast<Card const*>(card.get());
}

}  // namespace

// Integers against floats (D exponents are no numbers), doubled quotes and
// blanks in strings, logicals, and the fixed format of each.
TEST(FitsCardGrammar, ValuesFixedFormatAndComments) {
    struct Case {
        std::string card;
        char kind;         // 'I'nteger, 'F'loat, 'L'ogical, 'S'tring
        double number;     // I, F, L (1 for T)
        std::string text;  // S
        bool fixed;
        std::string comment;
    };
    std::vector<Case> const cases = {
        {cardEnding("EXPTIME", 30, "120", " / exposure in s   "), 'I', 120, "", true,
         "exposure in s"},
        {cardEnding("EXPTIME", 31, "120"), 'I', 120, "", false, ""},
        {cardFrom("CRPIX1", 11, "100"), 'I', 100, "", false, ""},
        {cardEnding("EQUINOX", 30, "2000", " / j"), 'I', 2000, "", true, "j"},
        {cardEnding("EQUINOX", 30, "2000.0", " / j"), 'F', 2000, "", true, "j"},
        {cardEnding("EQUINOX", 30, "2000.", " / j"), 'F', 2000, "", true, "j"},
        {cardEnding("EQUINOX", 30, "-32", " / j"), 'I', -32, "", true, "j"},
        {cardEnding("EQUINOX", 30, "+7", " / j"), 'I', 7, "", true, "j"},
        {cardEnding("EQUINOX", 30, "1.5E3", " / j"), 'F', 1500, "", true, "j"},
        {cardEnding("EQUINOX", 30, "1e-5", " / j"), 'F', 1e-5, "", true, "j"},
        {cardEnding("EQUINOX", 30, "-0.25", " / j"), 'F', -0.25, "", true, "j"},
        // Quotes in columns 11 and 20 make a fixed-format string.
        {cardFrom("OBSERVER", 11, "'O''HARA '", " / who"), 'S', 0, "O''HARA", true, "who"},
        {cardFrom("OBJECT", 11, "'     '"), 'S', 0, " ", false, ""},  // closing quote before 20
        {cardFrom("OBJECT", 11, "''"), 'S', 0, "", false, ""},
        {cardFrom("OBJECT", 11, "'  M51    '"), 'S', 0, "  M51", true, ""},  // leading blanks stay
        {cardFrom("OBJECT", 12, "'M51 galaxy'"), 'S', 0, "M51 galaxy", false, ""},
        // 68 characters: the closing quote is column 80.
        {cardFrom("OBJECT", 11, "'" + std::string(68, 'x') + "'"), 'S', 0, std::string(68, 'x'),
         true, ""},
        {cardEnding("SIMPLE", 30, "T"), 'L', 1, "", true, ""},
        {cardFrom("BLOCKED", 11, "F", " / free"), 'L', 0, "", false, "free"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.card);
        auto const card = parse(c.card);
        ASSERT_NE(nullptr, card);
        if (c.kind == 'I') {
            ASSERT_NE(nullptr, as<sci::FitsIntCard>(card));
            EXPECT_EQ(c.number, card->getInt());
        } else if (c.kind == 'F') {
            ASSERT_NE(nullptr, as<sci::FitsFloatCard>(card));
            EXPECT_EQ(c.number, card->getFloat());
        } else if (c.kind == 'L') {
            ASSERT_NE(nullptr, as<sci::FitsBoolCard>(card));
            EXPECT_EQ(c.number != 0, card->getBool());
        } else {
            ASSERT_NE(nullptr, as<sci::FitsStringCard>(card));
            EXPECT_EQ(c.text, card->getString());
        }
        EXPECT_EQ(c.fixed, card->isFixed());
        EXPECT_EQ(c.comment, card->getComment());
    }
}

TEST(FitsCardGrammar, BrokenCardsHaveExactMessages) {
    std::string const trailing = "neither comment nore blanks after value";
    std::string const fixedOnly = "value must use fixed format";
    std::string const noQuote = "closing quote of string is missing";
    std::vector<std::pair<std::string, std::string>> const cases = {
        {cardFrom("BITPIX", 11, "16"), fixedOnly},
        {cardFrom("EXTEND", 11, "T"), fixedOnly},
        {cardEnding("CDELT1", 30, "1.5D3"), trailing},
        {cardFrom("BLOCKED", 11, "TRUE"), trailing},
        {cardFrom("OBJECT", 11, "'M51     '", " x"), trailing},
        // A floating-point card refuses getInt, so BITPIX 16.0 is refused.
        {cardEnding("BITPIX", 30, "16.0"), "value of 'BITPIX  ' is no valid integer"},
        {cardFrom("OBJECT", 11, "'M51"), noQuote},
        {cardFrom("OBJECT", 11, "'O''HARA"), noQuote},
        // A doubled quote in columns 79-80 leaves no room for the closing one.
        {cardFrom("OBJECT", 11, "'" + std::string(67, 'x') + "''"), "quote missmatch in string"},
        {cardFrom("COMMENT", 11, "'text    '"), "no value allowed"},
        {sci::fitsRawCard("GAIN    ="), "value is undefined"},
        {cardFrom("GAIN", 11, "abc"), "neither value nor comment"},
        {cardEnding("simple", 30, "T"), "keyword 'simple  ' has illegal characters"},
        {cardFrom("GAIN.1", 11, "1"), "keyword 'GAIN.1  ' has illegal characters"},
        {cardEnding(" SIMPLE", 30, "T"), "keyword ' SIMPLE ' has leading blanks"},
        {cardFrom("A B", 11, "1"), "keyword 'A B     ' has embedded blanks"},
        {cardFrom("DATE-OBS", 11, "'1965-01-01'"),
         "FitsDate: cannot handle dates before Jan. 1st 1970."},
        {cardFrom("DATE", 11, "2005"), "value of 'DATE    ' is no valid string"},
        {cardFrom("EQUINOX", 11, "'J2000'"),
         "value of 'EQUINOX ' is no valid floating point number"},
    };
    for (auto const& c : cases)
        EXPECT_EQ(c.second, testsupport::messageOf<sci::FitsException>([&] { parse(c.first); }))
            << c.first;
}

TEST(FitsCardGrammar, CommentaryAndJunkCards) {
    EXPECT_EQ(nullptr, parse(std::string(80, ' ')));
    EXPECT_EQ(nullptr, parse(sci::fitsRawCard("COMMENT")));
    EXPECT_EQ(nullptr, parse(sci::fitsRawCard("HISTORY")));

    auto comment = parse(sci::fitsRawCard("COMMENT   FITS format text  "));
    ASSERT_NE(nullptr, as<sci::FitsCommentCard>(comment));
    // From the first non-blank to the end of the card, trailing blanks included.
    EXPECT_EQ("FITS format text" + std::string(54, ' '), comment->getComment());
    EXPECT_EQ(sci::FitsKnownList::COMMENT_ID, comment->what_id());
    EXPECT_TRUE(comment->isCommentary());
    EXPECT_FALSE(comment->isJunk());

    auto history = parse(sci::fitsRawCard("HISTORY 'KPNO-IRAF'"));
    EXPECT_EQ(sci::FitsKnownList::HISTORY_ID, history->what_id());
    EXPECT_EQ("'KPNO-IRAF'" + std::string(61, ' '), history->getComment());

    auto blank = parse(sci::fitsRawCard("           indented"));
    ASSERT_NE(nullptr, as<sci::FitsCommentCard>(blank));
    EXPECT_EQ("   indented" + std::string(61, ' '), blank->getComment());  // leading blanks kept
    EXPECT_EQ(sci::FitsKnownList::BLANK_KEYWORD_ID, blank->what_id());

    auto hierarch = parse(sci::fitsRawCard("HIERARCH ESO DET DIT = 5"));
    ASSERT_NE(nullptr, as<sci::FitsJunkCard>(hierarch));
    EXPECT_TRUE(hierarch->isJunk());
    EXPECT_EQ("HIERARCH", hierarch->getKeyword());
    EXPECT_EQ(sci::fitsRawCard(" ESO DET DIT = 5").substr(0, 72), hierarch->getComment());

    // A lower-case keyword without value indicator is junk: no syntax check.
    EXPECT_NE(nullptr, as<sci::FitsJunkCard>(parse(sci::fitsRawCard("lower   text"))));

    auto slashOnly = parse(cardFrom("GAIN", 20, "/ no value"));
    ASSERT_NE(nullptr, as<sci::FitsJunkCard>(slashOnly));
    EXPECT_EQ("= " + std::string(9, ' ') + "/ no value" + std::string(51, ' '),
              slashOnly->getComment());
    // Hyphens and underscores are legal in keywords.
    EXPECT_NE(nullptr, parse(cardFrom("CAM-T_1", 11, "1")));
}

TEST(FitsCardGrammar, KnownKeywordRowsAndClasses) {
    auto exptime = parse(cardEnding("EXPTIME", 30, "120"));
    EXPECT_EQ(sci::FitsKnownList::UNKNOWN_ID, exptime->what_id());
    EXPECT_FALSE(exptime->isReserved());
    auto crpix = parse(cardFrom("CRPIX1", 11, "100"));
    EXPECT_EQ(29, crpix->what_id());
    EXPECT_TRUE(crpix->isArray());
    EXPECT_TRUE(parse(cardEnding("SIMPLE", 30, "T"))->isMandatory());
    EXPECT_EQ(30, parse(cardFrom("CDELT1", 11, "1.0"))->what_id());  // before CD
    EXPECT_EQ(4, parse(cardEnding("PCOUNT", 30, "0"))->what_id());   // before PC
    EXPECT_EQ(34, parse(cardFrom("PC1_1", 11, "1.0"))->what_id());
    EXPECT_EQ(35, parse(cardFrom("CD2_1", 11, "1.0"))->what_id());
    EXPECT_EQ(2, parse(cardEnding("NAXIS12", 30, "5"))->what_id());
    auto cdate = parse(cardFrom("CDATE", 11, "'Wed Feb 25 2009'"));  // CD not followed by a digit
    EXPECT_EQ(sci::FitsKnownList::UNKNOWN_ID, cdate->what_id());
    EXPECT_FALSE(cdate->isReserved());
    EXPECT_EQ(14, parse(cardFrom("EQUINOX", 11, "2000"))->what_id());
    EXPECT_EQ(sci::FitsKnownList::UNKNOWN_ID,  // rows 36 on are not searched
              parse(cardFrom("RADESYS", 11, "'FK5'"))->what_id());

    auto obs = parse(cardFrom("DATE-OBS", 11, "'1990-12-22T13:49:00'"));
    EXPECT_TRUE(obs->isDate());
    EXPECT_EQ(7, obs->what_id());
    testing::internal::CaptureStderr();
    auto old = parse(cardFrom("DATE", 11, "'01/02/05'"));
    EXPECT_EQ("FitsDate: Assuming date 2005. Date has obsolete syntax.\n",
              testing::internal::GetCapturedStderr());
    EXPECT_TRUE(old->isDate());
}

TEST(FitsCard, ConstructorsAndGetters) {
    EXPECT_EQ("keyword must be 8 chars", errorOf([] { sci::FitsJunkCard("SHORT", ""); }));
    EXPECT_EQ("keyword must be 8 chars", errorOf([] { sci::FitsJunkCard("TOOLONGKEY", ""); }));

    sci::FitsJunkCard const junk("JUNK    ", "text");
    EXPECT_EQ("value of 'JUNK    ' is no valid string", errorOf([&] { junk.getString(); }));
    EXPECT_EQ("value of 'JUNK    ' is no valid boolian", errorOf([&] { junk.getBool(); }));
    EXPECT_EQ("value of 'JUNK    ' is no valid integer", errorOf([&] { junk.getInt(); }));
    EXPECT_EQ("value of 'JUNK    ' is no valid floating point number",
              errorOf([&] { junk.getFloat(); }));
    EXPECT_EQ("value of 'JUNK    ' is no valid complex number",
              errorOf([&] { junk.getComplex(); }));
    EXPECT_TRUE(junk.isJunk());
    EXPECT_FALSE(junk.isReserved());
    sci::FitsBoolCard const blocked("BLOCKED ", false, false, "");
    EXPECT_EQ("value of 'BLOCKED ' is no valid integer", errorOf([&] { blocked.getInt(); }));

    sci::FitsComplexCard const complex("CVALUE  ", {1.5, -2.0}, false, "");
    EXPECT_EQ(std::complex<double>(1.5, -2.0), complex.getComplex());

    // A clone keeps type, value and classification.
    sci::FitsFloatCard const bscale("BSCALE  ", 0.5, true, "scale");
    std::unique_ptr<sci::FitsCard> copy = bscale.clone();
    ASSERT_NE(nullptr, dynamic_cast<sci::FitsFloatCard*>(copy.get()));
    EXPECT_EQ(0.5, copy->getFloat());
    EXPECT_EQ("scale", copy->getComment());
    EXPECT_TRUE(copy->isArray());
    EXPECT_EQ(21, copy->what_id());
}

TEST(FitsCard, WrittenCardsReadBack) {
    EXPECT_EQ(cardEnding("BITPIX", 30, "-32"),
              sci::FitsIntCard("BITPIX  ", -32, true, "").writeCard());
    EXPECT_EQ(cardEnding("SIMPLE", 30, "T", " / standard"),
              sci::FitsBoolCard("SIMPLE  ", true, true, "standard").writeCard());
    EXPECT_EQ(cardFrom("OBJECT", 11, "'M51     '"),
              sci::FitsStringCard("OBJECT  ", "M51", true, "").writeCard());

    // Random doubles over the whole exponent range, and round ones, come back
    // exactly as fixed-format floating-point cards.
    std::mt19937_64 random(20240601);
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-300, 300);
    std::vector<double> values = {0.0, -0.0, 1.0, 2.0, 1e20, 1e-20, 1234567.0};
    size_t const round = values.size();  // these fit the fixed format
    for (int i = 0; i < 2000; ++i) values.push_back(std::ldexp(mantissa(random), exponent(random)));
    for (size_t i = 0; i < values.size(); ++i) {
        std::string const card = sci::FitsFloatCard("CRVAL1  ", values[i], true, "").writeCard();
        auto back = parse(card);
        ASSERT_NE(nullptr, as<sci::FitsFloatCard>(back)) << card;
        EXPECT_EQ(values[i], back->getFloat()) << card;
        EXPECT_TRUE(i >= round || back->isFixed()) << card;
    }
}

TEST(FitsCardGrammar, CardComment) {
    EXPECT_EQ("", sci::FitsHeader::getCardComment(""));
    EXPECT_EQ("", sci::FitsHeader::getCardComment("     "));
    EXPECT_EQ("", sci::FitsHeader::getCardComment("   /   "));
    EXPECT_EQ("a  b", sci::FitsHeader::getCardComment("  /  a  b  "));
    EXPECT_EQ("x/y", sci::FitsHeader::getCardComment("/x/y"));
    EXPECT_EQ("neither comment nore blanks after value",
              errorOf([] { sci::FitsHeader::getCardComment("  x / y"); }));
}
