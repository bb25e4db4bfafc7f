#include "util/option_parser.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "tests/support/messages.h"
#include "tests/util/test_args.h"
#include "util/exception.h"
#include "util/option.h"
#include "util/option_reader.h"

using testsupport::Args;
using namespace util;

namespace {

// The message of the UException thrown by call, or "" when none is thrown.
template <class Call>
std::string messageOf(Call call) {
    return testsupport::messageOf<UException>(call);
}

// A parser with a small set of options bound to the fields of this fixture.
struct Options {
    int verbose = 0;
    double thresh = 0;
    bool mag = false;
    std::string input;
    int grid[2] = {0, 0};
    IntOption verboseOpt{"verbose", "0", "verbosity level", 'v', &verbose};
    DoubleOption threshOpt{"thresh", "0.5", "threshold", 0, &thresh};
    BoolOption magOpt{"mag", "false", "mag", 'm', &mag};
    StringOption inputOpt{"input", "", "input table", 'i', &input};
    IntArrayOption gridOpt{"grid", "1,1", "grid", 0, 2, grid};

    void registerOn(OptionParser& parser) {
        for (Option* o : {static_cast<Option*>(&verboseOpt), static_cast<Option*>(&threshOpt),
                          static_cast<Option*>(&magOpt), static_cast<Option*>(&inputOpt),
                          static_cast<Option*>(&gridOpt)})
            parser.addOption(o);
    }
    // Parses tokens; returns the exception message, "" on success.
    std::string parse(std::vector<std::string> tokens) {
        Args args(std::move(tokens));
        CommandLineReader reader(args.argc(), args.argv());
        OptionParser parser(&reader);
        registerOn(parser);
        return messageOf([&] { parser.parseOptions(); });
    }
};

std::string usageOf(OptionParser const& parser) {
    std::ostringstream text;
    parser.printUsage(text);
    return text.str();
}

std::string valueTableOf(OptionParser const& parser) {
    std::ostringstream text;
    text << parser;
    return text.str();
}

}  // namespace

TEST(OptionParser, ParsesEveryTokenForm) {
    Options o;
    EXPECT_EQ(o.parse({"-v", "3", "--thresh", "-.25", "-input", "cat.txt", "--m", "--grid", "4"}),
              "");
    EXPECT_EQ(o.verbose, 3);
    EXPECT_EQ(o.thresh, -0.25);
    EXPECT_EQ(o.input, "cat.txt");  // a long name after a single dash
    EXPECT_TRUE(o.mag);             // a short name after two dashes
    EXPECT_EQ(o.grid[0], 4);        // partial fill: the second element stays
    EXPECT_EQ(o.grid[1], 1);
}

TEST(OptionParser, LaterOccurrencesOverrideAndFlagsToggle) {
    Options o;
    EXPECT_EQ(o.parse({"-v", "1", "--verbose", "-5", "-m", "--mag"}), "");
    EXPECT_EQ(o.verbose, -5);
    EXPECT_FALSE(o.mag);  // toggled twice: back at its default
    EXPECT_EQ(o.parse({"-m", "-m", "-m"}), "");
    EXPECT_TRUE(o.mag);
}

TEST(OptionParser, ReportsUnknownAndMalformedOptions) {
    Options o;
    EXPECT_EQ(o.parse({"--nosuch"}), "Unknown long option 'nosuch' encountered!");
    EXPECT_EQ(o.parse({"-q"}), "Unknown short option 'q' encountered!");
    EXPECT_EQ(o.parse({"--q"}), "Unknown short option 'q' encountered!");
    EXPECT_EQ(o.parse({"-verbos", "1"}), "Unknown long option 'verbos' encountered!");
    EXPECT_EQ(o.parse({"-v", "-x"}), "Token '-x' does not seem like a valid value!");
    EXPECT_EQ(o.parse({"-v"}), "No more argument values left!");
    EXPECT_EQ(o.parse({"--"}), "Token '--' not an argument specifier!");
    EXPECT_EQ(o.parse({"--grid", "1,2,3"}), "Too many elements in IntArrayOption grid!");
    // Values parsed before the error stay.
    EXPECT_EQ(o.parse({"-v", "9", "--nosuch"}), "Unknown long option 'nosuch' encountered!");
    EXPECT_EQ(o.verbose, 9);
}

