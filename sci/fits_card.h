// FITS header cards: the fixed geometry of 80-character cards in 2880-byte
// records, the table of known keywords that classifies every card and fixes
// its value type, and the card objects made from one card image.
// Columns are 1-based (column 11 starts the value field), byte indices into a
// card or record 0-based. Keywords are always 8 characters, blank padded.
#pragma once

#include <complex>
#include <memory>
#include <string>

namespace sci {

// Geometry of FITS records and cards.
struct FitsPhysical_ {
    static constexpr int RECORD_LENGTH = 2880;         // bytes of one header or data record
    static constexpr int CARD_LENGTH = 80;             // bytes of one card
    static constexpr int CARDS_OF_RECORD_LENGTH = 36;  // cards per record
    static constexpr int KEYWORD_LENGTH = 8;           // keyword field, columns 1-8
    // Index where the value field starts (column 11); "= " fills columns 9-10.
    static constexpr int VALUE_MIN_START = 10;
    static constexpr int FIXED_VALUE_END =
        30;  // a fixed-format number or logical ends in column 30
    // Index of the earliest closing quote of a fixed-format string (column 20).
    static constexpr int FIXED_STRING_MIN_END = 19;
    static constexpr int FIXED_STRING_MIN_LENGTH =
        8;                                         // minimum characters of a fixed-format string
    static constexpr int COMMENT_MAX_LENGTH = 71;  // longest text of one commentary card
};

// Value limits and the known-keyword table.
struct FitsKnownList {
    static constexpr int BITPIX_CHAR = 8;
    static constexpr int BITPIX_SHORT = 16;
    static constexpr int BITPIX_INT = 32;
    static constexpr int BITPIX_FLOAT = -32;
    static constexpr int BITPIX_DOUBLE = -64;
    static constexpr int NAXIS_LO_LIMIT = 0;
    static constexpr int NAXIS_HI_LIMIT = 999;

    // Keyword classes (Key::keyClass).
    static constexpr int CLASS_MANDATORY = 0;
    static constexpr int CLASS_ARRAY = 1;
    static constexpr int CLASS_DATE = 2;
    static constexpr int CLASS_COMMENTARY = 3;
    static constexpr int CLASS_EXTENSION = 4;
    static constexpr int CLASS_OTHER = 5;

    // Value types (Key::valueType).
    static constexpr int TYPE_NONE = 0;
    static constexpr int TYPE_STRING = 1;
    static constexpr int TYPE_LOGICAL = 2;
    static constexpr int TYPE_INTEGER = 3;
    static constexpr int TYPE_FLOAT = 4;
    static constexpr int TYPE_COMPLEX = 5;

    // Ids (row indices) that the header acts on.
    static constexpr int SIMPLE_ID = 0;
    static constexpr int BITPIX_ID = 1;
    static constexpr int NAXIS_ID = 2;
    static constexpr int XTENSION_ID = 3;
    static constexpr int PCOUNT_ID = 4;
    static constexpr int GCOUNT_ID = 5;
    static constexpr int EXTEND_ID = 6;
    static constexpr int BLOCKED_ID = 9;
    static constexpr int EPOCH_ID = 15;
    static constexpr int COMMENT_ID = 18;
    static constexpr int HISTORY_ID = 19;
    static constexpr int BLANK_KEYWORD_ID = 20;
    static constexpr int BSCALE_ID = 21;
    static constexpr int BZERO_ID = 22;
    static constexpr int END_ID = 48;      // text of the END keyword, never searched
    static constexpr int UNKNOWN_ID = 49;  // id of a card that matched no row

    static constexpr int N_KNOWN = 36;  // rows 0..35 are searched
    static constexpr int N_ROWS = 49;   // rows stored: 0..48

    // One row. A key of 8 characters (blank padded) names one keyword; a
    // shorter key is a prefix; a two-character key must be followed by a digit.
    struct Key {
        int id;
        int keyClass;
        int valueType;
        char key[9];
        bool fixedRequired;
    };
    static Key const KEY[N_ROWS];

    static Key const* begin() { return KEY; }
    static Key const* end() { return KEY + N_KNOWN; }
};

// A header card: keyword, fixed-format flag, comment, class flags and the id
// of the known-keyword row it matched. Subclasses add the value.
class FitsCard {
  public:
    // Throws FitsException "keyword must be 8 chars" for any other length.
    FitsCard(std::string const& keyword, bool fixed, std::string const& comment);

