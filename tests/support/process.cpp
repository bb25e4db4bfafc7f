#include "tests/support/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <thread>

#include "tests/support/temp_dir.h"

namespace testsupport {

RunResult runProgram(std::string const& program, std::vector<std::string> const& args,
                     std::string const& workdir, int timeoutSeconds) {
    // Output goes to files rather than pipes so a chatty child never blocks.
    TempDir capture;
    std::string const outPath = capture.file("stdout");
    std::string const errPath = capture.file("stderr");

    std::vector<std::string> argvText;
    argvText.push_back(program);
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argvText) argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_t const pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        int const in = open("/dev/null", O_RDONLY);
        int const out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int const err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0) _exit(126);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        if (!workdir.empty() && chdir(workdir.c_str()) != 0) _exit(126);
        execv(program.c_str(), argv.data());
        _exit(127);
    }

    int status = 0;
    auto const deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    while (true) {
        pid_t const done = waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }

    RunResult result;
    if (WIFEXITED(status))
        result.status = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.status = 128 + WTERMSIG(status);
    result.out = readFile(outPath);
    result.err = readFile(errPath);
    return result;
}

}  // namespace testsupport
