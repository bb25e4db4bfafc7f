#include "util/option.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "util/exception.h"
#include "util/number_text.h"

namespace util {

namespace {

// Capacity of an array option as a slot count; a capacity below 1 gives no
// slots, so every value text (the default too) throws the too-many message.
std::size_t slotCount(int n) {
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

// Number text as the program reads it everywhere: strtol base 10 and strtod
// without error checks, so text that is not a number reads as 0. A whole
// number beyond the range of int is held at the nearest end of that range
// (as strtol does for long) rather than wrapped: -n 4294967297 must not mean 1.
int readInt(std::string const& text) {
    long const value = std::strtol(text.c_str(), nullptr, 10);
    return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}
double readDouble(std::string const& text) {
    return std::strtod(text.c_str(), nullptr);
}

// Whether a text reads whole as one number of the kind (util/number_text.h).
bool isInt(std::string const& text) {
    int value = 0;
    return textToInt(text, value);
}
bool isDouble(std::string const& text) {
    double value = 0;
    return textToDouble(text, value);
}

std::string formatInt(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    return text;
}

std::string formatDouble(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// "Too many elements in <className> <name>! (it takes at most <n> <unit>s)".
UException tooManyElements(char const* className, std::string const& name, int n,
                           char const* unit) {
    return UException(std::string("Too many elements in ") + className + " " + name +
                      "! (it takes at most " + std::to_string(n) + " " + unit +
                      (n == 1 ? "" : "s") + ")");
}

// Splits a comma list and hands element i (0-based) with its text to store,
// which tells whether the element read whole; returns whether all did. The
// capacity test comes before each element, so with n slots the (n+1)-th
// element throws after the first n have been stored. unit names an element in
// the message ("value").
template <class Store>
bool forEachElement(std::string const& text, int n, char const* className, std::string const& name,
                    char const* unit, Store store) {
    std::string rest = text;
    bool valid = true;
    for (int i = 0;; ++i) {
        if (i >= n) throw tooManyElements(className, name, n, unit);
        std::size_t const comma = rest.find(',');
        valid = store(static_cast<std::size_t>(i), rest.substr(0, comma)) && valid;
        if (comma == std::string::npos) return valid;
        rest.erase(0, comma + 1);
    }
}

// Elements formatted one by one and joined by ",".
template <class T, class Format>
std::string joinElements(T const* values, std::size_t n, Format format) {
    std::string text;
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0) text += ",";
        text += format(values[i]);
    }
    return text;
}

}  // namespace

Option::Option(std::string name, std::string defaultValue, std::string usage, char cmdLineChar)
    : name_(std::move(name)),
      default_(std::move(defaultValue)),
      usage_(std::move(usage)),
      cmdLineChar_(cmdLineChar) {}

void Option::recordText_(std::string const& text, bool valid) {
    lastText_ = text;
    lastTextValid_ = valid;
}

// ---- IntOption

IntOption::IntOption(char const* name, char const* defaultValue, char const* usage,
                     char cmdLineChar, int* bound)
    : IntOption(std::string(name), std::string(defaultValue), std::string(usage), cmdLineChar,
                bound) {}

IntOption::IntOption(std::string const& name, std::string const& defaultValue,
                     std::string const& usage, char cmdLineChar, int* bound)
    : Option(name, defaultValue, usage, cmdLineChar), bound_(bound) {
    IntOption::setValue(defaultValue);
}

void IntOption::setValue(std::string const& text) {
    recordText_(text, isInt(text));
    value_ = readInt(text);
    if (bound_) *bound_ = value_;
}

std::string IntOption::toString() const {
    return formatInt(getInt());
}

// ---- FloatOption

FloatOption::FloatOption(char const* name, char const* defaultValue, char const* usage,
                         char cmdLineChar, float* bound)
    : FloatOption(std::string(name), std::string(defaultValue), std::string(usage), cmdLineChar,
                  bound) {}

FloatOption::FloatOption(std::string const& name, std::string const& defaultValue,
                         std::string const& usage, char cmdLineChar, float* bound)
    : Option(name, defaultValue, usage, cmdLineChar), bound_(bound) {
    FloatOption::setValue(defaultValue);
}

void FloatOption::setValue(std::string const& text) {
    recordText_(text, isDouble(text));
    value_ = static_cast<float>(readDouble(text));
    if (bound_) *bound_ = value_;
}

std::string FloatOption::toString() const {
    return formatDouble(getFloat());
}

// ---- DoubleOption

DoubleOption::DoubleOption(char const* name, char const* defaultValue, char const* usage,
                           char cmdLineChar, double* bound)
    : DoubleOption(std::string(name), std::string(defaultValue), std::string(usage), cmdLineChar,
                   bound) {}

DoubleOption::DoubleOption(std::string const& name, std::string const& defaultValue,
                           std::string const& usage, char cmdLineChar, double* bound)
    : Option(name, defaultValue, usage, cmdLineChar), bound_(bound) {
    DoubleOption::setValue(defaultValue);
}

void DoubleOption::setValue(std::string const& text) {
    recordText_(text, isDouble(text));
    value_ = readDouble(text);
    if (bound_) *bound_ = value_;
}

std::string DoubleOption::toString() const {
    return formatDouble(getDouble());
}

// ---- BoolOption

BoolOption::BoolOption(char const* name, char const* defaultValue, char const* usage,
                       char cmdLineChar, bool* bound)
    : BoolOption(std::string(name), std::string(defaultValue), std::string(usage), cmdLineChar,
                 bound) {}

BoolOption::BoolOption(std::string const& name, std::string const& defaultValue,
                       std::string const& usage, char cmdLineChar, bool* bound)
    : Option(name, defaultValue, usage, cmdLineChar), bound_(bound) {
    BoolOption::setValue(defaultValue);
}

void BoolOption::setValue(std::string const& text) {
    static char const* const kFalseWords[] = {"FALSE", "false", "NO", "no", "F",
                                              "f",     "N",     "n",  "0"};
    recordText_(text, true);
    if (text == "toggle") {
        value_ = !value_;
    } else {
        value_ = true;
        for (char const* word : kFalseWords)
            if (text == word) value_ = false;
    }
    if (bound_) *bound_ = value_;
}

std::string BoolOption::toString() const {
    return getBool() ? "TRUE" : "FALSE";
}

// ---- StringOption

StringOption::StringOption(char const* name, char const* defaultValue, char const* usage,
                           char cmdLineChar, std::string* bound)
    : StringOption(std::string(name), std::string(defaultValue), std::string(usage), cmdLineChar,
                   bound) {}

StringOption::StringOption(std::string const& name, std::string const& defaultValue,
                           std::string const& usage, char cmdLineChar, std::string* bound)
    : Option(name, defaultValue, usage, cmdLineChar), bound_(bound) {
    StringOption::setValue(defaultValue);
}

void StringOption::setValue(std::string const& text) {
    recordText_(text, true);
    value_ = text;
    if (bound_) *bound_ = value_;
}

// ---- IntArrayOption

IntArrayOption::IntArrayOption(char const* name, char const* defaultValue, char const* usage,
                               char const& cmdLineChar, int const& n, int* bound)
    : IntArrayOption(std::string(name), std::string(defaultValue), std::string(usage), cmdLineChar,
                     n, bound) {}

IntArrayOption::IntArrayOption(std::string const& name, std::string const& defaultValue,
                               std::string const& usage, char const& cmdLineChar, int const& n,
                               int* bound)
    : Option(name, defaultValue, usage, cmdLineChar), values_(slotCount(n)), bound_(bound) {
    IntArrayOption::setValue(defaultValue);
}

void IntArrayOption::setValue(std::string const& text) {
    bool const valid =
        forEachElement(text, static_cast<int>(values_.size()), "IntArrayOption", getName(), "value",
                       [this](std::size_t i, std::string const& element) {
                           values_[i] = readInt(element);
                           if (bound_) bound_[i] = values_[i];
                           return isInt(element);
                       });
    recordText_(text, valid);
}

std::string IntArrayOption::toString() const {
    return joinElements(getIntArray(), values_.size(), formatInt);
}

// ---- FloatArrayOption

FloatArrayOption::FloatArrayOption(char const* name, char const* defaultValue, char const* usage,
                                   char const& cmdLineChar, int const& n, float* bound)
    : FloatArrayOption(std::string(name), std::string(defaultValue), std::string(usage),
                       cmdLineChar, n, bound) {}

FloatArrayOption::FloatArrayOption(std::string const& name, std::string const& defaultValue,
                                   std::string const& usage, char const& cmdLineChar, int const& n,
                                   float* bound)
    : Option(name, defaultValue, usage, cmdLineChar), values_(slotCount(n)), bound_(bound) {
    FloatArrayOption::setValue(defaultValue);
}

void FloatArrayOption::setValue(std::string const& text) {
    bool const valid =
        forEachElement(text, static_cast<int>(values_.size()), "FloatArrayOption", getName(),
                       "value", [this](std::size_t i, std::string const& element) {
                           values_[i] = static_cast<float>(readDouble(element));
                           if (bound_) bound_[i] = values_[i];
                           return isDouble(element);
                       });
    recordText_(text, valid);
}

std::string FloatArrayOption::toString() const {
    return joinElements(getFloatArray(), values_.size(), formatDouble);
}

// ---- DoubleArrayOption

DoubleArrayOption::DoubleArrayOption(char const* name, char const* defaultValue, char const* usage,
                                     char const& cmdLineChar, int const& n, double* bound)
    : DoubleArrayOption(std::string(name), std::string(defaultValue), std::string(usage),
                        cmdLineChar, n, bound) {}

DoubleArrayOption::DoubleArrayOption(std::string const& name, std::string const& defaultValue,
                                     std::string const& usage, char const& cmdLineChar,
                                     int const& n, double* bound)
    : Option(name, defaultValue, usage, cmdLineChar), values_(slotCount(n)), bound_(bound) {
    DoubleArrayOption::setValue(defaultValue);
}

void DoubleArrayOption::setValue(std::string const& text) {
    bool const valid =
        forEachElement(text, static_cast<int>(values_.size()), "DoubleArrayOption", getName(),
                       "value", [this](std::size_t i, std::string const& element) {
                           values_[i] = readDouble(element);
                           if (bound_) bound_[i] = values_[i];
                           return isDouble(element);
                       });
    recordText_(text, valid);
}

std::string DoubleArrayOption::toString() const {
    return joinElements(getDoubleArray(), values_.size(), formatDouble);
}

// ---- StringArrayOption

StringArrayOption::StringArrayOption(char const* name, char const* defaultValue, char const* usage,
                                     char const& cmdLineChar, int const& n, std::string* bound)
    : StringArrayOption(std::string(name), std::string(defaultValue), std::string(usage),
                        cmdLineChar, n, bound) {}

StringArrayOption::StringArrayOption(std::string const& name, std::string const& defaultValue,
                                     std::string const& usage, char const& cmdLineChar,
                                     int const& n, std::string* bound)
    : Option(name, defaultValue, usage, cmdLineChar), values_(slotCount(n)), bound_(bound) {
    StringArrayOption::setValue(defaultValue);
}

void StringArrayOption::setValue(std::string const& text) {
    bool const valid =
        forEachElement(text, static_cast<int>(values_.size()), "StringArrayOption", getName(),
                       "value", [this](std::size_t i, std::string const& element) {
                           values_[i] = element;
                           if (bound_) bound_[i] = values_[i];
                           return true;
                       });
    recordText_(text, valid);
}

std::string StringArrayOption::toString() const {
    return joinElements(getStringArray(), values_.size(),
                        [](std::string const& element) { return element; });
}

// ---- RegionArrayOption

RegionArrayOption::RegionArrayOption(char const* name, char const* defaultValue, char const* usage,
                                     char const& cmdLineChar, int const& n, Region* bound)
    : RegionArrayOption(std::string(name), std::string(defaultValue), std::string(usage),
                        cmdLineChar, n, bound) {}

RegionArrayOption::RegionArrayOption(std::string const& name, std::string const& defaultValue,
                                     std::string const& usage, char const& cmdLineChar,
                                     int const& n, Region* bound)
    : Option(name, defaultValue, usage, cmdLineChar), region_(slotCount(n)), bound_(bound) {
    RegionArrayOption::setValue(defaultValue);
}

void RegionArrayOption::setValue(std::string const& text) {
    bool const valid = forEachElement(
        text, static_cast<int>(region_.dimensions()), "RegionArrayOption", getName(),
        "start:end pair", [this](std::size_t i, std::string const& pair) {
            std::size_t const colon = pair.find(':');
            int const a = readInt(pair);  // strtol stops at the colon
            int const b = colon == std::string::npos ? 0 : readInt(pair.substr(colon + 1));
            int const start = a < b ? a : b;
            int const end = a < b ? b : a;
            region_.setRange(i + 1, start, end);
            if (bound_) bound_->setRange(i + 1, start, end);
            return colon != std::string::npos && isInt(pair.substr(0, colon)) &&
                   isInt(pair.substr(colon + 1));
        });
    recordText_(text, valid);
}

std::string RegionArrayOption::toString() const {
    Region const& region = *getRegionArray();
    std::string text;
    char pair[32];
    for (unsigned long d = 1; d <= region.dimensions(); ++d) {
        std::snprintf(pair, sizeof pair, "%d:%d", region.getStart(d), region.getEnd(d));
        if (d > 1) text += ",";
        text += pair;
    }
    return text;
}

}  // namespace util
