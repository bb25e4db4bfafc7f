// End-to-end runs of the built psfpick that stop at the command line, and the
// smallest complete and failed runs: stdout, stderr, the exit status and the
// output table, compared byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/apps/e2e_support.h"
#include "tests/support/temp_dir.h"
#include "util/version.h"

using namespace e2e;
using testsupport::readFile;
using testsupport::RunResult;
using testsupport::TempDir;

namespace {

// The run options as documented for users: name, short form (0 = none), type
// shown in the usage text, default text, usage text, and the value listed in
// the value table right after start-up.
struct OptionRow {
    char const* name;
    char shortForm;
    char const* type;
    char const* defaultText;
    char const* usage;
    char const* value;
};

std::vector<OptionRow> const kOptions = {
    {"nfields", 0, "INTARRAY", "1,1", "number of subfields in x and y", "1,1"},
    {"input", 'i', "STRING", "", "input table", ""},
    {"output", 'o', "STRING", "selected.tbl", "output table", "selected.tbl"},
    {"variables", 0, "STRING", "", "variables table", ""},
    {"image", 0, "STRING", "", "image", ""},
    {"class_star", 'c', "DOUBLE", "0.90", "minimum class star value", "0.9"},
    {"neighbour_thresh", 0, "DOUBLE", "0.00", "neighbour threshold", "0"},
    {"min_thresh", 0, "DOUBLE", "0.90", "minimum threshold", "0.9"},
    {"max_thresh", 0, "DOUBLE", "0.99", "maximum threshold", "0.99"},
    {"number", 'n', "INT", "1", "number of stars to select", "1"},
    {"border", 'b', "INT", "0", "border size", "0"},
    {"subfield_border", 0, "INT", "0", "subfield border size", "0"},
    {"id_column", 0, "INT", "1", "column number with id", "1"},
    {"x_column", 'x', "INT", "2", "column number with x-position", "2"},
    {"flux_column", 0, "INT", "6", "column number with fluxes", "6"},
    {"flag_column", 0, "INT", "0", "column number with flags", "0"},
    {"flag_limit", 0, "INT", "0", "maximum flag value", "0"},
    {"class_column", 0, "INT", "0", "column number class_star", "0"},
    {"check radius", 'r', "INT", "0", "bad pixel check radius", "0"},
    {"verbose", 'v', "INT", "0", "verbosity level", "0"},
    {"nchi_reject", 0, "INT", "0", "reject stars with of high nchi", "0"},
    {"fwhm_reject", 0, "INT", "0", "reject stars with eliptical fwhm", "0"},
    {"boxlen", 0, "INT", "12", "box length", "12"},
    {"mag", 'm', "FLAG", "false", "mag", "FALSE"},
    {"fwhm_sort", 0, "FLAG", "false", "sort according to FWHM", "FALSE"},
    {"nchi_sort", 0, "FLAG", "false", "sort according to nchi", "FALSE"},
    {"report", 0, "STRING", "", "ECSV report of every catalogue row (empty: none)", ""},
    {"max_peak", 0, "DOUBLE", "0", "refuse stars peaking at or above this, or flat-topped (0: off)",
     "0"},
    {"max_ellipticity", 0, "DOUBLE", "0", "refuse fits with 1 - minor/major above this (0: off)",
     "0"},
    {"fwhm_clip", 0, "DOUBLE", "0", "refuse FWHM beyond this many robust sigmas (0: off)", "0"},
    {"nchi_clip", 0, "DOUBLE", "0", "refuse nchi this many robust sigmas above the median (0: off)",
     "0"},
    {"max_asymmetry", 0, "DOUBLE", "0", "refuse stars more asymmetric than this (0: off)", "0"},
    {"refill", 0, "FLAG", "false", "replace refused candidates by the next of the subfield",
     "FALSE"},
    {"fwhm_range", 0, "DOUBLEARRAY", "1,20",
     "accepted FWHM of the fits, lowest and highest, pixels", "1,20"},
    {"beta", 0, "DOUBLE", "2.9", "Moffat beta of the fits; 0 = fitted", "2.9"},
    {"subsample", 0, "INT", "1", "fitted model averaged over N x N points per pixel", "1"},
    {"threads", 0, "INT", "0", "threads that measure stars at once (0: every core)", "0"},
};

std::string padRight(std::string text, std::size_t width) {
    if (text.size() < width) text.append(width - text.size(), ' ');
    return text;
}

// The value table: options sorted by name, name in 16 columns, short form,
// default right-aligned in 26 columns, then the value (from `changed` for the
// options named there).
std::string expectedValueTable(std::map<std::string, std::string> const& changed = {}) {
    std::vector<OptionRow> rows = kOptions;
    std::sort(rows.begin(), rows.end(), [](OptionRow const& a, OptionRow const& b) {
        return std::string(a.name) < std::string(b.name);
    });
    std::string table;
    for (OptionRow const& r : rows) {
        std::string const def = r.defaultText;
        table += padRight(r.name, 16) + " | " + (r.shortForm ? r.shortForm : ' ') + " | " +
                 std::string(26 - def.size(), ' ') + def + " | " +
                 (changed.count(r.name) ? changed.at(r.name) : r.value) + "\n";
    }
    return table;
}

// The usage text in registration order, each text on one line below column 72.
std::string expectedUsage() {
    std::string usage;
    for (OptionRow const& r : kOptions) {
        std::string head = "    ";
        if (r.shortForm) head += std::string("-") + r.shortForm + ", ";
        head += std::string("--") + r.name + " <" + r.type + ">";
        usage += padRight(head, 39) + "  [" + r.defaultText + "]\n";
        usage += std::string("        ") + r.usage + " \n\n";
    }
    return usage;
}

// The long name of the option args[0] ("-r" or "--boxlen").
std::string optionName(std::string const& arg) {
    for (OptionRow const& r : kOptions)
        if (arg == std::string("--") + r.name ||
            (r.shortForm && arg == std::string("-") + r.shortForm))
            return r.name;
    return "";
}

}  // namespace

