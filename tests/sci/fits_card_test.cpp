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
#include "tests/support/float_compare.h"

namespace {

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

std::string parseError(std::string const& card) {
    try {
        parse(card);
    } catch (sci::FitsException const& e) {
        return e.what();
    }
    return "no exception";
}

template <typename Card>
Card const* as(std::unique_ptr<sci::FitsCard> const& card) {
    return dynamic_cast<Card const*>(card.get());
}

}  // namespace

TEST(FitsCardGrammar, FixedIntegerWithComment) {
    auto card = parse(cardEnding("EXPTIME", 30, "120", " / exposure in s   "));
    ASSERT_NE(nullptr, as<sci::FitsIntCard>(card));
    EXPECT_EQ(120, card->getInt());
    EXPECT_TRUE(card->isFixed());
    EXPECT_EQ("exposure in s", card->getComment());
    EXPECT_EQ(sci::FitsKnownList::UNKNOWN_ID, card->what_id());
    EXPECT_FALSE(card->isReserved());

    auto shifted = parse(cardEnding("EXPTIME", 31, "120"));
    EXPECT_FALSE(shifted->isFixed());
}

TEST(FitsCardGrammar, FreeFormatNumbers) {
    auto crpix = parse(cardFrom("CRPIX1", 11, "100"));
    ASSERT_NE(nullptr, as<sci::FitsIntCard>(crpix));
    EXPECT_FALSE(crpix->isFixed());
    EXPECT_EQ(100.0, crpix->getFloat());
    EXPECT_EQ(29, crpix->what_id());
    EXPECT_TRUE(crpix->isArray());

    EXPECT_EQ("value must use fixed format", parseError(cardFrom("BITPIX", 11, "16")));
    EXPECT_EQ("neither comment nore blanks after value",
              parseError(cardEnding("CDELT1", 30, "1.5D3")));
}

TEST(FitsCardGrammar, IntegersAndFloatsAreTold) {
    struct Case {
        char const* text;
        bool integer;
        double value;
    };
    for (Case const c :
         {Case{"2000", true, 2000.0}, Case{"2000.0", false, 2000.0}, Case{"2000.", false, 2000.0},
          Case{"-32", true, -32.0}, Case{"+7", true, 7.0}, Case{"1.5E3", false, 1500.0},
          Case{"1e-5", false, 1e-5}, Case{"-0.25", false, -0.25}}) {
        auto card = parse(cardEnding("EQUINOX", 30, c.text, " / j"));
        ASSERT_NE(nullptr, card) << c.text;
        EXPECT_EQ(c.integer, as<sci::FitsIntCard>(card) != nullptr) << c.text;
        EXPECT_EQ(c.value, card->getFloat()) << c.text;
        EXPECT_TRUE(card->isFixed()) << c.text;
        EXPECT_EQ("j", card->getComment());
    }
    // A floating-point card refuses getInt, so BITPIX 16.0 is refused.
    EXPECT_EQ("value of 'BITPIX  ' is no valid integer",
              parseError(cardEnding("BITPIX", 30, "16.0")));
}

TEST(FitsCardGrammar, Strings) {
    auto hara = parse(cardFrom("OBSERVER", 11, "'O''HARA '", " / who"));
    ASSERT_NE(nullptr, as<sci::FitsStringCard>(hara));
    EXPECT_EQ("O''HARA", hara->getString());
    EXPECT_TRUE(hara->isFixed());  // quotes in columns 11 and 20
    EXPECT_EQ("who", hara->getComment());

    auto blanks = parse(cardFrom("OBJECT", 11, "'     '"));
    EXPECT_EQ(" ", blanks->getString());
    EXPECT_FALSE(blanks->isFixed());  // closing quote before column 20

    auto empty = parse(cardFrom("OBJECT", 11, "''"));
    EXPECT_EQ("", empty->getString());
    EXPECT_FALSE(empty->isFixed());

    auto lead = parse(cardFrom("OBJECT", 11, "'  M51    '"));
    EXPECT_EQ("  M51", lead->getString());  // leading blanks stay

    auto late = parse(cardFrom("OBJECT", 12, "'M51 galaxy'"));
    EXPECT_FALSE(late->isFixed());  // opening quote not in column 11

    // 68 characters: the closing quote is column 80.
    std::string const longValue(68, 'x');
    auto full = parse(cardFrom("OBJECT", 11, "'" + longValue + "'"));
    EXPECT_EQ(longValue, full->getString());
}

