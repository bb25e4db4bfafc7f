// Runs a program as a child process and captures what it wrote, for the
// end-to-end tests of the built executables.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

struct RunResult {
    int status = -1;  // exit status 0..255; 128 + signal number when killed by a signal
    std::string out;  // everything written to standard output
    std::string err;  // everything written to standard error
};

// Runs program with args (argv[0] is program itself) in directory workdir
// (empty = the current one), standard input from /dev/null. A run that takes
// longer than timeoutSeconds is killed (status 128 + SIGKILL).
RunResult runProgram(std::string const& program, std::vector<std::string> const& args,
                     std::string const& workdir = "", int timeoutSeconds = 300);

}  // namespace testsupport
