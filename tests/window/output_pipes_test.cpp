// The program itself with its output going nowhere: standard output and
// standard error on a pipe whose reader has gone (orbel 2>&1 | head -1).
#include "common/SimProcess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// True once `pid` holds `device` open.
bool HoldsOpen(pid_t pid, const std::string& device) {
    std::error_code ec;
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
        if (fs::read_symlink(fd.path(), ec) == fs::canonical(device, ec)) {
            return true;
        }
    }
    return false;
}

// The child's status once it has ended, or nothing while it runs.
std::optional<int> Ended(pid_t pid) {
    int status = 0;
    return ::waitpid(pid, &status, WNOHANG) == pid ? std::optional<int>(status) : std::nullopt;
}

} // namespace

TEST(OutputPipes, AReaderThatHasGoneEndsNothing) {
    char name[] = "/tmp/orbel-pipes-XXXXXX";
    ASSERT_NE(::mkdtemp(name), nullptr);
    const fs::path dir = name;
    std::ofstream(dir / "user.ini") << "COM1\r\n1\r\n";
    orbel::test::SimProcess sim({"--no-drift"});

    // Everything the child needs is made before the fork.
    const std::string exe = (fs::read_symlink("/proc/self/exe").parent_path() / "orbel").string();
    std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen", "ORBEL_TRACE=/dev/stdout",
                                    "ORBEL_COM1=" + sim.DevicePath(), "HOME=" + dir.string()};
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR")) {
        env.push_back(std::string("XDG_RUNTIME_DIR=") + runtime);
    }
    std::vector<char*> envp;
    for (std::string& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    char* argv[] = {const_cast<char*>(exe.c_str()), nullptr};
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    ::close(out[0]); // the reader is gone before the program writes a line

    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(out[1], STDERR_FILENO);
        if (::chdir(dir.c_str()) == 0) {
            ::execve(exe.c_str(), argv, envp.data());
        }
        ::_exit(127);
    }
    ::close(out[1]);

    // The saved port opens about a second after start, with its line on
    // standard error; the program must still be there well after that.
    std::optional<int> status;
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!(status = Ended(child)) && !HoldsOpen(child, sim.DevicePath()) &&
           Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const auto watchUntil = Clock::now() + std::chrono::milliseconds(700);
    while (!status && Clock::now() < watchUntil) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        status = Ended(child);
    }
    EXPECT_FALSE(status.has_value()) << "ended with status " << status.value_or(0);
    if (!status) {
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
    fs::remove_all(dir);
}
