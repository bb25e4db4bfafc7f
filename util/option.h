// Typed command-line options: one object per setting, bound to a variable of the
// caller. Each option parses its value text and writes the result both into its
// own store and through the bound pointer (when not null); getters and toString()
// read the bound variable when there is one. Array capacities and element indices
// start at 0 in the internal stores; RegionArrayOption dimensions are numbered from 1.
#pragma once

#include <string>
#include <vector>

#include "util/region.h"

namespace util {

// Abstract base of all options. The default text is parsed once, by the
// subclass constructor, so the bound variable holds the default as soon as the
// option exists. A command-line char of 0 means "no short form".
//
// Every option also remembers its last value text and whether that text read
// whole as a value of its kind (for the numeric options: one number per
// element, nothing left over; see util/number_text.h). The conversion itself
// stays lenient, so a text that is not a number still sets the value strtol or
// strtod gives it; the caller decides whether to refuse it.
class Option {
  public:
    Option(std::string name, std::string defaultValue, std::string usage, char cmdLineChar);
    virtual ~Option() = default;
    // An option is bound to one variable and registered by address: no copies.
    Option(Option const&) = delete;
    Option& operator=(Option const&) = delete;

    std::string const& getName() const { return name_; }
    std::string const& getDefault() const { return default_; }
    std::string const& getUsage() const { return usage_; }
    char getCmdLineChar() const { return cmdLineChar_; }

    // Set by the parser for every option that a command line gives (even with
    // its default value); false after construction.
    bool given() const { return given_; }
    void markGiven() { given_ = true; }
    // The text given to the last setValue (the default text after construction).
    std::string const& lastText() const { return lastText_; }
    // False when lastText() did not read whole as a value of the option's kind.
    bool lastTextValid() const { return lastTextValid_; }
    // What a valid value text holds, for messages: "a whole number", ...
    virtual std::string valueDescription() const { return "a value"; }

    virtual void setValue(std::string const& text) = 0;
    virtual int getInt() const { return 0; }
    virtual float getFloat() const { return 0; }
    virtual std::string getString() const { return std::string(); }
    virtual bool getBool() const { return false; }
    virtual std::string getTypeName() const { return "UNKNOWN"; }
    // False for flags: they take no value token.
    virtual bool needsValue() const { return true; }
    // The current value as text.
    virtual std::string toString() const = 0;

  protected:
    // Called by setValue with the text and whether it read whole.
    void recordText_(std::string const& text, bool valid);

  private:
    std::string name_;
    std::string default_;
    std::string usage_;
    char cmdLineChar_;
    bool given_ = false;
    std::string lastText_;
    bool lastTextValid_ = true;
};

// int; value text read with strtol base 10 (text that is not a number reads as
// 0, a whole number beyond int is held at the nearest end of its range). Valid:
// the text is one whole number within the range of int.
class IntOption : public Option {
  public:
    IntOption(char const* name, char const* defaultValue, char const* usage, char cmdLineChar,
              int* bound = nullptr);
    IntOption(std::string const& name, std::string const& defaultValue, std::string const& usage,
              char cmdLineChar, int* bound = nullptr);
    void setValue(std::string const& text) override;
    int getInt() const override { return bound_ ? *bound_ : value_; }
    std::string getTypeName() const override { return "INT"; }
    std::string valueDescription() const override { return "a whole number"; }
    std::string toString() const override;  // "%d"

  private:
    int value_ = 0;
    int* bound_;
};

// float; value text read with strtod and narrowed to float. Valid: the text is
// one finite number.
class FloatOption : public Option {
  public:
    FloatOption(char const* name, char const* defaultValue, char const* usage, char cmdLineChar,
                float* bound = nullptr);
    FloatOption(std::string const& name, std::string const& defaultValue, std::string const& usage,
                char cmdLineChar, float* bound = nullptr);
    void setValue(std::string const& text) override;
    float getFloat() const override { return bound_ ? *bound_ : value_; }
    std::string getTypeName() const override { return "FLOAT"; }
    std::string valueDescription() const override { return "a number"; }
    std::string toString() const override;  // "%g"

  private:
    float value_ = 0;
    float* bound_;
};

// double; value text read with strtod. Valid: the text is one finite number.
class DoubleOption : public Option {
  public:
    DoubleOption(char const* name, char const* defaultValue, char const* usage, char cmdLineChar,
                 double* bound = nullptr);
    DoubleOption(std::string const& name, std::string const& defaultValue, std::string const& usage,
                 char cmdLineChar, double* bound = nullptr);
    void setValue(std::string const& text) override;
    std::string getTypeName() const override { return "DOUBLE"; }
    std::string valueDescription() const override { return "a number"; }
    std::string toString() const override;  // "%g"
    virtual double getDouble() const { return bound_ ? *bound_ : value_; }

  private:
    double value_ = 0;
    double* bound_;
};

// A flag: takes no value token; each occurrence on the command line toggles it.
// setValue: "toggle" inverts the internal value; "FALSE", "false", "NO", "no",
// "F", "f", "N", "n" and "0" set false; any other text (the empty one too) sets true.
class BoolOption : public Option {
  public:
    BoolOption(char const* name, char const* defaultValue, char const* usage, char cmdLineChar,
               bool* bound = nullptr);
    BoolOption(std::string const& name, std::string const& defaultValue, std::string const& usage,
               char cmdLineChar, bool* bound = nullptr);
    void setValue(std::string const& text) override;
    bool getBool() const override { return bound_ ? *bound_ : value_; }
    std::string getTypeName() const override { return "FLAG"; }
    bool needsValue() const override { return false; }
    std::string toString() const override;  // "TRUE" or "FALSE"

