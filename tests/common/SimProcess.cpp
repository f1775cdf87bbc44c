#include "common/SimProcess.h"
#include "common/ReadToEnd.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace orbel::test {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

struct Child {
    pid_t pid = -1;
    int pidFd = -1;
    int out = -1;
    int err = -1;
};

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

Child Spawn(const std::vector<std::string>& args, bool captureErr) {
    const std::string exe = SimProcess::ExecutablePath();
    std::array<int, 2> out{-1, -1};
    std::array<int, 2> err{-1, -1};
    if (pipe2(out.data(), O_CLOEXEC) != 0 || (captureErr && pipe2(err.data(), O_CLOEXEC) != 0)) {
        throw std::runtime_error("pipe2 failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    if (captureErr) {
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(exe.c_str()));
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    Child child;
    const int rc = posix_spawn(&child.pid, exe.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (captureErr) {
        ::close(err[1]);
    }
    if (rc != 0) {
        ::close(out[0]);
        if (captureErr) {
            ::close(err[0]);
        }
        throw std::runtime_error("cannot start " + exe);
    }
    child.out = out[0];
    child.err = err[0];
    child.pidFd = static_cast<int>(::syscall(SYS_pidfd_open, child.pid, 0));
    return child;
}

int DecodeStatus(int status) {
    if (WIFSIGNALED(status)) {
        return 128 + WTERMSIG(status);
    }
    return WEXITSTATUS(status);
}

// Waits for the child until the deadline without spinning: on its pidfd, or
// (on a kernel without pidfds) in short naps.
std::optional<int> Reap(pid_t pid, int pidFd, Clock::time_point deadline) {
    for (;;) {
        int status = 0;
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            return DecodeStatus(status);
        }
        if (r < 0 && errno != EINTR) {
            return std::nullopt;
        }
        const int left = MillisecondsLeft(deadline);
        if (left == 0) {
            return std::nullopt;
        }
        pollfd fd{pidFd, POLLIN, 0};
        ::poll(pidFd >= 0 ? &fd : nullptr, pidFd >= 0 ? 1 : 0, pidFd >= 0 ? left : 5);
    }
}

void Kill(pid_t pid) {
    ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

// Reads until a line end, the end of the stream or the deadline.
std::optional<std::string> ReadLine(int fd, Clock::time_point deadline) {
    std::string text;
    std::array<char, 256> chunk{};
    while (text.find('\n') == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        const int left = MillisecondsLeft(deadline);
        if (left == 0 || ::poll(&p, 1, left) == 0) {
            return std::nullopt;
        }
        const ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n == 0) {
            return std::nullopt;
        }
        if (n > 0) {
            text.append(chunk.data(), static_cast<std::size_t>(n));
        }
    }
    return text.substr(0, text.find('\n'));
}

} // namespace

std::string SimProcess::ExecutablePath() {
    if (const char* given = std::getenv("ORBEL_SIM"); given != nullptr && *given != '\0') {
        return given;
    }
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "orbel-sim").string();
}

SimProcess::SimProcess(std::vector<std::string> args, std::chrono::milliseconds timeout) {
    const Child child = Spawn(args, false);
    pid_ = child.pid;
    pidFd_ = child.pidFd;
    stdout_ = child.out;
    auto line = ReadLine(stdout_, Clock::now() + timeout);
    if (!line || line->empty() || line->front() != '/') {
        const auto code = Stop(milliseconds(1000));
        ::close(stdout_);
        if (pidFd_ >= 0) {
            ::close(pidFd_);
        }
        throw std::runtime_error("orbel-sim printed no device path (exit code " +
                                 (code ? std::to_string(*code) : std::string("none")) + ")");
    }
    devicePath_ = std::move(*line);
}

SimProcess::~SimProcess() {
    Stop();
    ::close(stdout_);
    if (pidFd_ >= 0) {
        ::close(pidFd_);
    }
}

std::optional<int> SimProcess::Stop(std::chrono::milliseconds timeout) {
    if (reaped_) {
        return exitCode_;
    }
    ::kill(pid_, SIGTERM);
    exitCode_ = Reap(pid_, pidFd_, Clock::now() + timeout);
    if (!exitCode_) {
        Kill(pid_);
    }
    reaped_ = true;
    return exitCode_;
}

std::optional<int> SimProcess::WaitForExit(std::chrono::milliseconds timeout) {
    if (reaped_) {
        return exitCode_;
    }
    exitCode_ = Reap(pid_, pidFd_, Clock::now() + timeout);
    reaped_ = exitCode_.has_value();
    return exitCode_;
}

SimProcess::Outcome SimProcess::RunToEnd(const std::vector<std::string>& args,
                                         std::chrono::milliseconds timeout) {
    const Child child = Spawn(args, true);
    const auto deadline = Clock::now() + timeout;
    Outcome outcome;
    ReadToEnd(child.out, child.err, outcome.out, outcome.err, deadline);
    outcome.exitCode = Reap(child.pid, child.pidFd, deadline);
    if (!outcome.exitCode) {
        Kill(child.pid);
    }
    ::close(child.out);
    ::close(child.err);
    if (child.pidFd >= 0) {
        ::close(child.pidFd);
    }
    return outcome;
}

} // namespace orbel::test
