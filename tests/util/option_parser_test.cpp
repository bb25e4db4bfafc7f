#include "util/option_parser.h"

#include <gtest/gtest.h>

#include <functional>
#include <list>
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
        for (Option* o :
             std::initializer_list<Option*>{&verboseOpt, &threshOpt, &magOpt, &inputOpt, &gridOpt})
            parser.addOption(o);
    }
    // Parses tokens; returns the exception message, "" on success. The parser
    // also knows "level" as another name of verbose, and the commands help
    // (-h) and version. Keeps the command met, the file arguments, and for an
    // unknown option "<option> -> <suggestion>".
    std::string parse(std::vector<std::string> tokens) {
        Args args(std::move(tokens));
        CommandLineReader reader(args.argc(), args.argv());
        OptionParser parser(&reader);
        registerOn(parser);
        parser.addAlias("level", &verboseOpt);
        parser.addCommand("help", 'h', kHelp);
        parser.addCommand("version", 0, kVersion);
        try {
            parser.parseOptions();
        } catch (UnknownOptionException const& e) {
            unknown = e.option() + " -> " + e.suggestion();
            return e.what();
        } catch (UException const& e) {
            return e.what();
        }
        command = parser.command();
        files = reader.fileArguments();
        return "";
    }
    static constexpr int kHelp = 1;
    static constexpr int kVersion = 2;
    int command = -1;
    std::list<std::string> files;
    std::string unknown;
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

TEST(OptionParser, ParsesEveryTokenFormAndLaterOccurrencesOverride) {
    Options o;
    EXPECT_EQ(o.parse({"-v", "3", "--thresh", "-.25", "-input", "cat.txt", "--m", "--grid", "4"}),
              "");
    EXPECT_EQ(o.verbose, 3);
    EXPECT_EQ(o.thresh, -0.25);
    EXPECT_EQ(o.input, "cat.txt");  // a long name after a single dash
    EXPECT_TRUE(o.mag);             // a short name after two dashes
    EXPECT_EQ(o.grid[0], 4);        // partial fill: the second element stays
    EXPECT_EQ(o.grid[1], 1);

    Options p;
    EXPECT_EQ(p.parse({"-v", "1", "--verbose", "-5", "-m", "--mag"}), "");
    EXPECT_EQ(p.verbose, -5);
    EXPECT_FALSE(p.mag);  // toggled twice: back at its default
    EXPECT_EQ(p.parse({"-m", "-m", "-m"}), "");
    EXPECT_TRUE(p.mag);
}

TEST(OptionParser, ReportsUnknownAndMalformedOptions) {
    Options o;
    std::vector<std::pair<std::vector<std::string>, std::string>> const cases = {
        {{"--nosuch"}, "Unknown long option 'nosuch' encountered!"},
        {{"-q"}, "Unknown short option 'q' encountered!"},
        {{"--q"}, "Unknown short option 'q' encountered!"},
        {{"-verbos", "1"}, "Unknown long option 'verbos' encountered!"},
        {{"--"}, "Token '--' not an argument specifier!"},
        {{"--grid", "1,2,3"},
         "Too many elements in IntArrayOption grid! (it takes at most 2 values)"},
        {{"-v", "9", "--nosuch"}, "Unknown long option 'nosuch' encountered!"},
    };
    for (auto const& [tokens, message] : cases) EXPECT_EQ(o.parse(tokens), message);
    EXPECT_EQ(o.verbose, 9);  // values parsed before the error stay
}

