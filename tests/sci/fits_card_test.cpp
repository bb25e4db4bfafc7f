// Tests of the card objects and the card grammar (sci::FitsHeader::parseCard).
// Cards are built column by column so that the fixed-format positions
// (column 11, 20, 30) are explicit.
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
#include "tests/support/messages.h"

namespace {

using testsupport::messageOf;

// "KEYWORD = " then value starting in 1-based column `column` (>= 11), then rest.
std::string cardFrom(std::string const& key, int column, std::string const& value,
                     std::string const& rest = "") {
    return sci::fitsRawCard(sci::fitsKeyword(key) + "= " + std::string(column - 11, ' ') + value +
                            rest);
}

// The value ends in column `column`.
std::string cardEnding(std::string const& key, int column, std::string const& value,
                       std::string const& rest = "") {
    return cardFrom(key, column + 1 - static_cast<int>(value.size()), value, rest);
}

std::unique_ptr<sci::FitsCard> parse(std::string const& card) {
    return sci::FitsHeader::parseCard(card);
}

// The parsed card as "<kind> <value> <fixed|free> /<comment>", kind I, F, L or
// S; commentary cards as "C /<comment>", junk as "J <keyword> /<comment>".
std::string describe(std::string const& text) {
    auto const card = parse(text);
    if (card == nullptr) return "null";
    sci::FitsCard const* c = card.get();
    std::string value;
    if (dynamic_cast<sci::FitsIntCard const*>(c)) value = "I " + std::to_string(c->getInt());
    if (dynamic_cast<sci::FitsFloatCard const*>(c)) {
        char number[32];  // 17 digits: exact
        std::snprintf(number, sizeof number, "%.17g", c->getFloat());
        value = std::string("F ") + number;
    }
    if (dynamic_cast<sci::FitsBoolCard const*>(c)) value = c->getBool() ? "L T" : "L F";
    if (dynamic_cast<sci::FitsStringCard const*>(c)) value = "S '" + c->getString() + "'";
    if (dynamic_cast<sci::FitsCommentCard const*>(c)) return "C /" + c->getComment();
    if (c->isJunk()) return "J " + c->getKeyword() + " /" + c->getComment();
    return value + (c->isFixed() ? " fixed /" : " free /") + c->getComment();
}

}  // namespace

// Integers against floats (D exponents are no numbers), doubled quotes and
// blanks in strings, logicals, the fixed format of each, commentary and junk.
TEST(FitsCardGrammar, ValuesFixedFormatAndComments) {
    std::string const blanks(50, ' ');
    std::vector<std::pair<std::string, std::string>> const cases = {
        {cardEnding("EXPTIME", 30, "120", " / exposure in s   "), "I 120 fixed /exposure in s"},
        {cardEnding("EXPTIME", 31, "120"), "I 120 free /"},
        {cardEnding("EQUINOX", 30, "2000.", " / j"), "F 2000 fixed /j"},
        {cardEnding("EQUINOX", 30, "-1e-5"), "F -1.0000000000000001e-05 fixed /"},
        // Quotes in columns 11 and 20 make a fixed-format string.
        {cardFrom("OBSERVER", 11, "'O''HARA '", " / who"), "S 'O''HARA' fixed /who"},
        {cardFrom("OBJECT", 11, "'     '"), "S ' ' free /"},           // closing quote before 20
        {cardFrom("OBJECT", 11, "'  M51    '"), "S '  M51' fixed /"},  // leading blanks stay
        // 68 characters: the closing quote is column 80.
        {cardFrom("OBJECT", 11, "'" + std::string(68, 'x') + "'"),
         "S '" + std::string(68, 'x') + "' fixed /"},
        {cardEnding("SIMPLE", 30, "T"), "L T fixed /"},
        {cardFrom("BLOCKED", 11, "F", " / free"), "L F free /free"},
        {std::string(80, ' '), "null"},
        // From the first non-blank to the end of the card, trailing blanks included.
        {sci::fitsRawCard("COMMENT   FITS format text  "), "C /FITS format text" + blanks + "    "},
        {sci::fitsRawCard("HIERARCH ESO = 5"),
         "J HIERARCH / ESO = 5" + blanks + std::string(14, ' ')},
        // A lower-case keyword without value indicator is junk: no syntax check.
        {sci::fitsRawCard("lower   text"), "J lower    /text" + blanks + std::string(18, ' ')},
        {cardFrom("GAIN", 20, "/ no value"), "J GAIN     /=          / no value" + blanks + " "},
        {cardFrom("CAM-T_1", 11, "1"), "I 1 free /"},  // hyphens and underscores are legal
    };
    for (auto const& [card, expected] : cases) EXPECT_EQ(expected, describe(card)) << card;
}

