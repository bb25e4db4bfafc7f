#include "util/number_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A value the functions must leave alone when the text is not a number.
constexpr double kUntouched = -123.0;

// What reading text gives: the value, or nothing (a null result) when the
// text is not wholly a number.
template <class T, class Read>
std::string readOf(Read read, std::string const& text) {
    T value = static_cast<T>(kUntouched);
    if (!read(text, value)) {
        EXPECT_EQ(value, static_cast<T>(kUntouched)) << "changed on failure: '" << text << "'";
        return "none";
    }
    return std::to_string(value);
}

TEST(NumberText, TheWholeTextIsOneNumberAfterOptionalLeadingWhiteSpace) {
    auto const d = [](std::string const& t) { return readOf<double>(util::textToDouble, t); };
    EXPECT_EQ(d("2.5"), "2.500000");
    EXPECT_EQ(d(" \t-7e2"), "-700.000000");  // leading white space is skipped
    EXPECT_EQ(d("0x10"), "16.000000");       // strtod's hexadecimal form
    for (std::string const bad : {"", " ", "7 ", "4x", "1e999", "-1e999", "1e-320", "inf", "nan"})
        EXPECT_EQ(d(bad), "none") << "'" << bad << "'";
    EXPECT_EQ(d(std::string("5\0x", 3)), "none");  // a NUL byte does not end the text

    auto const l = [](std::string const& t) { return readOf<long>(util::textToLong, t); };
    EXPECT_EQ(l(" +42"), "42");
    EXPECT_EQ(l("-9223372036854775808"), "-9223372036854775808");
    for (std::string const bad : {"", "4.0", "1e3", "0x10", "9223372036854775808", "12 "})
        EXPECT_EQ(l(bad), "none") << "'" << bad << "'";

    auto const i = [](std::string const& t) { return readOf<int>(util::textToInt, t); };
    EXPECT_EQ(i("2147483647"), "2147483647");
    EXPECT_EQ(i("-2147483648"), "-2147483648");
    for (std::string const bad : {"2147483648", "-2147483649", "x"})
        EXPECT_EQ(i(bad), "none") << "'" << bad << "'";
}

}  // namespace
