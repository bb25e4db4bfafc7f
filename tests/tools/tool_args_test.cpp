// The command line of the companion tools: option forms, strict numbers,
// range checks, lists and the exact usage messages.
#include "tools/tool_args.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/tools/tool_test_util.h"
#include "tools/fits_image.h"

namespace {

struct Fixture {
    // An 80-character description: wrapped before column 80.
    tools::ArgParser parser{
        "prog", "[options] FILE",
        "Reads the FILE given and does things with it, then writes what it found to FILE."};
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
        {{"-z"}, "unknown option '-z'"},
        {{"--count"}, "option '--count' needs a value"},
        {{"--count", "4x"}, "option '--count' expects a whole number, not '4x'"},
        {{"--width", "5.5"}, "option '--width' must be between 0 and 5, not '5.5'"},
        {{"--quiet=yes"}, "option '--quiet' takes no value"},
        {{"--pair", "1,2,3"}, "option '--pair' expects 2 comma-separated numbers, not '1,2,3'"},
        {{"--pair", "1,nan"}, "option '--pair' expects a number, not 'nan'"},
        {{"--grid", "0,3"}, "option '--grid' values must be between 1 and 100, not '0,3'"}};
    for (Case const& c : cases) {
        SCOPED_TRACE(c.message);
        Fixture f;
        EXPECT_EQ(tooltest::messageOf([&] { f.parse(c.args); }), c.message);
    }
}

TEST(ToolArgs, UsageListsEveryOptionWithItsDefault) {
    EXPECT_EQ(Fixture().parser.usage(),
              "usage: prog [options] FILE\n\n"
              "Reads the FILE given and does things with it, then writes what it found to\n"
              "FILE.\n\n"
              "options:\n"
              "  -o, --output FILE\n      where to write [out.txt]\n"
              "  -n, --count N\n      how many [3]\n"
              "      --width W\n      how wide [2.5]\n"
              "  -q, --quiet\n      say nothing\n"
              "      --pair A,B\n      two numbers [1,2]\n"
              "      --grid NX,NY\n      grid [1,1]\n"
              "  -h, --help\n      show this text and exit\n");
}

// Each tool: a missing, damaged or unwritable file exits with status 1 and
// exactly "<tool>: error: <message>" (psfpick-batch: "<tool>: <message>");
// bad usage found by the tool itself with status 2, "<tool>: <message>", an
// empty line and the usage text.
TEST(ToolPrograms, ReportMissingFilesAndBadUsage) {
    tooltest::TempDir dir;
    dir.write("sel.tbl", "#     x          y              RA             DEC          flux\n#\n");
    dir.write("one.tbl",
              "#     id          x          y              RA             DEC          flux\n#\n"
              "     101    10.50000000    20.25000000    202.47000000     47.20000000   1000.0\n");
    std::vector<float> const pixels(30 * 10, 1.0f);
    tools::writeFloatFits(dir.file("img.fits"), 30, 10, pixels.data(), {});
    // A header that promises 100000 x 100000 pixels over two records is
    // refused before anything is allocated.
    std::string big = tooltest::readFile(dir.file("img.fits"));
    for (std::string const key : {"NAXIS1  =", "NAXIS2  ="})
        big.replace(big.find(key), 30, key + "               100000");
    dir.write("big.fits", big);
    struct Case {
        std::string tool;
        int status;
        std::string args, message;  // args separated by single blanks
    };
    std::vector<Case> const cases = {
        {"errimage", 1, "-g 2 -r 5 big.fits",
         "error: image 'big.fits' is shorter than its header says"},
        {"errimage", 2, "img.fits",
         "no gain: give --gain (the header of 'img.fits' has no positive GAIN)"},
        {"mock", 1, "-o missing/f.fits --size 32 -n 5",
         "error: cannot open file 'missing/f.fits' for writing"},
        {"mock", 2, "--sampling box",
         "option '--sampling' expects integrated or centre, not 'box'"},
        {"regions", 1, "none.tbl", "error: cannot open file 'none.tbl' for reading"},
        {"regions", 1, "--system fk5 one.tbl",
         "error: cannot tell the pixel scale of 'one.tbl': give --arcsec or --image"},
        {"regions", 2, "--system galactic one.tbl",
         "option '--system' expects image or fk5, not 'galactic'"},
        {"stamps", 1, "sel.tbl none.fits", "error: cannot open file 'none.fits' for reading"},
        {"stamps", 2, "--percentiles 90,10 sel.tbl x.fits",
         "option '--percentiles' needs LOW below HIGH"},
        {"batch", 1, "--psfpick no/psfpick a.fits",
         "cannot find the psfpick program '" + dir.file("no/psfpick") + "' (use --psfpick)"},
        {"batch", 2, "-j 0 a.fits", "option '--jobs' expects a positive whole number, not '0'"}};
    for (Case const& c : cases) {
        std::string const program = "psfpick-" + c.tool;
        SCOPED_TRACE(program + " " + c.args);
        std::vector<std::string> args;
        std::istringstream words(c.args);
        for (std::string w; words >> w;) args.push_back(w);
        tooltest::RunResult const r =
            tooltest::runProgram(tooltest::tool(program), args, dir.path());
        EXPECT_EQ(r.status, c.status);
        std::string expected = program + ": " + c.message + "\n";
        if (c.status == 2) expected += "\nusage: " + program + " [options]";
        EXPECT_EQ(c.status == 1 ? r.err : r.err.substr(0, expected.size()), expected);
    }
}

}  // namespace