// A value may follow the name after "=" in every form, and is then taken
// whole (a leading dash, the empty text); a flag takes none. An alias reaches
// its option; every option given, and only those, is marked given.
TEST(OptionParser, ValuesAfterEqualsAliasesAndGivenOptions) {
    Options o;
    EXPECT_EQ(o.parse({"--verbose=3", "-thresh=-x", "-i=", "--grid=4,5=6", "-m", "a.fits"}), "");
    EXPECT_EQ(o.verbose, 3);
    EXPECT_EQ(o.threshOpt.lastText(), "-x");
    EXPECT_EQ(o.input, "");
    EXPECT_EQ(o.gridOpt.lastText(), "4,5=6");
    EXPECT_TRUE(o.mag);
    EXPECT_EQ(o.files, std::list<std::string>{"a.fits"});

    Options p;
    EXPECT_EQ(p.parse({"-v=2", "--level", "7", "a.fits", "--thresh=1"}), "");
    EXPECT_EQ(p.verbose, 7);
    EXPECT_EQ(p.files, (std::list<std::string>{"a.fits", "--thresh=1"}));
    EXPECT_TRUE(p.verboseOpt.given());
    for (Option const* notGiven :
         std::initializer_list<Option const*>{&p.threshOpt, &p.magOpt, &p.inputOpt, &p.gridOpt})
        EXPECT_FALSE(notGiven->given()) << notGiven->getName();

    for (auto const& [token, message] : std::initializer_list<std::pair<char const*, char const*>>{
             {"--mag=false", "Flag 'mag' takes no value, but '--mag=false' gives one!"},
             {"-m=", "Flag 'mag' takes no value, but '-m=' gives one!"},
             {"--=5", "Unknown long option '=5' encountered!"}})
        EXPECT_EQ(o.parse({token}), message);
}

// A command ends the parsing wherever it stands; the options before it are
// parsed, the tokens after it are not read. Commands and aliases take names
// like options do and show in neither listing.
TEST(OptionParser, CommandsEndTheParsing) {
    Options o;
    EXPECT_EQ(o.parse({"-v", "2", "--help", "--nosuch"}), "");
    EXPECT_EQ(o.command, Options::kHelp);
    EXPECT_EQ(o.verbose, 2);
    EXPECT_EQ(o.parse({"-m", "-h"}), "");
    EXPECT_EQ(o.command, Options::kHelp);
    EXPECT_EQ(o.parse({"--version"}), "");
    EXPECT_EQ(o.command, Options::kVersion);
    EXPECT_EQ(o.parse({"-v", "1"}), "");
    EXPECT_EQ(o.command, 0);
    EXPECT_EQ(o.parse({"--help=1"}), "Flag 'help' takes no value, but '--help=1' gives one!");

    CommandLineReader reader(0, nullptr);
    OptionParser parser(&reader);
    o.registerOn(parser);
    std::string const table = valueTableOf(parser);
    std::string const usage = usageOf(parser);
    parser.addAlias("level", &o.verboseOpt);
    parser.addCommand("help", 'h', 1);
    EXPECT_EQ(valueTableOf(parser), table);
    EXPECT_EQ(usageOf(parser), usage);
    for (auto const& [call, message] :
         std::initializer_list<std::pair<std::function<void()>, char const*>>{
             {[&] { parser.addAlias("input", &o.inputOpt); },
              "An option named input already exists!"},
             {[&] { parser.addAlias("help", &o.inputOpt); },
              "An option named help already exists!"},
             {[&] { parser.addCommand("level", 0, 2); }, "An option named level already exists!"},
             {[&] { parser.addCommand("loud", 'v', 2); }, "Command line char v is already in use!"},
             {[&] { parser.addCommand("hush", 'h', 2); },
              "Command line char h is already in use!"}})
        EXPECT_EQ(testsupport::messageOf<UException>(call), message);
}

