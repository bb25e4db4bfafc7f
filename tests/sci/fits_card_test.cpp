// Tests of the card objects, their syntax check and classification, and the
// card grammar (sci::FitsHeader::parseCard). Cards are built column by
// column so that the fixed-format positions (column 11, 20, 30) are explicit.
#include "sci/fits_card.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
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

// The parsed card as "<kind> <value> <fixed|free> /<comment>", kind I, F, L or S.
std::string describe(std::string const& text) {
    auto const card = parse(text);
    if (card == nullptr) return "null";
    char number[32];  // 17 digits: exact
    std::string value;
    if (as<sci::FitsIntCard>(card)) value = "I " + std::to_string(card->getInt());
    if (as<sci::FitsFloatCard>(card)) {
        std::snprintf(number, sizeof number, "%.17g", card->getFloat());
        value = std::string("F ") + number;
    }
    if (as<sci::FitsBoolCard>(card)) value = std::string("L ") + (card->getBool() ? "T" : "F");
    if (as<sci::FitsStringCard>(card)) value = "S '" + card->getString() + "'";
    return value + (card->isFixed() ? " fixed /" : " free /") + card->getComment();
}

}  // namespace

// Integers against floats (D exponents are no numbers), doubled quotes and
// blanks in strings, logicals, and the fixed format of each.
TEST(FitsCardGrammar, ValuesFixedFormatAndComments) {
    std::vector<std::pair<std::string, std::string>> const cases = {
        {cardEnding("EXPTIME", 30, "120", " / exposure in s   "), "I 120 fixed /exposure in s"},
        {cardEnding("EXPTIME", 31, "120"), "I 120 free /"},
        {cardFrom("CRPIX1", 11, "100"), "I 100 free /"},
        {cardEnding("EQUINOX", 30, "2000", " / j"), "I 2000 fixed /j"},
        {cardEnding("EQUINOX", 30, "2000.0", " / j"), "F 2000 fixed /j"},
        {cardEnding("EQUINOX", 30, "2000.", " / j"), "F 2000 fixed /j"},
        {cardEnding("EQUINOX", 30, "-32", " / j"), "I -32 fixed /j"},
        {cardEnding("EQUINOX", 30, "+7", " / j"), "I 7 fixed /j"},
        {cardEnding("EQUINOX", 30, "1.5E3", " / j"), "F 1500 fixed /j"},
        {cardEnding("EQUINOX", 30, "1e-5", " / j"), "F 1.0000000000000001e-05 fixed /j"},
        {cardEnding("EQUINOX", 30, "-0.25", " / j"), "F -0.25 fixed /j"},
        // Quotes in columns 11 and 20 make a fixed-format string.
        {cardFrom("OBSERVER", 11, "'O''HARA '", " / who"), "S 'O''HARA' fixed /who"},
        {cardFrom("OBJECT", 11, "'     '"), "S ' ' free /"},  // closing quote before 20
        {cardFrom("OBJECT", 11, "''"), "S '' free /"},
        {cardFrom("OBJECT", 11, "'  M51    '"), "S '  M51' fixed /"},  // leading blanks stay
        {cardFrom("OBJECT", 12, "'M51 galaxy'"), "S 'M51 galaxy' free /"},
        // 68 characters: the closing quote is column 80.
        {cardFrom("OBJECT", 11, "'" + std::string(68, 'x') + "'"),
         "S '" + std::string(68, 'x') + "' fixed /"},
        {cardEnding("SIMPLE", 30, "T"), "L T fixed /"},
        {cardFrom("BLOCKED", 11, "F", " / free"), "L F free /free"},
    };
    for (auto const& [card, expected] : cases) EXPECT_EQ(expected, describe(card)) << card;
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

// Rows of the known-keyword list: CDELT before CD, PCOUNT before PC, CD only
// before a digit, rows 36 on not searched (UNKNOWN_ID).
TEST(FitsCardGrammar, KnownKeywordRowsAndClasses) {
    int const unknown = sci::FitsKnownList::UNKNOWN_ID;
    std::vector<std::pair<std::string, int>> const rows = {
        {cardEnding("EXPTIME", 30, "120"), unknown},
        {cardFrom("CRPIX1", 11, "100"), 29},
        {cardFrom("CDELT1", 11, "1.0"), 30},
        {cardEnding("PCOUNT", 30, "0"), 4},
        {cardFrom("PC1_1", 11, "1.0"), 34},
        {cardFrom("CD2_1", 11, "1.0"), 35},
        {cardEnding("NAXIS12", 30, "5"), 2},
        {cardFrom("CDATE", 11, "'Wed Feb 25 2009'"), unknown},
        {cardFrom("EQUINOX", 11, "2000"), 14},
        {cardFrom("RADESYS", 11, "'FK5'"), unknown},
    };
    for (auto const& [card, id] : rows) {
        EXPECT_EQ(id, parse(card)->what_id()) << card;
        EXPECT_EQ(id != unknown, parse(card)->isReserved()) << card;
    }
    EXPECT_TRUE(parse(cardFrom("CRPIX1", 11, "100"))->isArray());
    EXPECT_TRUE(parse(cardEnding("SIMPLE", 30, "T"))->isMandatory());
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
    EXPECT_EQ("(1.5, -2.)", complex.toString());

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
    // A comment is written only when " / " and at least one character of it
    // fit: a 76-character value card takes " / c" up to column 80, a
    // 77-character one takes no comment (and no dangling separator).
    std::string const text64(64, 'x');
    EXPECT_EQ(cardFrom("OBJECT", 11, "'" + text64 + "'", " / c"),
              sci::FitsStringCard("OBJECT  ", text64, false, "comment").writeCard());
    EXPECT_EQ(cardFrom("OBJECT", 11, "'" + text64 + "x'"),
              sci::FitsStringCard("OBJECT  ", text64 + "x", false, "comment").writeCard());

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
