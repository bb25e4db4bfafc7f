#include "util/option_parser.h"

#include <gtest/gtest.h>

#include <list>
#include <sstream>
#include <string>

#include "tests/support/messages.h"
#include "tests/support/temp_dir.h"
#include "tests/util/test_args.h"
#include "util/exception.h"
#include "util/option.h"
#include "util/option_reader.h"

using testsupport::Args;
using testsupport::messageOf;
using namespace util;

namespace {

// A small set of options bound to the fields of this fixture.
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

    // Registers the options, "level" as another name of verbose and the
    // commands help (-h, id 1) and version (id 2).
    void registerOn(OptionParser& parser) {
        for (Option* o :
             std::initializer_list<Option*>{&verboseOpt, &threshOpt, &magOpt, &inputOpt, &gridOpt})
            parser.addOption(o);
        parser.addAlias("level", &verboseOpt);
        parser.addCommand("help", 'h', 1);
        parser.addCommand("version", 0, 2);
    }
};

// What parsing tokens gives: "name=value" of each option given, the command
// and the file arguments; or the message, and for an unknown long name the
// suggestion after " -> ".
std::string outcome(std::vector<std::string> tokens) {
    Options o;
    Args args(std::move(tokens));
    CommandLineReader reader(args.argc(), args.argv());
    OptionParser parser(&reader);
    o.registerOn(parser);
    try {
        parser.parseOptions();
    } catch (UnknownOptionException const& e) {
        return std::string(e.what()) + (e.option()[1] == '-' ? " -> " + e.suggestion() : "");
    } catch (UException const& e) {
        return e.what();
    }
    std::string text;
    for (Option const* opt : std::initializer_list<Option const*>{
             &o.verboseOpt, &o.threshOpt, &o.magOpt, &o.inputOpt, &o.gridOpt})
        if (opt->given()) text += opt->getName() + "=" + opt->toString() + " ";
    if (parser.command() != 0) text += "command " + std::to_string(parser.command()) + " ";
    for (std::string const& file : reader.fileArguments()) text += "file " + file + " ";
    return text;
}

// A text of tests/util/expected/.
std::string expected(std::string const& name) {
    return testsupport::readFile(std::string(PSFPICK_SOURCE_DIR) + "/tests/util/expected/" + name);
}

std::string usageOf(OptionParser const& parser) {
    std::ostringstream text;
    parser.printUsage(text);
    return text.str();
}

}  // namespace

// Long names after one dash, short ones after two, values after "=" taken
// whole; later occurrences override, flags toggle, aliases reach their
// option; a command ends the parsing wherever it stands. An unknown long name
// suggests the closest known one: few edits (a swap of neighbours is one, case
// does not count; one for up to 5 characters, else two) or a name that begins
// with it.
TEST(OptionParser, ParsesTokensOrNamesTheFaultAndTheClosestName) {
    std::string const unknown = "Unknown long option ";
    for (auto const& [tokens, expected] :
         std::initializer_list<std::pair<std::vector<std::string>, std::string>>{
             {{"-v", "3", "--thresh", "-.25", "-input", "a b", "--m", "--grid", "4", "x", "-v"},
              "verbose=3 thresh=-0.25 mag=TRUE input=a b grid=4,1 file x file -v "},
             {{"-v", "1", "--level", "-5", "-m", "--mag", "--thresh=-x", "-i=", "--grid=4,5=6"},
              "verbose=-5 thresh=0 mag=FALSE input= grid=4,5 "},
             {{"-v", "2", "--help", "--nosuch"}, "verbose=2 command 1 file --nosuch "},
             {{"--version"}, "command 2 "},
             {{"-v"}, "No more argument values left!"},
             {{"-v", "-x"}, "Token '-x' does not seem like a valid value!"},
             {{"-v", "1", "-"}, "Token '-' not an argument specifier!"},
             {{"-q"}, "Unknown short option 'q' encountered!"},
             {{"--=5"}, unknown + "'=5' encountered! -> "},
             {{"--mag=false"}, "Flag 'mag' takes no value, but '--mag=false' gives one!"},
             {{"--help=1"}, "Flag 'help' takes no value, but '--help=1' gives one!"},
             {{"-verbos", "1"}, unknown + "'verbos' encountered! -> --verbose"},
             {{"-verbosely"}, unknown + "'verbosely' encountered! -> --verbose"},
             {{"--MAG"}, unknown + "'MAG' encountered! -> --mag"},
             {{"--inp"}, unknown + "'inp' encountered! -> --input"},
             {{"--levl"}, unknown + "'levl' encountered! -> --level"},
             {{"--hlep"}, unknown + "'hlep' encountered! -> --help"},
             {{"--inpxx"}, unknown + "'inpxx' encountered! -> "},
             {{"--verbosity"}, unknown + "'verbosity' encountered! -> "}})
        EXPECT_EQ(outcome(tokens), expected);

    // Names with a blank cannot be typed as one word: never suggested.
    CommandLineReader reader(0, nullptr);
    OptionParser parser(&reader);
    IntOption blank("check radius", "0", "", 'r');
    parser.addOption(&blank);
    EXPECT_EQ(parser.suggestionFor("check_radius"), "");
}

// The value table in name order with the bound values, the usage
// text in registration order; aliases and commands show in neither. An option
// whose char is taken is known by its long name only.
TEST(OptionParser, ValueTableAndUsage) {
    Options o;
    CommandLineReader reader(0, nullptr);
    OptionParser parser(&reader);
    o.registerOn(parser);
    o.verbose = 2;
    o.thresh = 0.123456;
    int loud = 0;
    IntOption sameChar("loud", "4", "loudness", 'v', &loud);
    EXPECT_EQ(messageOf<UException>([&] { parser.addOption(&sameChar); }),
              "Command line char v is already in use!");
    std::ostringstream table;
    table << parser;
    EXPECT_EQ(table.str(), expected("value_table.txt"));
    EXPECT_EQ(usageOf(parser), expected("usage.txt"));
}

TEST(OptionParser, UsageWrapsBelowColumn72) {
    // Column 8 + five words of 10 characters and a blank each = column 63.
    std::string const five = "abcdefghij abcdefghij abcdefghij abcdefghij abcdefghij ";
    CommandLineReader reader(0, nullptr);
    OptionParser parser(&reader);
    // 63 + 8 = 71 < 72: the word still fits; 63 + 9 = 72: it goes to the next line.
    StringOption fits("fits", "", (five + "12345678 next").c_str(), 0);
    StringOption wraps("wraps", "", (five + "123456789").c_str(), 0);
    // Blanks, tabs and newlines separate words; runs of them count as one.
    StringOption spaces("spaces", "", "  one\t\ttwo\n three  ", 0);
    // A word too long for any line still starts on a fresh line.
    StringOption huge("huge", "", std::string(64, 'h').c_str(), 0);
    // A long header line is not cut.
    StringOption longName("a_rather_long_option_name", "d", "", 'x');
    for (StringOption* o : {&fits, &wraps, &spaces, &huge, &longName}) parser.addOption(o);
    EXPECT_EQ(usageOf(parser), expected("usage_wrapped.txt"));
}
