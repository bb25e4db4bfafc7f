// Conversion of the fields of a plain-text table (sci::AscFile) to numbers,
// exactly as strtod and strtol read them, without the copy to a NUL-terminated
// string for the common plain decimal forms. A field is the bytes [begin, end)
// (NUL bytes included: a number ends at one). No units.
#pragma once

namespace sci {

// The value strtod gives for the text [begin, end) (read as if it ended with a
// NUL there). Decimal numbers take a fast exact path; everything else
// (leading '+' or white space, hex, inf, nan, out-of-range values, ...) goes
// through strtod itself. Assumes the C locale and the default rounding mode.
double fieldToDouble(char const* begin, char const* end);

// The value strtod gives for the text [begin, end) when it reads the whole
// text as a number (inf and nan included); NaN for text of which it reads
// only a part or nothing ("INDEF", "--", "5x", "1.5D3"). Empty text reads 0.
// The same fast paths as fieldToDouble.
double fieldToNumber(char const* begin, char const* end);

// The value strtol(text, nullptr, 10) gives for the text [begin, end) (read as
// if it ended with a NUL there), clamped to LONG_MIN..LONG_MAX like strtol.
long fieldToLong(char const* begin, char const* end);

// fieldToLong clamped to INT_MIN..INT_MAX.
int fieldToInt(char const* begin, char const* end);

}  // namespace sci
