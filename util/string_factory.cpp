#include "util/string_factory.h"

#include "util/exception.h"

namespace util {

std::string StringFactory::toString(int value, int width) {
    std::string const digits = std::to_string(value);
    if (static_cast<long>(digits.size()) > width)
        throw StringException("StringFactory: " + digits +
                              " is too wide\ncannot create string with preset width.");
    return std::string(static_cast<size_t>(width) - digits.size(), ' ') + digits;
}

}  // namespace util
