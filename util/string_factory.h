// util::StringFactory: fixed-width decimal formatting of integers, used in
// FITS header messages. A value wider than the width is an error.
#pragma once

#include <string>

namespace util {

class StringFactory {
  public:
    // value right-aligned in width characters, padded with blanks on the left;
    // throws StringException when its decimal text is longer than width.
    static std::string toString(int value, int width);
};

}  // namespace util
