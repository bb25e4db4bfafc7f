// Strict reading of numbers from text, for option values and table fields:
// the whole text must be one number. No arrays; values are taken as written
// (no units).
//
// The same policy for every function: leading white space (the C-locale
// isspace set) is skipped, as strtod and strtol do; anything after the number,
// white space and NUL bytes included, makes the text not a number. An empty
// text is not a number. On false the value is left as it was.
#pragma once

#include <string>

namespace util {

// The text as strtod reads it in the C locale (decimal or hexadecimal
// floating point). False when the value is not finite (inf, nan) or out of
// range (strtod reports ERANGE: overflow, or an underflow to a subnormal or
// zero result).
bool textToDouble(std::string const& text, double& value);

// The text as strtol reads it in base 10 ("[+-]digits"). False when the value
// lies outside LONG_MIN..LONG_MAX.
bool textToLong(std::string const& text, long& value);

// textToLong, and false when the value lies outside INT_MIN..INT_MAX.
bool textToInt(std::string const& text, int& value);

}  // namespace util
