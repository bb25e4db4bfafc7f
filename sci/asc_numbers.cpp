#include "sci/asc_numbers.h"

#include <cfloat>
#include <charconv>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <system_error>

namespace sci {

namespace {

// Fields no longer than this are copied to the stack for strtod/strtol.
constexpr size_t kShortField = 64;

// Longest digit run that cannot overflow a long: 10^18 - 1 < 2^63 - 1.
constexpr int kSafeLongDigits = 18;

inline bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Calls f with a NUL-terminated copy of [begin, end).
template <class F>
auto withTerminatedCopy(char const* begin, char const* end, F f) {
    size_t const n = static_cast<size_t>(end - begin);
    if (n < kShortField) {
        char text[kShortField];
        std::memcpy(text, begin, n);
        text[n] = '\0';
        return f(text);
    }
    std::string const text(begin, end);
    return f(text.c_str());
}

// The exact powers 10^0 .. 10^22 (10^22 < 2^53 * 2^22 is the largest power
// of ten a double holds exactly).
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kMaxExactPower = 22;
constexpr uint64_t kMaxExactMantissa = uint64_t(1) << 53;
// Digits kept in the mantissa; 19 digits cannot overflow 64 bits.
constexpr int kMaxMantissaDigits = 19;
// Exponent digits read here (longer exponents take the slower paths).
constexpr int kMaxExponentDigits = 4;

// Reads the whole text [begin, end) as "[-]digits[.digits][(e|E)[+-]digits]"
// when the decimal value is m * 10^e with an integer m <= 2^53 and
// |e| <= 22. Then m and 10^|e| are exact doubles and one IEEE multiplication
// or division rounds m * 10^e correctly:
//   value = m * 10^e  (e >= 0),   value = m / 10^-e  (e < 0),
// which is the correctly rounded value strtod returns. False otherwise.
// Needs arithmetic in double precision without excess precision.
inline bool shortDecimal(char const* begin, char const* end, double& value) {
#if FLT_EVAL_METHOD == 0
    char const* p = begin;
    bool const negative = p != end && *p == '-';
    if (negative) ++p;
    uint64_t mantissa = 0;
    int digits = 0;
    int fractionDigits = 0;
    for (; p != end && isDigit(*p); ++p, ++digits) {
        if (digits == kMaxMantissaDigits) return false;
        mantissa = 10 * mantissa + static_cast<uint64_t>(*p - '0');
    }
    if (p != end && *p == '.') {
        for (++p; p != end && isDigit(*p); ++p, ++digits, ++fractionDigits) {
            if (digits == kMaxMantissaDigits) return false;
            mantissa = 10 * mantissa + static_cast<uint64_t>(*p - '0');
        }
    }
    if (digits == 0) return false;
    int exponent = 0;
    if (p != end && (*p == 'e' || *p == 'E')) {
        ++p;
        bool const negativeExponent = p != end && *p == '-';
        if (p != end && (*p == '-' || *p == '+')) ++p;
        int exponentDigits = 0;
        for (; p != end && isDigit(*p); ++p, ++exponentDigits) {
            if (exponentDigits == kMaxExponentDigits) return false;
            exponent = 10 * exponent + (*p - '0');
        }
        if (exponentDigits == 0) return false;
        if (negativeExponent) exponent = -exponent;
    }
    if (p != end || mantissa > kMaxExactMantissa) return false;
    int const power = exponent - fractionDigits;
    if (power < -kMaxExactPower || power > kMaxExactPower) return false;
    double const m = static_cast<double>(mantissa);
    double const magnitude =
        power < 0 ? m / kExactPowersOfTen[-power] : m * kExactPowersOfTen[power];
    value = negative ? -magnitude : magnitude;
    return true;
#else
    (void)begin;
    (void)end;
    (void)value;
    return false;
#endif
}

int clampToInt(long value) {
    if (value < INT_MIN) return INT_MIN;
    if (value > INT_MAX) return INT_MAX;
    return static_cast<int>(value);
}

// Fast paths for text that is a whole plain decimal number: first the exact
// short form, then from_chars. Both round the decimal value correctly (to
// nearest), as strtod does, so they agree with it on such text; anything else
// (hex, inf, nan, '+', leading white space, trailing junk, overflow,
// underflow) is left to strtod. False when the text needs strtod.
bool wholeDecimal(char const* begin, char const* end, double& value) {
    if (shortDecimal(begin, end, value)) return true;
    if (begin == end) return false;
    char const c = *begin;
    bool const decimalStart =
        isDigit(c) || c == '.' ||
        (c == '-' && end - begin > 1 && (isDigit(begin[1]) || begin[1] == '.'));
    if (!decimalStart) return false;
    std::from_chars_result const r = std::from_chars(begin, end, value);
    return r.ec == std::errc() && r.ptr == end;
}

}  // namespace

double fieldToDouble(char const* begin, char const* end) {
    double value;
    if (wholeDecimal(begin, end, value)) return value;
    return withTerminatedCopy(begin, end,
                              [](char const* text) { return std::strtod(text, nullptr); });
}

double fieldToNumber(char const* begin, char const* end) {
    double value;
    if (wholeDecimal(begin, end, value)) return value;
    if (begin == end) return 0.0;
    size_t const n = static_cast<size_t>(end - begin);
    return withTerminatedCopy(begin, end, [n](char const* text) {
        char* stop = nullptr;
        double const v = std::strtod(text, &stop);
        return stop == text + n ? v : std::numeric_limits<double>::quiet_NaN();
    });
}

long fieldToLong(char const* begin, char const* end) {
    // Fast path: an optional '-' and up to kSafeLongDigits digits, followed by
    // anything that is not a digit; strtol reads exactly that number.
    char const* p = begin;
    bool const negative = p != end && *p == '-';
    if (negative) ++p;
    if (p != end && isDigit(*p)) {
        long value = 0;
        int digits = 0;
        while (p != end && isDigit(*p) && digits < kSafeLongDigits) {
            value = 10 * value + (*p - '0');
            ++p;
            ++digits;
        }
        if (p == end || !isDigit(*p)) return negative ? -value : value;
    }
    return withTerminatedCopy(begin, end,
                              [](char const* text) { return std::strtol(text, nullptr, 10); });
}

int fieldToInt(char const* begin, char const* end) {
    return clampToInt(fieldToLong(begin, end));
}

}  // namespace sci
