#include "util/option.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/messages.h"
#include "util/exception.h"
#include "util/region.h"

using namespace util;

namespace {

template <class Call>
std::string messageOf(Call call) {
    return testsupport::messageOf<UException>(call);
}

}  // namespace

// Defaults reach the bound variables at construction; values set later and
// changes of the bound variable show in getters and listings.
TEST(Option, ScalarsParseDefaultsAndWriteThrough) {
    int i = -1, b = 0;
    float f = -1;
    double d = -1;
    std::string s = "unset";
    IntOption io("number", "12", "usage", 'n', &i);
    FloatOption fo("scale", "0.25", "usage", 's', &f);
    DoubleOption dop("thresh", "0.90", "usage", 't', &d);
    StringOption so("output", "selected.tbl", "usage", 'o', &s);
    IntOption byString(std::string("border"), std::string("3"), std::string("border size"), 'b',
                       &b);
    EXPECT_EQ(std::make_tuple(i, f, d, s, b), std::make_tuple(12, 0.25f, 0.9, "selected.tbl", 3));
    EXPECT_EQ(io.toString() + " " + fo.toString() + " " + dop.toString() + " " + so.toString(),
              "12 0.25 0.9 selected.tbl");
    EXPECT_EQ(byString.getUsage(), "border size");
    EXPECT_EQ(byString.getCmdLineChar(), 'b');

    io.setValue("-5");
    dop.setValue("-.5");
    so.setValue("a b");
    EXPECT_EQ(std::make_tuple(i, io.getInt(), d, dop.getDouble(), s, so.getString()),
              std::make_tuple(-5, -5, -0.5, -0.5, "a b", "a b"));
    i = 77;
    EXPECT_EQ(io.getInt(), 77);
    EXPECT_EQ(io.toString(), "77");
    // Text that is not a number reads as 0, or as its leading numeric part; whole
    // numbers beyond int are held at the ends of its range, not wrapped.
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
    EXPECT_FALSE(flag);
    EXPECT_EQ(b.toString(), "FALSE");
    for (char const* word : {"FALSE", "false", "NO", "no", "F", "f", "N", "n", "0"}) {
        b.setValue("TRUE");
        b.setValue(word);
        EXPECT_FALSE(flag) << word;
    }
    for (char const* word : {"", "TRUE", "yes", "Off", "nope", "00"}) {
        b.setValue("false");
        b.setValue(word);
        EXPECT_TRUE(flag) << "'" << word << "'";
    }
    b.setValue("false");
    b.setValue("toggle");
    EXPECT_TRUE(flag);
    EXPECT_EQ(b.toString(), "TRUE");
    b.setValue("toggle");
    EXPECT_FALSE(flag);
    EXPECT_TRUE(BoolOption("on", "", "", 0).getBool());
}

// Only the given elements reach the bound slots; later ones are untouched.
TEST(ArrayOption, PartialFillKeepsLaterElements) {
    int n[3] = {-1, -1, -1};
    IntArrayOption io(std::string("grid"), std::string("1,1"), std::string(""), 0, 3, n);
    EXPECT_EQ(io.toString(), "1,1,-1");
    io.setValue("5");
    EXPECT_EQ(io.toString(), "5,1,-1");
    EXPECT_EQ(n[0], 5);
    EXPECT_EQ(io.getIntArray(), n);

    DoubleArrayOption dopt("scales", "0.5,2.5", "", 0, 2);
    dopt.setValue(",-1e3");  // an empty element reads as 0
    EXPECT_EQ(dopt.getDoubleArray()[0], 0.0);
    EXPECT_EQ(dopt.getDoubleArray()[1], -1000.0);
    EXPECT_EQ(dopt.toString(), "0,-1000");

    float f[2] = {0, 0};
    FloatArrayOption fo("f", "0.25", "", 0, 2, f);
    EXPECT_EQ(fo.toString(), "0.25,0");
    EXPECT_EQ(fo.getFloatArray(), f);

    StringArrayOption so("names", "a b,c", "", 0, 3);
    EXPECT_EQ(so.getStringArray()[0], "a b");
    EXPECT_EQ(so.getStringArray()[1], "c");
    EXPECT_EQ(so.toString(), "a b,c,");
    EXPECT_EQ(io.getTypeName() + fo.getTypeName() + dopt.getTypeName() + so.getTypeName(),
              "INTARRAYFLOATARRAYDOUBLEARRAYSTRINGARRAY");
}

