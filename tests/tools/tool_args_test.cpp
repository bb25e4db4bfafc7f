// The command line of the companion tools: option forms, strict numbers,
// range checks, lists and the exact usage messages.
#include "tools/tool_args.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/tools/tool_test_util.h"
#include "tools/fits_image.h"

namespace {

struct Fixture {
    tools::ArgParser parser{"prog", "[options] FILE", "Does things."};
    std::string name = "out.txt";
    long count = 3;
    double width = 2.5;
    bool flag = false;
    std::vector<double> pair{1, 2};
    std::vector<long> grid{1, 1};

    Fixture() {
        parser.addString("output", 'o', "FILE", "where to write", &name);
        parser.addInt("count", 'n', "N", "how many", &count, 1, 10);
        parser.addDouble("width", 0, "W", "how wide", &width, 0, 5);
        parser.addFlag("quiet", 'q', "say nothing", &flag);
        parser.addDoubleList("pair", 0, "A,B", "two numbers", &pair, 2, -10, 10);
        parser.addIntList("grid", 0, "NX,NY", "grid", &grid, 2, 1, 100);
    }
    std::vector<std::string> parse(std::vector<std::string> args) {
        args.insert(args.begin(), "prog");
        std::vector<char const*> argv;
        for (std::string const& a : args) argv.push_back(a.c_str());
        return parser.parse(static_cast<int>(argv.size()), argv.data());
    }
};

TEST(ToolArgs, AcceptsLongShortEqualsAndListFormsAndKeepsPositionals) {
    Fixture f;
    std::vector<std::string> const rest =
        f.parse({"a.fits", "--output", "x.tbl", "-n", "10", "--width=-0", "-q", "b.fits", "--pair",
                 "-1.5,4", "--grid", "5", "--", "-n", "--x"});
    EXPECT_EQ(rest, (std::vector<std::string>{"a.fits", "b.fits", "-n", "--x"}));
    EXPECT_EQ(f.name, "x.tbl");
    EXPECT_EQ(f.count, 10);  // the upper bound is allowed
    EXPECT_EQ(f.width, 0.0);
    EXPECT_TRUE(f.flag);
    EXPECT_EQ(f.pair, (std::vector<double>{-1.5, 4}));
    EXPECT_EQ(f.grid, (std::vector<long>{5, 5}));  // one value for all
    EXPECT_FALSE(f.parser.helpRequested());
    Fixture h;
    h.parse({"-h", "--bogus"});  // help stops parsing
    EXPECT_TRUE(h.parser.helpRequested());
}

TEST(ToolArgs, RejectsBadCommandLinesWithExactMessages) {
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    std::vector<Case> const cases = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"--bogus=3"}, "unknown option '--bogus'"},
        {{"-z"}, "unknown option '-z'"},
        {{"--count"}, "option '--count' needs a value"},
        {{"--count", "4x"}, "option '--count' expects a whole number, not '4x'"},
        {{"--count", ""}, "option '--count' expects a whole number, not ''"},
        {{"--count", "11"}, "option '--count' must be between 1 and 10, not '11'"},
        {{"--width", "nan"}, "option '--width' expects a number, not 'nan'"},
        {{"--width", "5.5"}, "option '--width' must be between 0 and 5, not '5.5'"},
        {{"--quiet=yes"}, "option '--quiet' takes no value"},
        {{"--pair", "1,2,3"}, "option '--pair' expects 2 comma-separated numbers, not '1,2,3'"},
        {{"--pair", "1,"}, "option '--pair' expects a number, not ''"},
        {{"--grid", "0,3"}, "option '--grid' values must be between 1 and 100, not '0,3'"}};
    for (Case const& c : cases) {
        SCOPED_TRACE(c.message);
        Fixture f;
        EXPECT_EQ(tooltest::errorOf([&] { f.parse(c.args); }), c.message);
    }
}

TEST(ToolArgs, UsageListsEveryOptionWithItsDefault) {
    std::string const usage = Fixture().parser.usage();
    EXPECT_EQ(usage.rfind("usage: prog [options] FILE\n\nDoes things.\n\noptions:\n", 0), 0u);
    for (char const* entry : {"  -o, --output FILE\n      where to write [out.txt]\n",
                              "      --pair A,B\n      two numbers [1,2]\n",
                              "  -q, --quiet\n      say nothing\n", "  -h, --help\n"})
        EXPECT_NE(usage.find(entry), std::string::npos) << entry;
}

