#include "util/number_text.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace util {

bool textToDouble(std::string const& text, double& value) {
    char const* const begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    double const v = std::strtod(begin, &end);
    if (end == begin || end != begin + text.size() || errno == ERANGE || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

bool textToLong(std::string const& text, long& value) {
    char const* const begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    long const v = std::strtol(begin, &end, 10);
    if (end == begin || end != begin + text.size() || errno == ERANGE) return false;
    value = v;
    return true;
}

bool textToInt(std::string const& text, int& value) {
    long v = 0;
    if (!textToLong(text, v) || v < INT_MIN || v > INT_MAX) return false;
    value = static_cast<int>(v);
    return true;
}

}  // namespace util