TEST(FitsCardGrammar, BrokenStrings) {
    EXPECT_EQ("closing quote of string is missing", parseError(cardFrom("OBJECT", 11, "'M51")));
    EXPECT_EQ("closing quote of string is missing", parseError(cardFrom("OBJECT", 11, "'O''HARA")));
    // A doubled quote in columns 79-80 leaves no room for the closing one.
    EXPECT_EQ("quote missmatch in string",
              parseError(cardFrom("OBJECT", 11, "'" + std::string(67, 'x') + "''")));
    EXPECT_EQ("neither comment nore blanks after value",
              parseError(cardFrom("OBJECT", 11, "'M51     '", " x")));
}

TEST(FitsCardGrammar, Logicals) {
    auto simple = parse(cardEnding("SIMPLE", 30, "T"));
    ASSERT_NE(nullptr, as<sci::FitsBoolCard>(simple));
    EXPECT_TRUE(simple->getBool());
    EXPECT_TRUE(simple->isFixed());
    EXPECT_TRUE(simple->isMandatory());

    auto blocked = parse(cardFrom("BLOCKED", 11, "F", " / free"));
    EXPECT_FALSE(blocked->getBool());
    EXPECT_FALSE(blocked->isFixed());
    EXPECT_EQ("value of 'BLOCKED ' is no valid integer", [&] {
        try {
            blocked->getInt();
        } catch (sci::FitsException const& e) {
            return std::string(e.what());
        }
        return std::string("no exception");
    }());

    EXPECT_EQ("value must use fixed format", parseError(cardFrom("EXTEND", 11, "T")));
    EXPECT_EQ("neither comment nore blanks after value",
              parseError(cardFrom("BLOCKED", 11, "TRUE")));
}

TEST(FitsCardGrammar, CardsWithoutValue) {
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

    EXPECT_EQ("no value allowed", parseError(cardFrom("COMMENT", 11, "'text    '")));
}

TEST(FitsCardGrammar, JunkAndUndefinedValues) {
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

    EXPECT_EQ("value is undefined", parseError(sci::fitsRawCard("GAIN    =")));
    EXPECT_EQ("neither value nor comment", parseError(cardFrom("GAIN", 11, "abc")));
}

TEST(FitsCardGrammar, IllegalKeywords) {
    EXPECT_EQ("keyword 'simple  ' has illegal characters",
              parseError(cardEnding("simple", 30, "T")));
    EXPECT_EQ("keyword 'GAIN.1  ' has illegal characters", parseError(cardFrom("GAIN.1", 11, "1")));
    EXPECT_EQ("keyword ' SIMPLE ' has leading blanks", parseError(cardEnding(" SIMPLE", 30, "T")));
    EXPECT_EQ("keyword 'A B     ' has embedded blanks", parseError(cardFrom("A B", 11, "1")));
    // Hyphens and underscores are legal.
    EXPECT_NE(nullptr, parse(cardFrom("CAM-T_1", 11, "1")));
}

TEST(FitsCardGrammar, KnownKeywordRowsInOrder) {
    EXPECT_EQ(30, parse(cardFrom("CDELT1", 11, "1.0"))->what_id());  // before CD
    EXPECT_EQ(4, parse(cardEnding("PCOUNT", 30, "0"))->what_id());   // before PC
    EXPECT_EQ(34, parse(cardFrom("PC1_1", 11, "1.0"))->what_id());
    EXPECT_EQ(35, parse(cardFrom("CD2_1", 11, "1.0"))->what_id());
    EXPECT_EQ(2, parse(cardEnding("NAXIS12", 30, "5"))->what_id());
    auto cdate = parse(cardFrom("CDATE", 11, "'Wed Feb 25 2009'"));  // CD not followed by a digit
    EXPECT_EQ(sci::FitsKnownList::UNKNOWN_ID, cdate->what_id());
    EXPECT_FALSE(cdate->isReserved());
    EXPECT_EQ(14, parse(cardFrom("EQUINOX", 11, "2000"))->what_id());
    EXPECT_TRUE(parse(cardFrom("RADESYS", 11, "'FK5'"))->what_id() ==
                sci::FitsKnownList::UNKNOWN_ID);  // row 36+ are not searched
}