// Each tool: a missing or unwritable file exits with status 1 and exactly
// "<tool>: error: <message>"; bad usage with status 2, "<tool>: <message>"
// first when given, and the usage text.
TEST(ToolPrograms, ReportMissingFilesAndBadUsage) {
    tooltest::TempDir dir;
    dir.write("sel.tbl", "#     x          y              RA             DEC          flux\n#\n");
    dir.write("one.tbl",
              "#     id          x          y              RA             DEC          flux\n#\n"
              "     101    10.50000000    20.25000000    202.47000000     47.20000000   1000.0\n");
    std::vector<float> const pixels(30 * 10, 1.0f);
    tools::writeFloatFits(dir.file("img.fits"), 30, 10, pixels.data(), {});
    std::map<std::string, std::string> const operands = {
        {"errimage", " IMAGE"}, {"mock", ""}, {"regions", " TABLE"}, {"stamps", " TABLE IMAGE"}};
    using Lines = std::vector<std::vector<std::string>>;
    struct Case {
        std::string tool;
        int status;
        std::string message;
        Lines commandLines;
    };
    std::vector<Case> const cases = {
        {"errimage", 1, "error: cannot open file 'none.fits' for reading",
         Lines{{"-g", "2", "-r", "5", "none.fits"}}},
        {"errimage", 2, "no gain: give --gain (the header of 'img.fits' has no positive GAIN)",
         Lines{{"img.fits"}}},
        {"errimage", 2, "",
         Lines{{},
               {"-g", "0", "img.fits"},
               {"--gain", "x", "img.fits"},
               {"img.fits", "b.fits"},
               {"--bogus", "img.fits"}}},
        {"mock", 1, "error: cannot open file 'missing/f.fits' for writing",
         Lines{{"-o", "missing/f.fits", "--size", "32", "-n", "5"}}},
        {"mock", 2, "option '--sampling' expects integrated or centre, not 'box'",
         Lines{{"--sampling", "box"}}},
        {"mock", 2, "", Lines{{"--size", "8"}, {"--bogus"}, {"extra"}, {"--crval", "10,95"}}},
        {"regions", 1, "error: cannot open file 'none.tbl' for reading", Lines{{"none.tbl"}}},
        {"regions", 1, "error: cannot tell the pixel scale of 'one.tbl': give --arcsec or --image",
         Lines{{"--system", "fk5", "one.tbl"}}},
        {"regions", 2, "",
         Lines{{},
               {"--system", "galactic", "one.tbl"},
               {"-r", "-1", "one.tbl"},
               {"--ids", "maybe", "one.tbl"},
               {"a", "b"}}},
        {"stamps", 1, "error: cannot open file 'none.fits' for reading",
         Lines{{"sel.tbl", "none.fits"}}},
        {"stamps", 2, "",
         Lines{{"sel.tbl"},
               {"--nfields", "0,2", "sel.tbl", "x.fits"},
               {"--percentiles", "90,10", "sel.tbl", "x.fits"},
               {"--boxlen", "0", "sel.tbl", "x.fits"}}}};
    for (Case const& c : cases)
        for (std::vector<std::string> const& args : c.commandLines) {
            std::string const program = "psfpick-" + c.tool;
            std::string line = program;
            for (std::string const& a : args) line += " " + a;
            SCOPED_TRACE(line);
            tooltest::RunResult const r =
                tooltest::runProgram(tooltest::tool(program), args, dir.path());
            EXPECT_EQ(r.status, c.status);
            std::string const message = c.message.empty() ? "" : program + ": " + c.message + "\n";
            if (c.status == 1) {
                EXPECT_EQ(r.err, message);
                continue;
            }
            EXPECT_EQ(r.err.rfind(message, 0), 0u) << r.err;
            EXPECT_NE(
                r.err.find("\n\nusage: " + program + " [options]" + operands.at(c.tool) + "\n"),
                std::string::npos)
                << r.err;
        }
}

}  // namespace
