// Shared pieces of the end-to-end tests of the built psfpick: command lines
// written as one string, the start text every run prints, a run with the
// table it writes, the texts of the output table and of the run's warnings.
#pragma once

#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

namespace e2e {

// Exit statuses as a caller of psfpick sees them.
constexpr int kStatusSuccess = 0;
constexpr int kStatusRunFailed = 1;
constexpr int kStatusRefused = 255;

// The blank-separated words of text: "-i cat.txt -n 2" gives three arguments.
inline std::vector<std::string> words(std::string const& text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

// The echo of the command line and the banner that start every run.
inline std::string startText(std::vector<std::string> const& args) {
    std::string echo = std::string("\n") + PSFPICK_EXE + " ";
    for (auto const& a : args) echo += a + " ";
    return echo + "\n\nsource code date: 2014/02/14\n\n";
}

// A run under a limit of 64 open files: psfpick holds no file open between
// reads, so a hundred file arguments need only a handful of descriptors.
inline testsupport::RunResult run(std::vector<std::string> const& args, std::string const& dir) {
    std::vector<std::string> shell = {"-c", "ulimit -n 64 && exec \"$0\" \"$@\"", PSFPICK_EXE};
    shell.insert(shell.end(), args.begin(), args.end());
    return testsupport::runProgram("/bin/sh", shell, dir, 60);
}

// A run in dir and the output table out.tbl it leaves there (kNoTable when
// it leaves none; an older one is removed first).
inline std::string const kNoTable = "<no table>";

struct TableRun {
    testsupport::RunResult result;
    std::string table;
};

inline TableRun runIn(std::string const& dir, std::vector<std::string> const& args) {
    std::string const table = dir + "/out.tbl";
    std::filesystem::remove(table);
    testsupport::RunResult const r = run(args, dir);
    return {r, std::filesystem::exists(table) ? testsupport::readFile(table) : kNoTable};
}

inline std::string const kTableHeader =
    "#     id          x          y              RA             DEC          flux\n#\n";

// A text of tests/apps/expected/: long expected texts kept as data.
inline std::string expectedText(std::string const& name) {
    return testsupport::readFile(std::string(PSFPICK_SOURCE_DIR) + "/tests/apps/expected/" + name);
}

// The lines of text, each with its newline.
inline std::vector<std::string> lines(std::string const& text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) out.push_back(line + "\n");
    return out;
}

// Standard error without the summary that ends a selecting run (its lines
// "summary: ", "funnel: " and "hint: "), for tests of the other messages; the
// summary itself is compared whole in psfpick_run_test.cpp.
inline std::string withoutSummary(std::string const& err) {
    return std::regex_replace(err, std::regex("(^|\n)summary: .*\nfunnel: [\\s\\S]*$"), "$1");
}

}  // namespace e2e