  private:
    bool value_ = false;
    bool* bound_;
};

// Text, stored unchanged.
class StringOption : public Option {
  public:
    StringOption(char const* name, char const* defaultValue, char const* usage, char cmdLineChar,
                 std::string* bound = nullptr);
    StringOption(std::string const& name, std::string const& defaultValue, std::string const& usage,
                 char cmdLineChar, std::string* bound = nullptr);
    void setValue(std::string const& text) override;
    std::string getString() const override { return bound_ ? *bound_ : value_; }
    std::string getTypeName() const override { return "STRING"; }
    std::string toString() const override { return getString(); }

  private:
    std::string value_;
    std::string* bound_;
};

// Array options hold N elements (slots 0..N-1), N >= 1; the bound pointer, when
// given, must address N elements. The value text is a comma list: element i goes
// to slot i, elements beyond the given count keep their values, and more than N
// elements throw "Too many elements in <Class> <name>! (it takes at most N
// values)" once element N is reached (the earlier slots are written by then).
// toString() prints all N elements. The numeric arrays are valid when every
// element is valid as for the scalar option of their type.

class IntArrayOption : public Option {
  public:
    IntArrayOption(char const* name, char const* defaultValue, char const* usage,
                   char const& cmdLineChar, int const& n, int* bound = nullptr);
    IntArrayOption(std::string const& name, std::string const& defaultValue,
                   std::string const& usage, char const& cmdLineChar, int const& n,
                   int* bound = nullptr);
    void setValue(std::string const& text) override;
    std::string getTypeName() const override { return "INTARRAY"; }
    std::string valueDescription() const override { return "whole numbers separated by commas"; }
    std::string toString() const override;  // "%d" joined by ","
    virtual int const* getIntArray() const { return bound_ ? bound_ : values_.data(); }

  private:
    std::vector<int> values_;
    int* bound_;
};

class FloatArrayOption : public Option {
  public:
    FloatArrayOption(char const* name, char const* defaultValue, char const* usage,
                     char const& cmdLineChar, int const& n, float* bound = nullptr);
    FloatArrayOption(std::string const& name, std::string const& defaultValue,
                     std::string const& usage, char const& cmdLineChar, int const& n,
                     float* bound = nullptr);
    void setValue(std::string const& text) override;
    std::string getTypeName() const override { return "FLOATARRAY"; }
    std::string valueDescription() const override { return "numbers separated by commas"; }
    std::string toString() const override;  // "%g" joined by ","
    virtual float const* getFloatArray() const { return bound_ ? bound_ : values_.data(); }

  private:
    std::vector<float> values_;
    float* bound_;
};

class DoubleArrayOption : public Option {
  public:
    DoubleArrayOption(char const* name, char const* defaultValue, char const* usage,
                      char const& cmdLineChar, int const& n, double* bound = nullptr);
    DoubleArrayOption(std::string const& name, std::string const& defaultValue,
                      std::string const& usage, char const& cmdLineChar, int const& n,
                      double* bound = nullptr);
    void setValue(std::string const& text) override;
    std::string getTypeName() const override { return "DOUBLEARRAY"; }
    std::string valueDescription() const override { return "numbers separated by commas"; }
    std::string toString() const override;  // "%g" joined by ","
    virtual double const* getDoubleArray() const { return bound_ ? bound_ : values_.data(); }

  private:
    std::vector<double> values_;
    double* bound_;
};

class StringArrayOption : public Option {
  public:
    StringArrayOption(char const* name, char const* defaultValue, char const* usage,
                      char const& cmdLineChar, int const& n, std::string* bound = nullptr);
    StringArrayOption(std::string const& name, std::string const& defaultValue,
                      std::string const& usage, char const& cmdLineChar, int const& n,
                      std::string* bound = nullptr);
    void setValue(std::string const& text) override;
    std::string getTypeName() const override { return "STRINGARRAY"; }
    std::string toString() const override;  // elements joined by ","
    virtual std::string const* getStringArray() const { return bound_ ? bound_ : values_.data(); }

  private:
    std::vector<std::string> values_;
    std::string* bound_;
};

// One util::Region of N dimensions. The value text holds one "start:end" pair
// per dimension, pairs separated by ","; each number is read with strtol base 10
// (a missing end reads as 0), and the smaller of the two becomes the start.
// More than N pairs throw "Too many elements in RegionArrayOption <name>! (it
// takes at most N start:end pairs)". Valid: every pair is two whole numbers.
class RegionArrayOption : public Option {
  public:
    RegionArrayOption(char const* name, char const* defaultValue, char const* usage,
                      char const& cmdLineChar, int const& n, Region* bound = nullptr);
    RegionArrayOption(std::string const& name, std::string const& defaultValue,
                      std::string const& usage, char const& cmdLineChar, int const& n,
                      Region* bound = nullptr);
    void setValue(std::string const& text) override;
    std::string getTypeName() const override { return "REGIONARRAY"; }
    std::string valueDescription() const override {
        return "start:end pairs of whole numbers separated by commas";
    }
    std::string toString() const override;  // "%d:%d" per dimension joined by ","
    virtual Region const* getRegionArray() const { return bound_ ? bound_ : &region_; }

  private:
    Region region_;
    Region* bound_;
};

}  // namespace util
