// End-to-end runs of the built psfpick: stdout, stderr, the exit status and the
// output table, compared byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

using testsupport::readFile;
using testsupport::runProgram;
using testsupport::RunResult;
using testsupport::TempDir;

namespace {

// Exit statuses as a caller of psfpick sees them.
constexpr int kStatusSuccess = 0;
constexpr int kStatusRunFailed = 1;
constexpr int kStatusRefused = 255;

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
};

std::string padRight(std::string text, std::size_t width) {
    if (text.size() < width) text.append(width - text.size(), ' ');
    return text;
}

std::string padLeft(std::string const& text, std::size_t width) {
    return text.size() < width ? std::string(width - text.size(), ' ') + text : text;
}

// The value table: options sorted by name, name in 16 columns, short form,
// default right-aligned in 26 columns, then the value. `changed` replaces the
// listed value of the named option.
std::string expectedValueTable(std::string const& changedName = "",
                               std::string const& changedValue = "") {
    std::vector<OptionRow> rows = kOptions;
    std::sort(rows.begin(), rows.end(), [](OptionRow const& a, OptionRow const& b) {
        return std::string(a.name) < std::string(b.name);
    });
    std::string table;
    for (OptionRow const& r : rows) {
        std::string const value = r.name == changedName ? changedValue : r.value;
        table += padRight(r.name, 16) + " | " + (r.shortForm ? r.shortForm : ' ') + " | " +
                 padLeft(r.defaultText, 26) + " | " + value + "\n";
    }
    return table;
}

// The usage text in registration order. All usage texts are short enough for
// one line below column 72.
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

// The echo of the command line and the banner that start every run.
std::string expectedStart(std::vector<std::string> const& args) {
    std::string echo = std::string("\n") + PSFPICK_EXE + " ";
    for (auto const& a : args) echo += a + " ";
    return echo + "\n\nsource code date: 2014/02/14\n\n";
}

RunResult run(std::vector<std::string> const& args, std::string const& workdir = "") {
    return runProgram(PSFPICK_EXE, args, workdir, 60);
}

// A small catalogue: id x y RA DEC flux.
constexpr char kCatalogue[] =
    "# id x y RA DEC flux\n"
    "1 10.0 10.0 0 0 100\n"
    "2 20.0 20.0 0 0 200\n";

}  // namespace

TEST(Psfpick, NoArgumentsIsRefused) {
    TempDir dir;
    RunResult const r = run({}, dir.path());
    EXPECT_EQ(r.status, kStatusRefused);
    EXPECT_EQ(r.out, expectedStart({}) + expectedValueTable() + "\n");
    EXPECT_EQ(r.err, "error: no input table given (--input)\n\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("selected.tbl")));
}

TEST(Psfpick, UnknownOptionsPrintTableAndUsage) {
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    for (Case const& c :
         {Case{{"--nosuch"}, "Unknown long option 'nosuch' encountered!"},
          Case{{"-q", "cat.txt"}, "Unknown short option 'q' encountered!"},
          Case{{"-i", "cat.txt", "-v"}, "No more argument values left!"},
          Case{{"-n", "-x"}, "Token '-x' does not seem like a valid value!"},
          Case{{"--nfields", "1,2,3"}, "Too many elements in IntArrayOption nfields!"}}) {
        TempDir dir;
        RunResult const r = run(c.args, dir.path());
        EXPECT_EQ(r.status, kStatusRefused) << c.message;
        EXPECT_EQ(r.err, "Caught exception : " + c.message +
                             "\nerror: invalid command line (see the usage text)\n\n");
        // Options parsed before the error keep their values in the table.
        std::string const table = c.args[0] == "-i" ? expectedValueTable("input", "cat.txt")
                                  : c.args[0] == "--nfields" ? expectedValueTable("nfields", "1,2")
                                                             : expectedValueTable();
        EXPECT_EQ(r.out, expectedStart(c.args) + table + "\n" + expectedUsage()) << c.message;
        EXPECT_FALSE(std::filesystem::exists(dir.file("selected.tbl")));
    }
}

TEST(Psfpick, InvalidValuesAreRefused) {
    struct Case {
        std::vector<std::string> args;  // after "-i cat.txt"
        std::string name;               // option whose listed value changes
        std::string value;
        std::string notice;
    };
    for (Case const& c : {
             Case{{"--nfields", "0,1"},
                  "nfields",
                  "0,1",
                  "error: nfields must be at least 1 in x and in y"},
             Case{{"--nfields", "2,-1"},
                  "nfields",
                  "2,-1",
                  "error: nfields must be at least 1 in x and in y"},
             Case{{"-n", "-1"}, "number", "-1", "error: number must not be negative"},
             Case{{"-b", "-2"}, "border", "-2", "error: border must not be negative"},
             Case{{"--subfield_border", "-3"},
                  "subfield_border",
                  "-3",
                  "error: subfield_border must not be negative"},
             Case{{"-x", "0"},
                  "x_column",
                  "0",
                  "error: x_column must not be 0 (x column, or minus the RA column)"},
             Case{{"-r", "-1", "img.fits"},
                  "check radius",
                  "-1",
                  "error: check radius (-r) must not be negative"},
             Case{{"-r", "3"},
                  "check radius",
                  "3",
                  "error: check radius (-r) given but no FITS file to check"},
             Case{{"--boxlen", "0"}, "boxlen", "0", "error: boxlen must be at least 1"},
         }) {
        TempDir dir;
        std::vector<std::string> args = {"-i", "cat.txt"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        RunResult const r = run(args, dir.path());
        EXPECT_EQ(r.status, kStatusRefused) << c.notice;
        std::string table = expectedValueTable(c.name, c.value);
        std::string const input = "input            | i |                            | ";
        table.replace(table.find(input), input.size() + 1, input + "cat.txt\n");
        EXPECT_EQ(r.out, expectedStart(args) + table + "\n");
        EXPECT_EQ(r.err, c.notice + "\n\n");
        EXPECT_FALSE(std::filesystem::exists(dir.file("selected.tbl")));
    }
}

TEST(Psfpick, CompleteRunCreatesTheOutputTable) {
    TempDir dir;
    std::string const catalogue = dir.write("cat.txt", kCatalogue);
    std::string const output = dir.write("out.tbl", "stale rows\n");
    // A negative x_column (sky coordinates) is accepted; without an image the
    // pixel positions cannot be computed, which is reported, and the run goes on.
    std::vector<std::string> const args = {"-i", catalogue, "-o", output, "-x", "-4"};
    RunResult const r = run(args, dir.path());
    EXPECT_EQ(r.status, kStatusSuccess) << r.err;
    EXPECT_EQ(r.out, expectedStart(args) +
                         "test_counter=1\n\n"
                         "warning: not enough stars-> lower min_thresh or increase max_thresh!!!\n"
                         "  taken=0\n  P.number=1\n\n");
    EXPECT_EQ(r.err, "Error: no x/y information or CCS given!\n");
    EXPECT_EQ(readFile(output),
              "#     id          x          y              RA             DEC          flux\n#\n");

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
    EXPECT_EQ(r.out, expectedStart(args) + "\n");
    EXPECT_EQ(r.err, "EXCEPTION: cannot open file '" + output + "' for writing\n");
}
