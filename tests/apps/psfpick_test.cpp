// End-to-end runs of the built psfpick that stop at the command line, and the
// smallest complete and failed runs: stdout, stderr, the exit status and the
// output table, compared byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "tests/apps/e2e_support.h"
#include "tests/support/temp_dir.h"
#include "util/version.h"

using namespace e2e;
using testsupport::readFile;
using testsupport::RunResult;
using testsupport::TempDir;

// Command lines that end before a run. A run refused at its check prints the
// value table with the values given (a value that is not a number shows as
// it reads) and the notice. A command line that cannot be read prints the
// table with the options parsed before the error and the usage text, and
// names an unknown option once more at the end, with the option meant when
// one is close. --help prints the usage text, --version the version,
// before the banner and instead of a run. None writes a table; a run without
// an image writes one without rows (the default selected.tbl, overwritten),
// and a run that cannot write its table fails with status 1.
TEST(Psfpick, CommandLinesThatEndBeforeARun) {
    std::string const usage = expectedText("usage.txt");
    // The value table of tests/apps/expected/value_table*.txt, with the values given.
    auto table = [](char const* args, std::string const& values) {
        return startText(words(args)) + expectedText("value_table" + values + ".txt") + "\n";
    };
    struct Case {
        char const* args;
        int status;
        std::string out, err;
        std::string table = "stale rows\n";
    };
    Case const cases[] = {
        {"", kStatusRefused, table("", ""), "error: no input table given (--input)\n\n"},
        {"-i cat.txt -n 5x", kStatusRefused, table("-i cat.txt -n 5x", "_input_number"),
         "error: --number needs a whole number, not '5x'\n\n"},
        {"-n 2 --nfield 3,3", kStatusRefused, table("-n 2 --nfield 3,3", "_number") + usage,
         expectedText("unknown_option.err")},
        {"--help", kStatusSuccess, "usage: psfpick [options] [FITS files...]\n\n" + usage, ""},
        {"--version", kStatusSuccess, std::string("psfpick ") + PSFPICK_VERSION + "\n", ""},
        // A negative x_column (sky coordinates) is accepted; without an image
        // the pixel positions cannot be computed, which is reported.
        {"-i cat.txt -x -4", kStatusSuccess,
         startText(words("-i cat.txt -x -4")) + expectedText("no_image.out"),
         expectedText("no_columns.err") + expectedText("no_image.err"), kTableHeader},
        {"-i cat.txt -o missing/dir/out.tbl", kStatusRunFailed,
         startText(words("-i cat.txt -o missing/dir/out.tbl")) + "\n",
         expectedText("no_columns.err") +
             "EXCEPTION: cannot open file 'missing/dir/out.tbl' for writing\n"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.args);
        TempDir dir;
        dir.write("cat.txt", "# id x y RA DEC flux\n1 10.0 10.0 0 0 100\n2 20.0 20.0 0 0 200\n");
        dir.write("selected.tbl", "stale rows\n");
        RunResult const r = run(words(c.args), dir.path());
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(readFile(dir.file("selected.tbl")), c.table);
    }
}

// The examples of README.md: a fenced block after the line "<!-- example -->"
// holds a command ("$ build/apps/psfpick ...", continued on lines that end in
// " \") and, below it, what that run writes on standard error. Each runs in a
// directory where data/ is the repository's and build/demo/ exists.
TEST(Readme, ExamplesShowWhatPsfpickPrints) {
    std::string const readme = readFile(std::string(PSFPICK_SOURCE_DIR) + "/README.md");
    std::regex const example(
        "<!-- example -->\n```\n\\$ build/apps/psfpick ((.* \\\\\n)*.*)\n([^`]*)```");
    int examples = 0;
    for (std::sregex_iterator m(readme.begin(), readme.end(), example), end; m != end; ++m) {
        std::string const args = std::regex_replace((*m)[1].str(), std::regex(" \\\\\n"), " ");
        SCOPED_TRACE(args);
        TempDir dir;
        std::filesystem::create_directory_symlink(std::string(PSFPICK_SOURCE_DIR) + "/data",
                                                  dir.file("data"));
        std::filesystem::create_directories(dir.file("build/demo"));
        RunResult const r = run(words(args), dir.path());
        EXPECT_EQ(r.status, kStatusSuccess);
        EXPECT_EQ(r.err, (*m)[3].str());
        ++examples;
    }
    // Every marked block is an example that ran.
    std::regex const marker("<!-- example -->");
    EXPECT_EQ(examples, std::distance(std::sregex_iterator(readme.begin(), readme.end(), marker),
                                      std::sregex_iterator()));
    EXPECT_GE(examples, 5);
}
