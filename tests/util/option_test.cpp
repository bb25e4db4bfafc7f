#include "util/option.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "tests/support/messages.h"
#include "util/exception.h"
#include "util/region.h"

using testsupport::messageOf;
using namespace util;

// Defaults reach the bound variables at construction; values set later and
// changes of the bound variable show in getters and texts. Text that is not a
// number reads as its leading numeric part (or 0); whole numbers beyond int
// are held at the ends of its range, not wrapped.
TEST(Option, ScalarsParseDefaultsAndWriteThrough) {
    int i = -1;
    float f = -1;
    double d = -1;
    std::string s = "unset";
    IntOption io("number", "12", "usage", 'n', &i);
    FloatOption fo("scale", "0.25", "usage", 's', &f);
    DoubleOption dop(std::string("thresh"), std::string("0.90"), std::string("usage"), 't', &d);
    StringOption so("output", "selected.tbl", "usage", 'o', &s);
    EXPECT_EQ(std::make_tuple(i, f, d, s), std::make_tuple(12, 0.25f, 0.9, "selected.tbl"));
    EXPECT_EQ(io.toString() + " " + fo.toString() + " " + dop.toString() + " " + so.toString(),
              "12 0.25 0.9 selected.tbl");
    dop.setValue("-.5");
    so.setValue("a b");
    EXPECT_EQ(std::make_tuple(d, dop.getDouble(), s), std::make_tuple(-0.5, -0.5, "a b"));
    i = 77;
    EXPECT_EQ(std::make_tuple(io.getInt(), io.toString()), std::make_tuple(77, "77"));
    for (auto [text, value] : {std::pair{"abc", 0},
                               {"3.7x", 3},
                               {"4294967297", 2147483647},
                               {"-99999999999999999999", -2147483647 - 1}}) {
        io.setValue(text);
        EXPECT_EQ(i, value) << text;
    }
}

TEST(BoolOption, FalseWordsToggleAndEverythingElse) {
    bool flag = true;
    BoolOption b("mag", "false", "mag", 'm', &flag);
    EXPECT_EQ(std::make_tuple(flag, b.toString()), std::make_tuple(false, "FALSE"));
    for (char const* word : {"FALSE", "false", "NO", "no", "F", "f", "N", "n", "0"}) {
        b.setValue("TRUE");
        b.setValue(word);
        EXPECT_FALSE(flag) << word;
    }
    for (char const* word : {"", "TRUE", "yes", "Off", "00", "toggle"}) {
        b.setValue("false");
        b.setValue(word);
        EXPECT_TRUE(flag) << "'" << word << "'";
    }
    EXPECT_EQ(b.toString(), "TRUE");
    b.setValue("toggle");
    EXPECT_FALSE(flag);
}

// Only the given elements reach the slots; an empty element reads as 0; one
// element too many throws after the slots before it are written.
TEST(ArrayOption, PartialFillAndTooManyElements) {
    int n[3] = {-1, -1, -1};
    IntArrayOption io(std::string("grid"), std::string("1,1"), std::string(""), 0, 3, n);
    io.setValue("5");
    EXPECT_EQ(io.toString(), "5,1,-1");
    DoubleArrayOption dopt("scales", "0.5,2.5", "", 0, 2);
    dopt.setValue(",-1e3");
    EXPECT_EQ(dopt.toString(), "0,-1000");

    EXPECT_EQ(messageOf<UException>([&] { io.setValue("7,8,9,10"); }),
              "Too many elements in IntArrayOption grid! (it takes at most 3 values)");
    EXPECT_EQ(std::make_tuple(n[0], n[1], n[2]), std::make_tuple(7, 8, 9));
    FloatArrayOption one("fa", "", "", 0, 1);
    RegionArrayOption ro("ra", "", "", 0, 1);
    EXPECT_EQ(messageOf<UException>([&] { one.setValue("1,2"); }),
              "Too many elements in FloatArrayOption fa! (it takes at most 1 value)");
    EXPECT_EQ(messageOf<UException>([&] { ro.setValue("1:2,3:4"); }),
              "Too many elements in RegionArrayOption ra! (it takes at most 1 start:end pair)");
}

// Each pair is ordered (the smaller number starts); a dimension not given
// keeps its range.
TEST(RegionArrayOption, PairsOrderedPerDimension) {
    Region bound(2);
    RegionArrayOption ro("section", "1:2048,4096:1", "", 's', 2, &bound);
    EXPECT_EQ(bound.toString(), "[1:2048,1:4096]");
    ro.setValue("-5:3");
    EXPECT_EQ(ro.toString(), "-5:3,1:4096");
    // A length beyond int: INT_MIN to INT_MAX holds 2^32 pixels.
    ro.setValue("-2147483648:2147483647");
    EXPECT_EQ(bound.getLength(1), 4294967296L);
}
