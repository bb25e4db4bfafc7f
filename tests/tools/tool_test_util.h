// Helpers shared by the companion-tool tests: program paths, the data lines
// of a text and one mock field written once per test binary.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "tests/support/messages.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

namespace tooltest {

using testsupport::messageOf;
using testsupport::readFile;
using testsupport::runProgram;
using testsupport::RunResult;
using testsupport::TempDir;

// Path of a built companion program; psfpick-batch is a script of the sources.
inline std::string tool(std::string const& name) {
    if (name == "psfpick-batch") return std::string(PSFPICK_SOURCE_DIR) + "/tools/psfpick-batch";
    return std::string(PSFPICK_TOOLS_DIR) + "/" + name;
}

// The lines of text that are neither empty nor comments ("#").
inline size_t dataLines(std::string const& text) {
    std::istringstream in(text);
    size_t n = 0;
    for (std::string line; std::getline(in, line);) n += !line.empty() && line[0] != '#';
    return n;
}

// A file of the mock field f.fits (with e.f.fits, f.cat, f.truth): 512 x 512
// pixels, 300 stars a tenth of them in close pairs, the FWHM of 5 pixels
// varying over the field. Written once, in a folder the tests only read.
inline std::string mockFile(std::string const& name) {
    static TempDir const dir;
    static RunResult const mock = runProgram(
        tool("psfpick-mock"),
        {"-o", "f.fits", "--size", "512", "-n", "300", "--fwhm", "5", "--ellipticity", "0.15",
         "--flux-range", "2000,3e5", "--pairs", "0.1", "--seed", "4", "--fwhm-slope", "2,-1"},
        dir.path());
    EXPECT_EQ(mock.status, 0) << mock.err;
    EXPECT_EQ(mock.err, "");
    return dir.file(name);
}

}  // namespace tooltest