    // True for junk and commentary cards, which carry no value.
    virtual bool isComment() const { return false; }
    virtual ~FitsCard() = default;
    virtual std::unique_ptr<FitsCard> clone() const = 0;
    // The getters of the base throw FitsException "value of '<keyword>' is no
    // valid ..."; each subclass answers the kinds its value converts to.
    virtual std::string getString() const;
    virtual bool getBool() const;
    virtual long getInt() const;
    virtual double getFloat() const;
    virtual std::complex<double> getComplex() const;
    // The 80-character card image: value cards as "KEYWORD = value / comment",
    // numbers and logicals right-aligned in columns 11-30 when they fit,
    // strings from column 11. Throws FitsException when the value cannot fit.
    virtual std::string writeCard() const;
    // The value as it is written in the card (strings with their quotes).
    virtual std::string toString() const = 0;

    std::string const& getKeyword() const { return keyword_; }
    bool isFixed() const { return fixed_; }
    std::string const& getComment() const { return comment_; }
    int what_id() const { return id_; }
    bool isMandatory() const { return hasClass_(FitsKnownList::CLASS_MANDATORY); }
    bool isArray() const { return hasClass_(FitsKnownList::CLASS_ARRAY); }
    bool isDate() const { return hasClass_(FitsKnownList::CLASS_DATE); }
    bool isCommentary() const { return hasClass_(FitsKnownList::CLASS_COMMENTARY); }
    bool isExtension() const { return hasClass_(FitsKnownList::CLASS_EXTENSION); }
    bool isOther() const { return hasClass_(FitsKnownList::CLASS_OTHER); }
    bool isReserved() const { return classFlags_ != 0; }
    bool isJunk() const { return isComment() && !isCommentary(); }

  protected:
    FitsCard(FitsCard const&) = default;
    FitsCard& operator=(FitsCard const&) = delete;

    // Tests the keyword syntax, classifies the card by the known-keyword table
    // and tests its value against the row's value type, fixed-format demand
    // and, for dates, the date syntax. Throws FitsException.
    void check_syntax();

  private:
    bool hasClass_(int keyClass) const { return (classFlags_ >> keyClass) & 1u; }
    std::string valueError_(char const* kind) const;

    std::string keyword_;
    bool fixed_;
    std::string comment_;
    unsigned char classFlags_ = 0;  // bit k set: class k (FitsKnownList::CLASS_...)
    int id_ = FitsKnownList::UNKNOWN_ID;
};

// A card that fits no other form; its text (columns 9-80) is the comment.
class FitsJunkCard : public FitsCard {
  public:
    FitsJunkCard(std::string const& keyword, std::string const& text);
    bool isComment() const override { return true; }
    std::unique_ptr<FitsCard> clone() const override;
    std::string writeCard() const override;
    std::string toString() const override { return getComment(); }
};

// A COMMENT, HISTORY or blank-keyword card; its text is the comment.
class FitsCommentCard : public FitsCard {
  public:
    FitsCommentCard(std::string const& keyword, std::string const& text);
    bool isComment() const override { return true; }
    std::unique_ptr<FitsCard> clone() const override;
    std::string writeCard() const override;
    std::string toString() const override { return getComment(); }
};

// A quoted string value, kept as written between the quotes (doubled quotes
// stay doubled) without its trailing blanks.
class FitsStringCard : public FitsCard {
  public:
    FitsStringCard(std::string const& keyword, std::string value, bool fixed, std::string comment);
    std::unique_ptr<FitsCard> clone() const override;
    std::string getString() const override { return value_; }
    std::string toString() const override;

  private:
    std::string value_;
};

class FitsBoolCard : public FitsCard {
  public:
    FitsBoolCard(std::string const& keyword, bool value, bool fixed, std::string const& comment);
    std::unique_ptr<FitsCard> clone() const override;
    bool getBool() const override { return value_; }
    std::string toString() const override { return value_ ? "T" : "F"; }

  private:
    bool value_;
};

// An integer value; it also answers getFloat.
class FitsIntCard : public FitsCard {
  public:
    FitsIntCard(std::string const& keyword, long value, bool fixed, std::string const& comment);
    std::unique_ptr<FitsCard> clone() const override;
    long getInt() const override { return value_; }
    double getFloat() const override { return static_cast<double>(value_); }
    std::string toString() const override;

  private:
    long value_;
};

class FitsFloatCard : public FitsCard {
  public:
    FitsFloatCard(std::string const& keyword, double value, bool fixed, std::string const& comment);
    std::unique_ptr<FitsCard> clone() const override;
    double getFloat() const override { return value_; }
    // The shortest text that reads back as the same double, with a decimal
    // point so that it reads as a floating-point value.
    std::string toString() const override;

  private:
    double value_;
};

// A complex value, written "(re, im)"; the card parser never makes one.
class FitsComplexCard : public FitsCard {
  public:
    FitsComplexCard(std::string const& keyword, std::complex<double> value, bool fixed,
                    std::string const& comment);
    std::unique_ptr<FitsCard> clone() const override;
    std::complex<double> getComplex() const override { return value_; }
    std::string toString() const override;

  private:
    std::complex<double> value_;
};

}  // namespace sci