TEST(Psfpick, NoArgumentsIsRefused) {
    TempDir dir;
    RunResult const r = run({}, dir.path());
    EXPECT_EQ(r.status, kStatusRefused);
    EXPECT_EQ(r.out, startText({}) + expectedValueTable() + "\n");
    EXPECT_EQ(r.err, "error: no input table given (--input)\n\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("selected.tbl")));
}

// Options parsed before the error keep their values in the table. An unknown
// option is named once more at the end, with the option meant when one is
// close.
TEST(Psfpick, UnknownOptionsPrintTableAndUsage) {
    struct Case {
        char const* args;
        std::string message;
        std::map<std::string, std::string> changed;
        std::string unknown = "";  // the option named by the last line, and the suggestion
    };
    for (Case const& c :
         {Case{"--nosuch", "Unknown long option 'nosuch' encountered!", {}, "'--nosuch'"},
          Case{"-q cat.txt", "Unknown short option 'q' encountered!", {}, "'-q'"},
          Case{"-n 2 --nfield 3,3",
               "Unknown long option 'nfield' encountered!",
               {{"number", "2"}},
               "'--nfield' (did you mean '--nfields'?)"},
          Case{"-i cat.txt -v", "No more argument values left!", {{"input", "cat.txt"}}},
          Case{"-n -x", "Token '-x' does not seem like a valid value!", {}},
          Case{"--mag=false", "Flag 'mag' takes no value, but '--mag=false' gives one!", {}},
          Case{"--nfields 1,2,3",
               "Too many elements in IntArrayOption nfields! (it takes at most 2 values)",
               {{"nfields", "1,2"}}}}) {
        SCOPED_TRACE(c.args);
        TempDir dir;
        RunResult const r = run(words(c.args), dir.path());
        EXPECT_EQ(r.status, kStatusRefused);
        EXPECT_EQ(r.err,
                  "Caught exception : " + c.message +
                      "\nerror: invalid command line (see the usage text)\n\n" +
                      (c.unknown.empty() ? "" : "error: unknown option " + c.unknown + "\n"));
        EXPECT_EQ(r.out, startText(words(c.args)) + expectedValueTable(c.changed) + "\n" +
                             expectedUsage());
        EXPECT_FALSE(std::filesystem::exists(dir.file("selected.tbl")));
    }
}

// --help and -h print the usage text, --version the version, before the
// banner and instead of a run.
TEST(Psfpick, HelpAndVersionAnswerInsteadOfARun) {
    std::string const usage = "usage: psfpick [options] [FITS files...]\n\n" + expectedUsage();
    for (auto const& [args, out] :
         {std::pair<char const*, std::string>{"--help", usage},
          {"-i cat.txt -n 3 -h --nosuch", usage},
          {"--version", std::string("psfpick ") + PSFPICK_VERSION + "\n"}}) {
        SCOPED_TRACE(args);
        TempDir dir;
        RunResult const r = run(words(args), dir.path());
        EXPECT_EQ(r.status, kStatusSuccess);
        EXPECT_EQ(r.out, out);
        EXPECT_EQ(r.err, "");
        EXPECT_FALSE(std::filesystem::exists(dir.file("selected.tbl")));
    }
}

// Each refusal of the run check: the value table with the values given (a
// value that is not a number shows as it reads), the notice, no table.
TEST(Psfpick, InvalidValuesAreRefused) {
    struct Case {
        char const* option;
        char const* notice;
        char const* shown = nullptr;  // in the value table; nullptr: the value given
    };
    Case const cases[] = {
        {"--nfields 0,1", "error: nfields must be at least 1 in x and in y"},
        {"--nfields 2,-1", "error: nfields must be at least 1 in x and in y"},
        {"-n -1", "error: number must not be negative"},
        {"-b -2", "error: border must not be negative"},
        {"--subfield_border -3", "error: subfield_border must not be negative"},
        {"-x 0", "error: x_column must not be 0 (x column, or minus the RA column)"},
        {"-r -1 img.fits", "error: check radius (-r) must not be negative"},
        {"-r 3", "error: check radius (-r) given but no FITS file to check"},
        {"--boxlen 0", "error: boxlen must be at least 1"},
        {"-n 5x", "error: --number needs a whole number, not '5x'", "5"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.option);
        TempDir dir;
        std::vector<std::string> const args = words("-i cat.txt") + words(c.option);
        RunResult const r = run(args, dir.path());
        EXPECT_EQ(r.status, kStatusRefused);
        EXPECT_EQ(r.out,
                  startText(args) +
                      expectedValueTable({{"input", "cat.txt"},
                                          {optionName(args[2]), c.shown ? c.shown : args[3]}}) +
                      "\n");
        EXPECT_EQ(r.err, std::string(c.notice) + "\n\n");
        EXPECT_FALSE(std::filesystem::exists(dir.file("selected.tbl")));
    }
}

TEST(Psfpick, CompleteRunCreatesTheOutputTable) {
    TempDir dir;
    std::string const catalogue =
        dir.write("cat.txt", "# id x y RA DEC flux\n1 10.0 10.0 0 0 100\n2 20.0 20.0 0 0 200\n");
    std::string const output = dir.write("out.tbl", "stale rows\n");
    // A negative x_column (sky coordinates) is accepted; without an image the
    // pixel positions cannot be computed, which is reported, and the run goes on.
    std::vector<std::string> const args = {"-i", catalogue, "-o", output, "-x", "-4"};
    RunResult const r = run(args, dir.path());
    EXPECT_EQ(r.status, kStatusSuccess) << r.err;
    EXPECT_EQ(r.out,
              startText(args) + "test_counter=1\n\n" + kNotEnough + "  taken=0\n  P.number=1\n\n");
    EXPECT_EQ(r.err,
              kNoColumnsWarning +
                  "Error: no x/y information or CCS given!\nsummary: 0 stars selected in 1 "
                  "subfield (1 asked in each); 1 subfield without a star\nfunnel: 2 rows read, 2 "
                  "taking part, 2 in the field, 1 in the flux band, 1 passing flags, 1 clear of "
                  "variable objects, 1 candidates, 0 visited, 0 stellar, 0 clear of bad pixels, 0 "
                  "with an image, 0 stamp inside the image, 0 fitted, 0 kept after --nchi_reject, "
                  "0 kept after --fwhm_reject, 0 written\nhint: no image was given, so no star "
                  "was measured: give the image as the first file argument, with its error image "
                  "'e.<image>' beside it\n");
    EXPECT_EQ(readFile(output), kTableHeader);

    // The default table name, in the working directory.
    RunResult const d = run({"-i", catalogue}, dir.path());
    EXPECT_EQ(d.status, kStatusSuccess) << d.err;
    EXPECT_TRUE(std::filesystem::exists(dir.file("selected.tbl")));
}

TEST(Psfpick, FailedRunEndsWithStatusOne) {
    TempDir dir;
    std::string const output = dir.file("missing/dir/out.tbl");
    std::vector<std::string> const args = {"-i", "cat.txt", "-o", output};
    RunResult const r = run(args, dir.path());
    EXPECT_EQ(r.status, kStatusRunFailed);
    EXPECT_EQ(r.out, startText(args) + "\n");
    EXPECT_EQ(r.err,
              kNoColumnsWarning + "EXCEPTION: cannot open file '" + output + "' for writing\n");
}

// The examples of README.md: a fenced block after the line "<!-- example -->"
// holds a command ("$ build/apps/psfpick ...", continued on lines that end in
// " \") and, below it, what that run writes on standard error. Each runs in a
// directory where data/ is the repository's and build/demo/ exists.
TEST(Readme, ExamplesShowWhatPsfpickPrints) {
    std::string const readme = readFile(std::string(PSFPICK_SOURCE_DIR) + "/README.md");
    std::string const marker = "<!-- example -->\n```\n";
    int examples = 0;
    for (size_t at = readme.find(marker); at != std::string::npos;
         at = readme.find(marker, at + 1)) {
        size_t const start = at + marker.size();
        std::string const block = readme.substr(start, readme.find("```\n", start) - start);
        std::string command, expected;
        std::istringstream lines(block);
        bool continued = true;
        for (std::string line; std::getline(lines, line);) {
            if (continued) {
                continued = line.size() >= 2 && line.substr(line.size() - 2) == " \\";
                command += " " + (continued ? line.substr(0, line.size() - 2) : line);
            } else {
                expected += line + "\n";
            }
        }
        std::vector<std::string> args = words(command);
        SCOPED_TRACE(command);
        ASSERT_GE(args.size(), 2u);
        ASSERT_EQ(args[0], "$");
        ASSERT_EQ(args[1], "build/apps/psfpick");
        args.erase(args.begin(), args.begin() + 2);
        TempDir dir;
        std::filesystem::create_directory_symlink(std::string(PSFPICK_SOURCE_DIR) + "/data",
                                                  dir.file("data"));
        std::filesystem::create_directories(dir.file("build/demo"));
        RunResult const r = run(args, dir.path());
        EXPECT_EQ(r.status, kStatusSuccess);
        EXPECT_EQ(r.err, expected);
        ++examples;
    }
    EXPECT_GE(examples, 5);
}
