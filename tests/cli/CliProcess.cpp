#include "cli/CliProcess.h"
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
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace orbel::test {

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> Environment(const std::vector<std::string>& extra) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const std::string& x : extra) {
            replaced = replaced || x.substr(0, x.find('=')) == name;
        }
        if (!replaced) {
            env.push_back(entry);
        }
    }
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

// The child's standard input: {its side, our side}.
std::array<int, 2> InputPair(bool terminal) {
    if (!terminal) {
        std::array<int, 2> fds{};
        if (::pipe2(fds.data(), O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe2 failed");
        }
        return {fds[0], fds[1]};
    }
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        throw std::runtime_error("no pseudo-terminal");
    }
    const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        throw std::runtime_error("cannot open the terminal's slave side");
    }
    return {slave, master};
}

} // namespace

std::string CliProcess::ExecutablePath() {
    if (const char* given = std::getenv("ORBEL_CLI"); given != nullptr && *given != '\0') {
        return given;
    }
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "orbel-cli").string();
}

CliProcess::CliProcess(const CliCall& call) {
    std::array<int, 2> out{};
    std::array<int, 2> err{};
    if (::pipe2(out.data(), O_CLOEXEC) != 0 || ::pipe2(err.data(), O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe2 failed");
    }
    const std::array<int, 2> in = InputPair(call.terminalInput);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    if (!call.cwd.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, call.cwd.c_str());
    }
    std::vector<std::string> argv{ExecutablePath()};
    if (!call.shell.empty()) {
        argv = {"/bin/sh", "-c", call.shell, ExecutablePath()};
    }
    argv.insert(argv.end(), call.args.begin(), call.args.end());
    std::vector<std::string> env = Environment(call.env);
    // The program may end before it reads its input (a refusal exits at
    // once): writing it must give EPIPE here, not kill the test. The program
    // itself starts with SIGPIPE at its default, as from a shell.
    std::signal(SIGPIPE, SIG_IGN);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &pipe);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    const int rc = posix_spawn(&pid_, argv[0].c_str(), &actions, &attributes, Pointers(argv).data(),
                               Pointers(env).data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    out_ = out[0];
    err_ = err[0];
    in_ = in[1];
    if (rc != 0) {
        reaped_ = true;
        throw std::runtime_error("cannot start " + argv[0]);
    }
    if (!call.input.empty()) {
        [[maybe_unused]] const ssize_t n = ::write(in_, call.input.data(), call.input.size());
    }
    if (!call.terminalInput) {
        ::close(in_); // the program reads the end of its input
        in_ = -1;
    }
}

CliProcess::~CliProcess() {
    if (!reaped_) {
        ::kill(pid_, SIGKILL);
        Finish(std::chrono::seconds(5));
    }
    for (const int fd : {out_, err_, in_}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void CliProcess::Signal(int signal) {
    ::kill(pid_, signal);
}

void CliProcess::Type(const std::string& text) {
    [[maybe_unused]] const ssize_t n = ::write(in_, text.data(), text.size());
}

bool CliProcess::WaitForError(const std::string& text, std::size_t times,
                              std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    const auto seen = [&] {
        std::size_t count = 0;
        for (std::size_t at = errSoFar_.find(text); at != std::string::npos;
             at = errSoFar_.find(text, at + text.size())) {
            ++count;
        }
        return count;
    };
    while (seen() < times && Clock::now() < deadline) {
        pollfd fd{err_, POLLIN, 0};
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (::poll(&fd, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        char chunk[4096];
        const ssize_t n = ::read(err_, chunk, sizeof chunk);
        if (n > 0) {
            errSoFar_.append(chunk, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break; // standard error has ended
        }
    }
    return seen() >= times;
}

void CliProcess::CloseOutput() {
    ::close(out_);
    out_ = -1;
}

CliResult CliProcess::Finish(std::chrono::milliseconds timeout) {
    CliResult result;
    result.err = errSoFar_;
    // Both are closed by the destructor.
    const bool ended = ReadToEnd(out_, err_, result.out, result.err, Clock::now() + timeout);
    if (!ended) {
        ::kill(pid_, SIGKILL); // still writing at the deadline
    }
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    reaped_ = true;
    if (ended) {
        result.exitCode = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
    }
    return result;
}

} // namespace orbel::test