// An unknown long name names the closest known long name, if any is close:
// few edits (a swap of neighbours is one, case does not count) or a name
// that begins with it. Short names get no suggestion.
TEST(OptionParser, UnknownLongNamesSuggestTheClosest) {
    Options o;
    for (auto const& [token, unknown] : std::initializer_list<std::pair<char const*, char const*>>{
             {"--verbos", "--verbos -> --verbose"},
             {"-verbosely", "--verbosely -> --verbose"},
             {"--gird", "--gird -> --grid"},
             {"--MAG", "--MAG -> --mag"},
             {"--inp", "--inp -> --input"},
             {"--levl", "--levl -> --level"},
             {"--hlep", "--hlep -> --help"},
             {"--ab", "--ab -> "},
             {"--nosuch", "--nosuch -> "},
             {"--verbosity", "--verbosity -> "},
             {"-q", "-q -> "}}) {
        o.unknown.clear();
        o.parse({token});
        EXPECT_EQ(o.unknown, unknown);
    }
    // Names with a blank cannot be typed as one word: never suggested.
    CommandLineReader reader(0, nullptr);
    OptionParser parser(&reader);
    IntOption blank("check radius", "0", "", 'r');
    parser.addOption(&blank);
    EXPECT_EQ(parser.suggestionFor("check_radius"), "");
}

// The value table is in byte-wise name order and shows the bound variables;
// the usage text is in registration order. Duplicate names and chars are
// refused; an option whose char is taken is known by its long name only.
TEST(OptionParser, ValueTableUsageAndDuplicates) {
    Options o;
    CommandLineReader reader(0, nullptr);
    OptionParser parser(&reader);
    o.registerOn(parser);
    o.verbose = 2;
    std::string table =
        "grid             |   |                        1,1 | 1,1\n"
        "input            | i |                            | \n"
        "mag              | m |                      false | FALSE\n"
        "thresh           |   |                        0.5 | 0.5\n"
        "verbose          | v |                          0 | 2\n";
    EXPECT_EQ(valueTableOf(parser), table);
    std::string const usage =
        "    -v, --verbose <INT>                  [0]\n"
        "        verbosity level \n\n"
        "    --thresh <DOUBLE>                    [0.5]\n"
        "        threshold \n\n"
        "    -m, --mag <FLAG>                     [false]\n"
        "        mag \n\n"
        "    -i, --input <STRING>                 []\n"
        "        input table \n\n"
        "    --grid <INTARRAY>                    [1,1]\n"
        "        grid \n\n";
    EXPECT_EQ(usageOf(parser), usage);

    IntOption sameName("verbose", "0", "again", 'w');
    EXPECT_EQ(testsupport::messageOf<UException>([&] { parser.addOption(&sameName); }),
              "An option named verbose already exists!");
    int loud = 0;
    IntOption sameChar("loud", "4", "loudness", 'v', &loud);
    EXPECT_EQ(testsupport::messageOf<UException>([&] { parser.addOption(&sameChar); }),
              "Command line char v is already in use!");
    table.insert(table.find("mag"), "loud             | v |                          4 | 4\n");
    EXPECT_EQ(valueTableOf(parser), table);
    EXPECT_EQ(usageOf(parser), usage);

    // 'B' (66) < '_' (95) < 'b' (98)
    OptionParser bytes(&reader);
    IntOption lower("b", "0", "", 0), upper("B", "0", "", 0), under("_", "0", "", 0);
    for (IntOption* option : {&lower, &under, &upper}) bytes.addOption(option);
    std::string const sorted = valueTableOf(bytes);
    EXPECT_LT(sorted.find("B "), sorted.find("_ "));
    EXPECT_LT(sorted.find("_ "), sorted.find("b "));
}

TEST(OptionParser, ValueLineCutAt126Characters) {
    std::string const name(120, 'n');
    std::string const value(200, 'v');
    StringOption o(name.c_str(), value.c_str(), "", 'z');
    std::ostringstream line;
    line << o;
    // The formatted part would be 120 + " | z | " + 200 + " | "; only 126 of it stay.
    EXPECT_EQ(line.str(), (name + " | z | " + value + " | ").substr(0, 126) + value);
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
    for (StringOption* o : {&fits, &wraps, &spaces, &huge, &longName}) parser.addOption(o);

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
