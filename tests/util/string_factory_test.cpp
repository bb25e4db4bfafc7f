#include "util/string_factory.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "tests/support/messages.h"
#include "util/exception.h"

using util::StringFactory;

TEST(StringFactory, PadsOnTheLeftOrThrowsWhenTooWide) {
    EXPECT_EQ(StringFactory::toString(-12, 4), " -12");
    EXPECT_EQ(StringFactory::toString(1234, 4), "1234");  // exactly the width: no padding
    EXPECT_EQ(StringFactory::toString(INT_MIN, 11), "-2147483648");
    for (int const width : {4, 0})
        EXPECT_EQ(testsupport::messageOf<util::StringException>(
                      [&] { StringFactory::toString(12345, width); }),
                  "StringFactory: 12345 is too wide\ncannot create string with preset width.");
}
