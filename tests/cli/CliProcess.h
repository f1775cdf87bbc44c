// orbel-cli as a child process for tests: arguments, extra environment, a
// working folder, and standard input from a pipe or from a pseudo-terminal
// (so that the program sees a terminal and asks its question).
//
//   CliProcess cli({.args = {"--port", sim.DevicePath(), "signature"}});
//   const auto result = cli.Finish();
//   EXPECT_EQ(result.exitCode, 0);
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace orbel::test {

struct CliCall {
    std::vector<std::string> args{};
    std::vector<std::string> env{}; // "NAME=value", added to the test's environment
    std::string cwd{};              // empty: the test's own
    bool terminalInput = false;     // standard input is a pseudo-terminal
    std::string input{};            // written to standard input at the start
    // When given, run through /bin/sh -c with this script instead, the
    // program as "$0" and the arguments as "$@" ("$0" "$@" >&- closes its
    // standard output).
    std::string shell{};
};

struct CliResult {
    std::optional<int> exitCode; // nothing when it did not end in time (then killed)
    std::string out;
    std::string err;
};

class CliProcess {
public:
    explicit CliProcess(const CliCall& call);
    ~CliProcess();
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    void Signal(int signal);
    // Types `text` on the program's terminal (terminalInput only).
    void Type(const std::string& text);
    // Reads standard error until `text` has appeared `times` times in it or
    // the time runs out; true when it has. Finish gives what was read here too.
    bool WaitForError(const std::string& text, std::size_t times,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Closes our end of the program's standard output, as a reader that has
    // gone would (`orbel-cli ... | head -1`).
    void CloseOutput();
    // Collects the output until the program ends or the time runs out.
    CliResult Finish(std::chrono::milliseconds timeout = std::chrono::seconds(10));

    // build/bin/orbel-cli beside the test, or $ORBEL_CLI.
    static std::string ExecutablePath();

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    int in_ = -1; // the pipe's write end or the terminal's master side
    bool reaped_ = false;
    std::string errSoFar_; // read by WaitForError
};

inline CliResult RunCli(const CliCall& call) {
    return CliProcess(call).Finish();
}

} // namespace orbel::test
