// Helpers shared by the companion-tool tests: program paths and numeric rows
// of text.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/support/messages.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

namespace tooltest {

using testsupport::readFile;
using testsupport::runProgram;
using testsupport::RunResult;
using testsupport::TempDir;

// The message of the exception a call throws, or "" when it throws none.
template <class Call>
std::string errorOf(Call&& call) {
    return testsupport::messageOf<std::exception>(call);
}

// Path of a built companion program.
inline std::string tool(std::string const& name) {
    return std::string(PSFPICK_TOOLS_DIR) + "/" + name;
}

// The lines of text made of numbers only, each with at least minColumns.
inline std::vector<std::vector<double>> numberRows(std::string const& text, size_t minColumns) {
    std::vector<std::vector<double>> rows;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::istringstream row(line);
        std::vector<double> v;
        for (double d; row >> d;) v.push_back(d);
        if (row.eof() && v.size() >= minColumns) rows.push_back(v);
    }
    return rows;
}

}  // namespace tooltest
