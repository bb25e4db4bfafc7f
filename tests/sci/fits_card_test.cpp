// Tests of the card objects and the card grammar (sci::FitsHeader::parseCard).
// Cards are built column by column so that the fixed-format positions
// (values starting in column 11 or ending in column 30) are explicit.
#include "sci/fits_card.h"

#include <gtest/gtest.h>

#include <cmath>
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

}  // namespace

TEST(FitsCardGrammar, BrokenCardsHaveExactMessages) {
    std::string const trailing = "neither comment nore blanks after value";
    std::vector<std::pair<std::string, std::string>> const cases = {
        {cardFrom("BITPIX", 11, "16"), "value must use fixed format"},
        {cardFrom("CDELT1", 26, "1.5D3"), trailing},
        // A floating-point card refuses getInt, so BITPIX 16.0 is refused.
        {cardFrom("BITPIX", 27, "16.0"), "value of 'BITPIX  ' is no valid integer"},
        {cardFrom("OBJECT", 11, "'M51"), "closing quote of string is missing"},
        // A doubled quote in columns 79-80 leaves no room for the closing one.
        {cardFrom("OBJECT", 11, "'" + std::string(67, 'x') + "''"), "quote missmatch in string"},
        {cardFrom("COMMENT", 11, "'text    '"), "no value allowed"},
        {sci::fitsRawCard("GAIN    ="), "value is undefined"},
        {cardFrom("GAIN", 11, "abc"), "neither value nor comment"},
        {cardFrom("simple", 30, "T"), "keyword 'simple  ' has illegal characters"},
        {cardFrom(" SIMPLE", 30, "T"), "keyword ' SIMPLE ' has leading blanks"},
        {cardFrom("A B", 11, "1"), "keyword 'A B     ' has embedded blanks"},
        {cardFrom("DATE", 11, "2005"), "value of 'DATE    ' is no valid string"},
        {cardFrom("EQUINOX", 11, "'J2000'"),
         "value of 'EQUINOX ' is no valid floating point number"},
    };
    for (auto const& [card, message] : cases)
        EXPECT_EQ(message, messageOf<sci::FitsException>([&] { sci::FitsHeader::parseCard(card); }))
            << card;
}

TEST(FitsCard, GettersOfTheWrongKindNameTheCard) {
    EXPECT_EQ("value of 'JUNK    ' is no valid boolian",
              messageOf([] { sci::FitsJunkCard("JUNK    ", "text").getBool(); }));
}

TEST(FitsCard, WrittenCardsReadBack) {
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
        auto const back = sci::FitsHeader::parseCard(card);
        ASSERT_NE(nullptr, dynamic_cast<sci::FitsFloatCard const*>(back.get())) << card;
        EXPECT_EQ(values[i], back->getFloat()) << card;
        EXPECT_TRUE(i >= round || back->isFixed()) << card;
    }
}
