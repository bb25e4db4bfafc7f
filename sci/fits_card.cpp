#include "sci/fits_card.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sci/exceptions.h"
#include "util/fits_date.h"

namespace sci {

namespace {

using K = FitsKnownList;

bool isKeywordChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Width of the value field of a fixed-format number or logical, columns 11-30.
constexpr size_t kFixedValueWidth = FitsPhysical_::FIXED_VALUE_END - FitsPhysical_::VALUE_MIN_START;
constexpr size_t kCardLength = FitsPhysical_::CARD_LENGTH;
// Significant digits that always read back as the same double.
constexpr int kRoundTripDigits = 17;

// value in "%.<p>G" with the fewest digits p that read back exactly.
std::string shortestText(double value) {
    char text[40];
    for (int digits = 1; digits <= kRoundTripDigits; ++digits) {
        std::snprintf(text, sizeof text, "%.*G", digits, value);
        if (std::strtod(text, nullptr) == value) break;
    }
    std::string result = text;
    // A decimal point or exponent makes the text read as floating point, not integer.
    if (std::isfinite(value) && result.find_first_of(".E") == std::string::npos) result += ".";
    return result;
}

}  // namespace

// Rows 0-35 are searched in id order; 36-47 are carried for completeness but
// classify nothing; 48 holds the END keyword.
FitsKnownList::Key const FitsKnownList::KEY[FitsKnownList::N_ROWS] = {
    {0, K::CLASS_MANDATORY, K::TYPE_LOGICAL, "SIMPLE  ", true},
    {1, K::CLASS_MANDATORY, K::TYPE_INTEGER, "BITPIX  ", true},
    {2, K::CLASS_MANDATORY, K::TYPE_INTEGER, "NAXIS", true},
    {3, K::CLASS_MANDATORY, K::TYPE_STRING, "XTENSION", true},
    {4, K::CLASS_EXTENSION, K::TYPE_INTEGER, "PCOUNT  ", true},
    {5, K::CLASS_EXTENSION, K::TYPE_INTEGER, "GCOUNT  ", true},
    {6, K::CLASS_EXTENSION, K::TYPE_LOGICAL, "EXTEND  ", true},
    {7, K::CLASS_DATE, K::TYPE_STRING, "DATE", false},
    {8, K::CLASS_OTHER, K::TYPE_STRING, "ORIGIN  ", false},
    {9, K::CLASS_OTHER, K::TYPE_LOGICAL, "BLOCKED ", false},
    {10, K::CLASS_OTHER, K::TYPE_STRING, "TELESCOP", false},
    {11, K::CLASS_OTHER, K::TYPE_STRING, "INSTRUME", false},
    {12, K::CLASS_OTHER, K::TYPE_STRING, "OBSERVER", false},
    {13, K::CLASS_OTHER, K::TYPE_STRING, "OBJECT  ", false},
    {14, K::CLASS_OTHER, K::TYPE_FLOAT, "EQUINOX", false},
    {15, K::CLASS_OTHER, K::TYPE_FLOAT, "EPOCH   ", false},
    {16, K::CLASS_OTHER, K::TYPE_STRING, "AUTHOR  ", false},
    {17, K::CLASS_OTHER, K::TYPE_STRING, "REFERENC", false},
    {18, K::CLASS_COMMENTARY, K::TYPE_NONE, "COMMENT ", false},
    {19, K::CLASS_COMMENTARY, K::TYPE_NONE, "HISTORY ", false},
    {20, K::CLASS_COMMENTARY, K::TYPE_NONE, "        ", false},
    {21, K::CLASS_ARRAY, K::TYPE_FLOAT, "BSCALE  ", false},
    {22, K::CLASS_ARRAY, K::TYPE_FLOAT, "BZERO   ", false},
    {23, K::CLASS_ARRAY, K::TYPE_STRING, "BUNIT   ", false},
    {24, K::CLASS_ARRAY, K::TYPE_INTEGER, "BLANK   ", false},
    {25, K::CLASS_ARRAY, K::TYPE_FLOAT, "DATAMAX ", false},
    {26, K::CLASS_ARRAY, K::TYPE_FLOAT, "DATAMIN ", false},
    {27, K::CLASS_ARRAY, K::TYPE_INTEGER, "WCSAXES", false},
    {28, K::CLASS_ARRAY, K::TYPE_FLOAT, "CRVAL", false},
    {29, K::CLASS_ARRAY, K::TYPE_FLOAT, "CRPIX", false},
    {30, K::CLASS_ARRAY, K::TYPE_FLOAT, "CDELT", false},
    {31, K::CLASS_ARRAY, K::TYPE_FLOAT, "CROTA", false},
    {32, K::CLASS_ARRAY, K::TYPE_STRING, "CTYPE", false},
    {33, K::CLASS_ARRAY, K::TYPE_STRING, "CUNIT", false},
    {34, K::CLASS_ARRAY, K::TYPE_FLOAT, "PC", false},
    {35, K::CLASS_ARRAY, K::TYPE_FLOAT, "CD", false},
    {36, K::CLASS_ARRAY, K::TYPE_FLOAT, "PV", false},
    {37, K::CLASS_ARRAY, K::TYPE_STRING, "PS", false},
    {38, K::CLASS_ARRAY, K::TYPE_STRING, "WCSNAME", false},
    {39, K::CLASS_ARRAY, K::TYPE_FLOAT, "CRDER", false},
    {40, K::CLASS_ARRAY, K::TYPE_FLOAT, "CSYER", false},
    {41, K::CLASS_ARRAY, K::TYPE_FLOAT, "LONPOLE", false},
    {42, K::CLASS_ARRAY, K::TYPE_FLOAT, "LATPOLE", false},
    {43, K::CLASS_ARRAY, K::TYPE_STRING, "RADESYS", false},
    {44, K::CLASS_ARRAY, K::TYPE_FLOAT, "MJD-OBS ", false},
    {45, K::CLASS_EXTENSION, K::TYPE_STRING, "EXTNAME ", false},
    {46, K::CLASS_EXTENSION, K::TYPE_INTEGER, "EXTVER  ", false},
    {47, K::CLASS_EXTENSION, K::TYPE_INTEGER, "EXTLEVEL", false},
    {48, K::CLASS_MANDATORY, K::TYPE_NONE, "END     ", false},
};

// ---------------------------------------------------------------- FitsCard

FitsCard::FitsCard(std::string const& keyword, bool fixed, std::string const& comment)
    : keyword_(keyword), fixed_(fixed), comment_(comment) {
    if (keyword_.size() != static_cast<size_t>(FitsPhysical_::KEYWORD_LENGTH))
        throw FitsException("keyword must be 8 chars");
}

std::string FitsCard::valueError_(char const* kind) const {
    return "value of '" + keyword_ + "' is no valid " + kind;
}

std::string FitsCard::getString() const {
    throw FitsException(valueError_("string"));
}
bool FitsCard::getBool() const {
    throw FitsException(valueError_("boolian"));
}
long FitsCard::getInt() const {
    throw FitsException(valueError_("integer"));
}
double FitsCard::getFloat() const {
    throw FitsException(valueError_("floating point number"));
}
std::complex<double> FitsCard::getComplex() const {
    throw FitsException(valueError_("complex number"));
}

void FitsCard::check_syntax() {
    // 1. Keyword syntax: left-justified, no embedded blanks, A-Z 0-9 - _ only.
    size_t const lastNonBlank = keyword_.find_last_not_of(' ');
    if (lastNonBlank != std::string::npos) {
        if (keyword_[0] == ' ')
            throw FitsException("keyword '" + keyword_ + "' has leading blanks");
        size_t const firstBlank = keyword_.find(' ');
        if (firstBlank != std::string::npos && lastNonBlank > firstBlank)
            throw FitsException("keyword '" + keyword_ + "' has embedded blanks");
        for (size_t i = 0; i <= lastNonBlank; ++i)
            if (!isKeywordChar(keyword_[i]))
                throw FitsException("keyword '" + keyword_ + "' has illegal characters");
    }
    // 2. The first known row whose key begins the keyword classifies the card.
    for (FitsKnownList::Key const* row = FitsKnownList::begin(); row != FitsKnownList::end();
         ++row) {
        size_t const keyLength = std::strlen(row->key);
        if (keyword_.compare(0, keyLength, row->key) != 0) continue;
        if (keyLength == 2 && !isDigit(keyword_[2])) continue;
        id_ = row->id;
        // 3. The value must be of the row's type; the getter throws otherwise.
        switch (row->valueType) {
            case K::TYPE_NONE:
                if (!isComment()) throw FitsException("no value allowed");
                break;
            case K::TYPE_STRING:
                (void)getString();
                break;
            case K::TYPE_LOGICAL:
                (void)getBool();
                break;
            case K::TYPE_INTEGER:
                (void)getInt();
                break;
            case K::TYPE_FLOAT:
                (void)getFloat();
                break;
            case K::TYPE_COMPLEX:
                (void)getComplex();
                break;
        }
        // 4. Mandatory and extension keywords demand fixed format.
        if (row->fixedRequired && !fixed_) throw FitsException("value must use fixed format");
        // 5. A date card must hold a date that parses.
        if (row->keyClass == K::CLASS_DATE) {
            try {
                util::FitsDate const date(getString());
            } catch (util::UTDateException const& e) {
                throw FitsException(e.what());
            }
        }
        classFlags_ = static_cast<unsigned char>(classFlags_ | (1u << row->keyClass));
        return;
    }
}

std::string FitsCard::writeCard() const {
    std::string const value = toString();
    std::string card = keyword_ + "= ";
    if (!value.empty() && value[0] != '\'' && value.size() <= kFixedValueWidth)
        card += std::string(kFixedValueWidth - value.size(), ' ');
    card += value;
    if (card.size() > kCardLength)
        throw FitsException("value of '" + keyword_ + "' does not fit into one card");
    if (!comment_.empty() && card.size() + 3 < kCardLength) card += " / " + comment_;
    card.resize(kCardLength, ' ');
    return card;
}

// ------------------------------------------------------------- subclasses

FitsJunkCard::FitsJunkCard(std::string const& keyword, std::string const& text)
    : FitsCard(keyword, false, text) {}

std::unique_ptr<FitsCard> FitsJunkCard::clone() const {
    return std::unique_ptr<FitsCard>(new FitsJunkCard(*this));
}

std::string FitsJunkCard::writeCard() const {
    std::string card = getKeyword() + getComment();
    card.resize(kCardLength, ' ');
    return card;
}

FitsCommentCard::FitsCommentCard(std::string const& keyword, std::string const& text)
    : FitsCard(keyword, false, text) {
    check_syntax();
}

std::unique_ptr<FitsCard> FitsCommentCard::clone() const {
    return std::unique_ptr<FitsCard>(new FitsCommentCard(*this));
}

std::string FitsCommentCard::writeCard() const {
    std::string card = getKeyword() + getComment();
    card.resize(kCardLength, ' ');
    return card;
}

FitsStringCard::FitsStringCard(std::string const& keyword, std::string value, bool fixed,
                               std::string comment)
    : FitsCard(keyword, fixed, comment), value_(std::move(value)) {
    check_syntax();
}

std::unique_ptr<FitsCard> FitsStringCard::clone() const {
    return std::unique_ptr<FitsCard>(new FitsStringCard(*this));
}

std::string FitsStringCard::toString() const {
    std::string text = value_;
    // A non-empty string is padded to the fixed-format minimum inside its quotes.
    if (!text.empty() && text.size() < static_cast<size_t>(FitsPhysical_::FIXED_STRING_MIN_LENGTH))
        text.resize(FitsPhysical_::FIXED_STRING_MIN_LENGTH, ' ');
    return "'" + text + "'";
}

FitsBoolCard::FitsBoolCard(std::string const& keyword, bool value, bool fixed,
                           std::string const& comment)
    : FitsCard(keyword, fixed, comment), value_(value) {
    check_syntax();
}

std::unique_ptr<FitsCard> FitsBoolCard::clone() const {
    return std::unique_ptr<FitsCard>(new FitsBoolCard(*this));
}

FitsIntCard::FitsIntCard(std::string const& keyword, long value, bool fixed,
                         std::string const& comment)
    : FitsCard(keyword, fixed, comment), value_(value) {
    check_syntax();
}

std::unique_ptr<FitsCard> FitsIntCard::clone() const {
    return std::unique_ptr<FitsCard>(new FitsIntCard(*this));
}

std::string FitsIntCard::toString() const {
    return std::to_string(value_);
}

FitsFloatCard::FitsFloatCard(std::string const& keyword, double value, bool fixed,
                             std::string const& comment)
    : FitsCard(keyword, fixed, comment), value_(value) {
    check_syntax();
}

std::unique_ptr<FitsCard> FitsFloatCard::clone() const {
    return std::unique_ptr<FitsCard>(new FitsFloatCard(*this));
}

std::string FitsFloatCard::toString() const {
    return shortestText(value_);
}

FitsComplexCard::FitsComplexCard(std::string const& keyword, std::complex<double> value, bool fixed,
                                 std::string const& comment)
    : FitsCard(keyword, fixed, comment), value_(value) {
    check_syntax();
}

std::unique_ptr<FitsCard> FitsComplexCard::clone() const {
    return std::unique_ptr<FitsCard>(new FitsComplexCard(*this));
}

std::string FitsComplexCard::toString() const {
    return "(" + shortestText(value_.real()) + ", " + shortestText(value_.imag()) + ")";
}

}  // namespace sci
