// The command line of the companion tools: option forms, strict numbers,
// range checks, lists and the exact usage messages.
#include "tools/tool_args.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Parses args (without argv[0]) and returns the UsageError message, or "".
std::string usageError(tools::ArgParser& p, std::vector<std::string> args) {
    args.insert(args.begin(), "prog");
    std::vector<char const*> argv;
    for (std::string const& a : args) argv.push_back(a.c_str());
    try {
        p.parse(static_cast<int>(argv.size()), argv.data());
    } catch (tools::UsageError const& e) {
        return e.what();
    }
    return "";
}

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

TEST(ToolArgs, AcceptsLongShortAndEqualsFormsAndKeepsPositionals) {
    Fixture f;
    std::vector<std::string> const rest =
        f.parse({"a.fits", "--output", "x.tbl", "-n", "7", "--width=-0", "-q", "b.fits"});
    EXPECT_EQ(rest, (std::vector<std::string>{"a.fits", "b.fits"}));
    EXPECT_EQ(f.name, "x.tbl");
    EXPECT_EQ(f.count, 7);
    EXPECT_EQ(f.width, 0.0);
    EXPECT_TRUE(f.flag);
    EXPECT_FALSE(f.parser.helpRequested());
}

TEST(ToolArgs, DoubleDashEndsOptions) {
    Fixture f;
    EXPECT_EQ(f.parse({"--", "-n", "--x"}), (std::vector<std::string>{"-n", "--x"}));
    EXPECT_EQ(f.count, 3);
}

TEST(ToolArgs, ListsTakeOneValueForAllOrExactlyTheirCount) {
    Fixture f;
    f.parse({"--pair", "-1.5,4", "--grid", "5"});
    EXPECT_EQ(f.pair, (std::vector<double>{-1.5, 4}));
    EXPECT_EQ(f.grid, (std::vector<long>{5, 5}));
}

TEST(ToolArgs, HelpStopsParsing) {
    Fixture f;
    f.parse({"-h", "--bogus"});
    EXPECT_TRUE(f.parser.helpRequested());
}

TEST(ToolArgs, RejectsBadCommandLinesWithExactMessages) {
    Fixture f;
    EXPECT_EQ(usageError(f.parser, {"--bogus"}), "unknown option '--bogus'");
    EXPECT_EQ(usageError(f.parser, {"--bogus=3"}), "unknown option '--bogus'");
    EXPECT_EQ(usageError(f.parser, {"-z"}), "unknown option '-z'");
    EXPECT_EQ(usageError(f.parser, {"--count"}), "option '--count' needs a value");
    EXPECT_EQ(usageError(f.parser, {"--count", "4x"}),
              "option '--count' expects a whole number, not '4x'");
    EXPECT_EQ(usageError(f.parser, {"--count", ""}),
              "option '--count' expects a whole number, not ''");
    EXPECT_EQ(usageError(f.parser, {"--count", "11"}),
              "option '--count' must be between 1 and 10, not '11'");
    EXPECT_EQ(usageError(f.parser, {"--width", "nan"}),
              "option '--width' expects a number, not 'nan'");
    EXPECT_EQ(usageError(f.parser, {"--width", "5.5"}),
              "option '--width' must be between 0 and 5, not '5.5'");
    EXPECT_EQ(usageError(f.parser, {"--quiet=yes"}), "option '--quiet' takes no value");
    EXPECT_EQ(usageError(f.parser, {"--pair", "1,2,3"}),
              "option '--pair' expects 2 comma-separated numbers, not '1,2,3'");
    EXPECT_EQ(usageError(f.parser, {"--pair", "1,"}), "option '--pair' expects a number, not ''");
    EXPECT_EQ(usageError(f.parser, {"--grid", "0,3"}),
              "option '--grid' values must be between 1 and 100, not '0,3'");
}

TEST(ToolArgs, UsageListsEveryOptionWithItsDefault) {
    Fixture f;
    std::string const usage = f.parser.usage();
    EXPECT_EQ(usage.rfind("usage: prog [options] FILE\n\nDoes things.\n\noptions:\n", 0), 0u);
    EXPECT_NE(usage.find("  -o, --output FILE\n      where to write [out.txt]\n"),
              std::string::npos);
    EXPECT_NE(usage.find("      --pair A,B\n      two numbers [1,2]\n"), std::string::npos);
    EXPECT_NE(usage.find("  -q, --quiet\n      say nothing\n"), std::string::npos);
    EXPECT_NE(usage.find("  -h, --help\n"), std::string::npos);
}

TEST(ToolArgs, RunToolMapsOutcomesToExitStatuses) {
    auto usage = [] { return std::string("usage text\n"); };
    EXPECT_EQ(tools::runTool("p", usage, [] { return tools::kExitOk; }), tools::kExitOk);
    EXPECT_EQ(tools::runTool("p", usage,
                             []() -> int { throw tools::UsageError("unknown option '--x'"); }),
              tools::kExitBadUsage);
    EXPECT_EQ(
        tools::runTool("p", usage, []() -> int { throw tools::ToolError("cannot open file 'a'"); }),
        tools::kExitFailed);
}

}  // namespace
