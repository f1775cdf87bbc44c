// orbel-sim as a child process, for tests of the program itself and for end
// to end runs against a separate process.
//
//   SimProcess sim({"--silent"});       // started; its first line was read
//   open(sim.DevicePath().c_str(), ...);
//   EXPECT_EQ(sim.Stop(), 0);           // SIGTERM, reaped
//
// The program is looked up next to the running test executable (both land in
// build/bin); the environment variable ORBEL_SIM overrides that. Standard
// error is shared with the test. The destructor stops and reaps the child,
// killing it when SIGTERM does not end it in time.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace orbel::test {

class SimProcess {
public:
    static constexpr std::chrono::milliseconds kDefaultWait{5000};

    // Starts the program with `args` and reads the device path from its first
    // line. Throws std::runtime_error when it cannot start or prints no path.
    explicit SimProcess(std::vector<std::string> args = {},
                        std::chrono::milliseconds timeout = kDefaultWait);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    const std::string& DevicePath() const { return devicePath_; }
    pid_t Pid() const { return pid_; }

    // Sends SIGTERM and reaps the child. Returns its exit code (128 + the
    // signal when a signal ended it), or nothing when it did not end in time
    // (it is then killed). Once reaped, returns the same code again.
    std::optional<int> Stop(std::chrono::milliseconds timeout = kDefaultWait);

    // Waits for the child to end by itself (after a hang-up, say), without a
    // signal. Nothing when it is still running at the deadline.
    std::optional<int> WaitForExit(std::chrono::milliseconds timeout = kDefaultWait);

    // The program that is started.
    static std::string ExecutablePath();

    // Runs the program to its end and collects what it printed. exitCode is
    // nothing when it did not end in time (it is then killed).
    struct Outcome {
        std::optional<int> exitCode;
        std::string out;
        std::string err;
    };
    static Outcome RunToEnd(const std::vector<std::string>& args,
                            std::chrono::milliseconds timeout = kDefaultWait);

private:
    pid_t pid_ = -1;
    int pidFd_ = -1;
    int stdout_ = -1;
    bool reaped_ = false;
    std::optional<int> exitCode_;
    std::string devicePath_;
};

} // namespace orbel::test