TEST(FitsCardGrammar, BrokenCardsHaveExactMessages) {
    std::string const trailing = "neither comment nore blanks after value";
    std::string const noQuote = "closing quote of string is missing";
    std::vector<std::pair<std::string, std::string>> const cases = {
        {cardFrom("BITPIX", 11, "16"), "value must use fixed format"},
        {cardEnding("CDELT1", 30, "1.5D3"), trailing},
        {cardFrom("BLOCKED", 11, "TRUE"), trailing},
        {cardFrom("OBJECT", 11, "'M51     '", " x"), trailing},
        // A floating-point card refuses getInt, so BITPIX 16.0 is refused.
        {cardEnding("BITPIX", 30, "16.0"), "value of 'BITPIX  ' is no valid integer"},
        {cardFrom("OBJECT", 11, "'M51"), noQuote},
        // A doubled quote in columns 79-80 leaves no room for the closing one.
        {cardFrom("OBJECT", 11, "'" + std::string(67, 'x') + "''"), "quote missmatch in string"},
        {cardFrom("COMMENT", 11, "'text    '"), "no value allowed"},
        {sci::fitsRawCard("GAIN    ="), "value is undefined"},
        {cardFrom("GAIN", 11, "abc"), "neither value nor comment"},
        {cardEnding("simple", 30, "T"), "keyword 'simple  ' has illegal characters"},
        {cardEnding(" SIMPLE", 30, "T"), "keyword ' SIMPLE ' has leading blanks"},
        {cardFrom("A B", 11, "1"), "keyword 'A B     ' has embedded blanks"},
        {cardFrom("DATE-OBS", 11, "'1965-01-01'"),
         "FitsDate: cannot handle dates before Jan. 1st 1970."},
        {cardFrom("DATE", 11, "2005"), "value of 'DATE    ' is no valid string"},
        {cardFrom("EQUINOX", 11, "'J2000'"),
         "value of 'EQUINOX ' is no valid floating point number"},
    };
    for (auto const& [card, message] : cases)
        EXPECT_EQ(message, messageOf<sci::FitsException>([&] { parse(card); })) << card;
    // The comment of the rest of a card after its value.
    EXPECT_EQ(trailing, messageOf([] { sci::FitsHeader::getCardComment("  x / y"); }));
    for (auto [rest, comment] :
         {std::pair{"     ", ""}, {"   /   ", ""}, {"  /  a  b  ", "a  b"}, {"/x/y", "x/y"}})
        EXPECT_EQ(comment, sci::FitsHeader::getCardComment(rest));
}

TEST(FitsCard, GettersOfTheWrongKindNameTheCard) {
    EXPECT_EQ("keyword must be 8 chars", messageOf([] { sci::FitsJunkCard("SHORT", ""); }));
    sci::FitsJunkCard const junk("JUNK    ", "text");
    EXPECT_EQ("value of 'JUNK    ' is no valid string", messageOf([&] { junk.getString(); }));
    EXPECT_EQ("value of 'JUNK    ' is no valid boolian", messageOf([&] { junk.getBool(); }));
    EXPECT_EQ("value of 'JUNK    ' is no valid floating point number",
              messageOf([&] { junk.getFloat(); }));
    sci::FitsBoolCard const blocked("BLOCKED ", false, false, "");
    EXPECT_EQ("value of 'BLOCKED ' is no valid integer", messageOf([&] { blocked.getInt(); }));
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
        auto const back = parse(card);
        ASSERT_NE(nullptr, dynamic_cast<sci::FitsFloatCard const*>(back.get())) << card;
        EXPECT_EQ(values[i], back->getFloat()) << card;
        EXPECT_TRUE(i >= round || back->isFixed()) << card;
    }
}
