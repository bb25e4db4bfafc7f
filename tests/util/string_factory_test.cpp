#include "util/string_factory.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "tests/support/messages.h"
#include "util/exception.h"

using util::StringFactory;

TEST(StringFactory, PadsOnTheLeftOrThrowsWhenTooWide) {
    EXPECT_EQ(StringFactory::toString(7, 4), "   7");
    EXPECT_EQ(StringFactory::toString(-12, 4), " -12");
    EXPECT_EQ(StringFactory::toString(1234, 4), "1234");  // exactly the width: no padding
    EXPECT_EQ(StringFactory::toString(0, 1), "0");
    EXPECT_EQ(StringFactory::toString(INT_MIN, 11), "-2147483648");
    // Too wide: value, width, the decimal text named by the message.
    struct Case {
        int value, width;
        char const* text;
    };
    for (Case const c : {Case{12345, 4, "12345"}, {-1, 1, "-1"}, {5, 0, "5"}, {5, -3, "5"}})
        EXPECT_EQ(testsupport::messageOf<util::StringException>(
                      [&] { StringFactory::toString(c.value, c.width); }),
                  std::string("StringFactory: ") + c.text +
                      " is too wide\ncannot create string with preset width.");
}