TEST(ArrayOption, TooManyElementsThrowAfterStoringTheFirst) {
    int n[2] = {0, 0};
    IntArrayOption io("nfields", "1,1", "", 0, 2, n);
    EXPECT_EQ(messageOf([&] { io.setValue("7,8,9"); }),
              "Too many elements in IntArrayOption nfields! (it takes at most 2 values)");
    EXPECT_EQ(n[0], 7);
    EXPECT_EQ(n[1], 8);

    FloatArrayOption fo("fa", "", "", 0, 1);
    DoubleArrayOption dopt("da", "", "", 0, 1);
    StringArrayOption so("sa", "", "", 0, 1);
    RegionArrayOption ro("ra", "", "", 0, 1);
    for (auto const& c :
         {std::tuple<Option*, char const*, char const*>{
              &fo, "1,2", "Too many elements in FloatArrayOption fa! (it takes at most 1 value)"},
          {&dopt, "1,2", "Too many elements in DoubleArrayOption da! (it takes at most 1 value)"},
          {&so, "1,2", "Too many elements in StringArrayOption sa! (it takes at most 1 value)"},
          {&ro, "1:2,3:4",
           "Too many elements in RegionArrayOption ra! (it takes at most 1 start:end pair)"}})
        EXPECT_EQ(messageOf([&] { std::get<0>(c)->setValue(std::get<1>(c)); }), std::get<2>(c));
    // A default with too many elements fails the construction itself.
    EXPECT_EQ(messageOf([] { IntArrayOption bad("bad", "1,2,3", "", 0, 2); }),
              "Too many elements in IntArrayOption bad! (it takes at most 2 values)");
}

// Each pair is ordered (the smaller number starts); a missing end reads as 0;
// a dimension not given keeps its range.
TEST(RegionArrayOption, PairsOrderedPerDimension) {
    Region bound(2);
    RegionArrayOption ro("section", "1:2048,4096:1", "", 's', 2, &bound);
    EXPECT_EQ(bound.toString(), "[1:2048,1:4096]");
    EXPECT_EQ(ro.toString(), "1:2048,1:4096");
    EXPECT_EQ(ro.getRegionArray(), &bound);
    EXPECT_EQ(ro.getTypeName(), "REGIONARRAY");
    ro.setValue("-5:3");
    EXPECT_EQ(ro.toString(), "-5:3,1:4096");
    ro.setValue("7");
    EXPECT_EQ(ro.toString(), "0:7,1:4096");
    EXPECT_EQ(RegionArrayOption("r", "3:4", "", 0, 1).getRegionArray()->getLength(), 2);
}

// Every option keeps its last value text and whether it read whole as a value
// of its kind; the value itself is the lenient reading all the same. Texts and
// flags are always valid, and so is every default here.
TEST(Option, RemembersWhetherTheLastTextWasANumber) {
    int i = 0;
    double d = 0;
    int grid[2] = {0, 0};
    IntOption io("number", "1", "", 'n', &i);
    DoubleOption dop("thresh", "0.90", "", 0, &d);
    FloatOption fo("scale", "1", "", 0);
    IntArrayOption ia("nfields", "1,1", "", 0, 2, grid);
    DoubleArrayOption da("scales", "1,1", "", 0, 2);
    RegionArrayOption ro("section", "1:2", "", 0, 2);
    StringOption so("output", "", "", 'o');
    BoolOption bo("mag", "false", "", 'm');
    struct Case {
        Option* option;
        char const* text;
        bool valid;
    };
    Case const cases[] = {
        {&io, " -12", true},        {&io, "5x", false},
        {&io, "five", false},       {&io, "", false},
        {&io, "2.5", false},        {&io, "5 ", false},
        {&io, "4294967297", false}, {&dop, "-.5e-3", true},
        {&dop, "0.5.", false},      {&dop, "nan", false},
        {&dop, "1e309", false},     {&fo, "inf", false},
        {&fo, "2", true},           {&ia, "3,4", true},
        {&ia, "3x3", false},        {&ia, "3,", false},
        {&ia, "7", true},           {&da, "0.5,x", false},
        {&ro, "1:2,-3:4", true},    {&ro, "5", false},
        {&ro, "1:x", false},        {&so, "", true},
        {&bo, "toggle", true},      {&bo, "maybe", true},
    };
    for (Option* o : std::initializer_list<Option*>{&io, &dop, &fo, &ia, &da, &ro, &so, &bo}) {
        EXPECT_TRUE(o->lastTextValid()) << o->getName();
        EXPECT_EQ(o->lastText(), o->getDefault());
        EXPECT_FALSE(o->given());
    }
    for (Case const& c : cases) {
        c.option->setValue(c.text);
        EXPECT_EQ(c.option->lastTextValid(), c.valid)
            << c.option->getName() << " '" << c.text << "'";
        EXPECT_EQ(c.option->lastText(), c.text);
    }
    io.setValue("5x");
    ia.setValue("1,7");
    ia.setValue("3x3");
    EXPECT_EQ(std::make_tuple(i, grid[0], grid[1]), std::make_tuple(5, 3, 7));
    EXPECT_EQ(io.valueDescription() + "; " + dop.valueDescription() + "; " + ia.valueDescription(),
              "a whole number; a number; whole numbers separated by commas");
}