TEST(FitsCardGrammar, DatesAndTypedValues) {
    auto obs = parse(cardFrom("DATE-OBS", 11, "'1990-12-22T13:49:00'"));
    EXPECT_TRUE(obs->isDate());
    EXPECT_EQ(7, obs->what_id());

    EXPECT_EQ("FitsDate: cannot handle dates before Jan. 1st 1970.",
              parseError(cardFrom("DATE-OBS", 11, "'1965-01-01'")));
    EXPECT_EQ("value of 'DATE    ' is no valid string", parseError(cardFrom("DATE", 11, "2005")));

    testing::internal::CaptureStderr();
    auto old = parse(cardFrom("DATE", 11, "'01/02/05'"));
    EXPECT_EQ("FitsDate: Assuming date 2005. Date has obsolete syntax.\n",
              testing::internal::GetCapturedStderr());
    EXPECT_TRUE(old->isDate());

    EXPECT_EQ("value of 'EQUINOX ' is no valid floating point number",
              parseError(cardFrom("EQUINOX", 11, "'J2000'")));
}

TEST(FitsCard, ConstructorsAndGetters) {
    auto keywordError = [](std::string const& keyword) {
        try {
            sci::FitsJunkCard card(keyword, "");
        } catch (sci::FitsException const& e) {
            return std::string(e.what());
        }
        return std::string("no exception");
    };
    EXPECT_EQ("keyword must be 8 chars", keywordError("SHORT"));
    EXPECT_EQ("keyword must be 8 chars", keywordError("TOOLONGKEY"));

    sci::FitsJunkCard const junk("JUNK    ", "text");
    auto message = [&junk](auto getter) {
        try {
            getter(junk);
        } catch (sci::FitsException const& e) {
            return std::string(e.what());
        }
        return std::string("no exception");
    };
    EXPECT_EQ("value of 'JUNK    ' is no valid string",
              message([](sci::FitsCard const& c) { c.getString(); }));
    EXPECT_EQ("value of 'JUNK    ' is no valid boolian",
              message([](sci::FitsCard const& c) { c.getBool(); }));
    EXPECT_EQ("value of 'JUNK    ' is no valid integer",
              message([](sci::FitsCard const& c) { c.getInt(); }));
    EXPECT_EQ("value of 'JUNK    ' is no valid floating point number",
              message([](sci::FitsCard const& c) { c.getFloat(); }));
    EXPECT_EQ("value of 'JUNK    ' is no valid complex number",
              message([](sci::FitsCard const& c) { c.getComplex(); }));
    EXPECT_TRUE(junk.isJunk());
    EXPECT_FALSE(junk.isReserved());

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

    // Random doubles over the whole exponent range come back exactly, as
    // floating-point cards.
    std::mt19937_64 random(20240601);
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-300, 300);
    for (int i = 0; i < 2000; ++i) {
        double const value = std::ldexp(mantissa(random), exponent(random));
        sci::FitsFloatCard const card("CRVAL1  ", value, true, "");
        auto back = parse(card.writeCard());
        ASSERT_NE(nullptr, as<sci::FitsFloatCard>(back)) << card.writeCard();
        EXPECT_EQ(value, back->getFloat()) << card.writeCard();
    }
    for (double const value : {0.0, -0.0, 1.0, 2.0, 1e20, 1e-20, 1234567.0}) {
        auto back = parse(sci::FitsFloatCard("CRVAL1  ", value, true, "").writeCard());
        ASSERT_NE(nullptr, as<sci::FitsFloatCard>(back)) << value;
        EXPECT_EQ(value, back->getFloat());
        EXPECT_TRUE(back->isFixed()) << value;
    }
}

TEST(FitsCardGrammar, CardComment) {
    EXPECT_EQ("", sci::FitsHeader::getCardComment(""));
    EXPECT_EQ("", sci::FitsHeader::getCardComment("     "));
    EXPECT_EQ("", sci::FitsHeader::getCardComment("   /   "));
    EXPECT_EQ("a  b", sci::FitsHeader::getCardComment("  /  a  b  "));
    EXPECT_EQ("x/y", sci::FitsHeader::getCardComment("/x/y"));
    try {
        sci::FitsHeader::getCardComment("  x / y");
        ADD_FAILURE() << "no exception";
    } catch (sci::FitsException const& e) {
        EXPECT_STREQ("neither comment nore blanks after value", e.what());
    }
}