TEST(OptionParser, RejectsDuplicateNamesAndChars) {
    Options o;
    CommandLineReader reader(0, nullptr);
    OptionParser parser(&reader);
    o.registerOn(parser);

    IntOption sameName("verbose", "0", "again", 'w');
    EXPECT_EQ(messageOf([&] { parser.addOption(&sameName); }),
              "An option named verbose already exists!");
    int loud = 0;
    IntOption sameChar("loud", "4", "loudness", 'v', &loud);
    EXPECT_EQ(messageOf([&] { parser.addOption(&sameChar); }),
              "Command line char v is already in use!");

    // The first verbose keeps the name and the char; "loud" is known by its long
    // name only: it is in the value table but not in the usage text.
    EXPECT_EQ(valueTableOf(parser),
              "grid             |   |                        1,1 | 1,1\n"
              "input            | i |                            | \n"
              "loud             | v |                          4 | 4\n"
              "mag              | m |                      false | FALSE\n"
              "thresh           |   |                        0.5 | 0.5\n"
              "verbose          | v |                          0 | 0\n");
    EXPECT_EQ(usageOf(parser).find("loud"), std::string::npos);
    EXPECT_EQ(usageOf(parser).find("again"), std::string::npos);
}

TEST(OptionParser, ValueTableInNameOrderUsageInRegistrationOrder) {
    Options o;
    CommandLineReader reader(0, nullptr);
    OptionParser parser(&reader);
    o.registerOn(parser);
    o.verbose = 2;  // a change of the bound variable shows in the table

    EXPECT_EQ(valueTableOf(parser),
              "grid             |   |                        1,1 | 1,1\n"
              "input            | i |                            | \n"
              "mag              | m |                      false | FALSE\n"
              "thresh           |   |                        0.5 | 0.5\n"
              "verbose          | v |                          0 | 2\n");
    EXPECT_EQ(usageOf(parser),
              "    -v, --verbose <INT>                  [0]\n"
              "        verbosity level \n"
              "\n"
              "    --thresh <DOUBLE>                    [0.5]\n"
              "        threshold \n"
              "\n"
              "    -m, --mag <FLAG>                     [false]\n"
              "        mag \n"
              "\n"
              "    -i, --input <STRING>                 []\n"
              "        input table \n"
              "\n"
              "    --grid <INTARRAY>                    [1,1]\n"
              "        grid \n"
              "\n");
}

TEST(OptionParser, ValueTableIsByteWiseOrdered) {
    CommandLineReader reader(0, nullptr);
    OptionParser parser(&reader);
    IntOption lower("b", "0", "", 0), upper("B", "0", "", 0), under("_", "0", "", 0);
    parser.addOption(&lower);
    parser.addOption(&under);
    parser.addOption(&upper);
    // 'B' (66) < '_' (95) < 'b' (98)
    std::string const table = valueTableOf(parser);
    EXPECT_LT(table.find("B "), table.find("_ "));
    EXPECT_LT(table.find("_ "), table.find("b "));
}

TEST(OptionParser, ValueLineCutAt126Characters) {
    std::string const name(120, 'n');
    std::string const value(200, 'v');
    StringOption o(name.c_str(), value.c_str(), "", 'z');
    std::ostringstream line;
    line << o;
    // The formatted part would be 120 + " | z | " + 200 + " | "; only 126 of it stay.
    std::string const prefix = (name + " | z | " + value + " | ").substr(0, 126);
    EXPECT_EQ(line.str(), prefix + value);
}

TEST(OptionParser, UsageWrapsBelowColumn72) {
    // Column 8 + five words of 10 characters and a blank each = column 63.
    std::string const ten = "abcdefghij";
    std::string const five = ten + " " + ten + " " + ten + " " + ten + " " + ten + " ";
    CommandLineReader reader(0, nullptr);
    OptionParser parser(&reader);
    // 63 + 8 = 71 < 72: the word still fits.
    StringOption fits("fits", "", (five + "12345678 next").c_str(), 0);
    // 63 + 9 = 72: the word goes to the next line.
    StringOption wraps("wraps", "", (five + "123456789").c_str(), 0);
    // Blanks, tabs and newlines separate words; runs of them count as one.
    StringOption spaces("spaces", "", "  one\t\ttwo\n three  ", 0);
    // A word too long for any line still starts on a fresh line.
    StringOption huge("huge", "", std::string(64, 'h').c_str(), 0);
    // A long header line is not cut.
    StringOption longName("a_rather_long_option_name", "d", "", 'x');
    for (Option* o :
         {static_cast<Option*>(&fits), static_cast<Option*>(&wraps), static_cast<Option*>(&spaces),
          static_cast<Option*>(&huge), static_cast<Option*>(&longName)})
        parser.addOption(o);

    std::string const indent = "        ";
    EXPECT_EQ(usageOf(parser),
              "    --fits <STRING>                      []\n" + indent + five + "12345678 \n" +
                  indent + "next \n\n" + "    --wraps <STRING>                     []\n" + indent +
                  five + "\n" + indent + "123456789 \n\n" +
                  "    --spaces <STRING>                    []\n" + indent + "one two three \n\n" +
                  "    --huge <STRING>                      []\n" + indent + "\n" + indent +
                  std::string(64, 'h') + " \n\n" +
                  "    -x, --a_rather_long_option_name <STRING>  [d]\n" + indent + "\n\n");
}
