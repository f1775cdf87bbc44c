// The orbel-sim program as scripts and other tests use it: the first line,
// the link, the log, the signals, the exit codes.
#include "PtyClient.h"
#include "common/PtyPair.h"
#include "common/SimProcess.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <regex>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace orbel::test;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

const Bytes kSignature{0xFF, 0x20, 0x01, 0x99, 0xF0};
const Bytes kSignatureReply{0x01, 0x20, 0x06, 0x01, 0x00, 0x2A, 0x01, 0x03, 0xFD, 0xFA};

class TempDir {
public:
    TempDir() {
        static int counter = 0;
        path_ = fs::temp_directory_path() /
                ("orbel-sim-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
        fs::create_directories(path_);
    }
    ~TempDir() { fs::remove_all(path_); }
    fs::path operator/(const char* name) const { return path_ / name; }

private:
    fs::path path_;
};

std::vector<std::string> ReadLines(const fs::path& file) {
    std::vector<std::string> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The file's lines once it has at least `count`, or what it has at the deadline.
std::vector<std::string> WaitForLines(const fs::path& file, std::size_t count) {
    const auto deadline = Clock::now() + milliseconds(2000);
    auto lines = ReadLines(file);
    while (lines.size() < count && Clock::now() < deadline) {
        ::poll(nullptr, 0, 5);
        lines = ReadLines(file);
    }
    return lines;
}

} // namespace

TEST(SimProgram, PrintsItsDeviceServesAndEndsWithZeroOnEitherSignal) {
    for (const int signal : {SIGTERM, SIGINT}) {
        SimProcess sim;
        EXPECT_TRUE(sim.DevicePath().starts_with("/dev/pts/")) << sim.DevicePath();
        PtyClient tool(sim.DevicePath());
        EXPECT_EQ(tool.Exchange(kSignature, 10), kSignatureReply);
        ASSERT_EQ(::kill(sim.Pid(), signal), 0);
        EXPECT_EQ(sim.WaitForExit(), 0) << "signal " << signal;
    }
}

TEST(SimProgram, MakesItsLinkAndRemovesItAtTheEnd) {
    TempDir dir;
    const fs::path link = dir / "COM1";
    SimProcess sim({"--link", link.string()});
    ASSERT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), sim.DevicePath());
    PtyClient tool(link.string());
    EXPECT_EQ(tool.Exchange(kSignature, 10), kSignatureReply);
    EXPECT_EQ(sim.Stop(), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

TEST(SimProgram, LogsEachFrameOnOneLine) {
    TempDir dir;
    const fs::path log = dir / "frames.log";
    SimProcess sim({"--log", log.string(), "--stray", "2"});
    PtyClient tool(sim.DevicePath());
    EXPECT_EQ(tool.Exchange(kSignature, 12).size(), 12U);
    tool.Write({0xFF, 0x21, 0x01, 0x98, 0x60}); // heard, not answered
    const auto lines = WaitForLines(log, 3);
    ASSERT_EQ(lines.size(), 3U);
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[0], m, std::regex(R"((\d+) RX FF 20 01 99 F0)")));
    const long rx = std::stol(m[1]);
    ASSERT_TRUE(std::regex_match(lines[1], m,
                                 std::regex(R"((\d+) TX 00 00 01 20 06 01 00 2A 01 03 FD FA)")));
    EXPECT_GE(std::stol(m[1]), rx);
    EXPECT_TRUE(std::regex_match(lines[2], std::regex(R"(\d+ RX FF 21 01 98 60)")));
}

TEST(SimProgram, HangupAfterEndsTheProgramWithZeroAndRemovesTheLink) {
    TempDir dir;
    const fs::path link = dir / "COM2";
    SimProcess sim({"--hangup-after", "1", "--link", link.string()});
    PtyClient tool(link.string());
    EXPECT_EQ(tool.Exchange(kSignature, 10), kSignatureReply);
    EXPECT_EQ(sim.WaitForExit(), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    EXPECT_TRUE(tool.Read(1).empty());
    EXPECT_TRUE(tool.HungUp());
}

TEST(SimProgram, ServesATerminalThatExistsUntilItsOtherEndHangsUp) {
    PtyPair wire; // the test is the tool, at the master's end
    SimProcess sim({"--line", wire.SlavePath()});
    EXPECT_EQ(sim.DevicePath(), wire.SlavePath());
    for (int i = 0; i < 2; ++i) {
        wire.Write(kSignature);
        EXPECT_EQ(wire.Read(kSignatureReply.size(), milliseconds(1000)), kSignatureReply);
    }
    wire.CloseMaster();
    EXPECT_EQ(sim.WaitForExit(), 1);
}

TEST(SimProgram, BadOptionsExitWithTwoAndSayWhy) {
    TempDir dir;
    const std::string unwritable = (dir / "missing" / "frames.log").string();
    const std::string aFile = (dir / "a-file").string();
    std::ofstream(aFile) << "not a link\n";
    const std::vector<std::vector<std::string>> bad{
        {"--address", "300"},  {"--readings", "1,2"},
        {"--delay"},           {"--no-such-option"},
        {"--log", unwritable}, {"--line", (dir / "no-device").string()},
        {"--line", aFile},     {"--line", "/dev/null", "--link", (dir / "COM1").string()},
    };
    for (const auto& args : bad) {
        const auto outcome = SimProcess::RunToEnd(args);
        EXPECT_EQ(outcome.exitCode, 2) << args[0];
        EXPECT_TRUE(outcome.out.empty()) << args[0];
        EXPECT_NE(outcome.err.find(args[0]), std::string::npos) << outcome.err;
    }
    EXPECT_FALSE(fs::is_symlink(aFile));
    const auto help = SimProcess::RunToEnd({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.starts_with("Usage: orbel-sim")) << help.out;
}

// Started with its standard streams closed, the program must not take its
// pseudo-terminal for one of them: its device path would go out on the line.
TEST(SimProgram, ClosedStandardStreamsAreNotItsLine) {
    TempDir dir;
    const fs::path link = dir / "COM1";
    const std::string exe = SimProcess::ExecutablePath();
    const std::string linkPath = link.string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        posix_spawn_file_actions_addclose(&actions, fd);
    }
    char* argv[] = {const_cast<char*>(exe.c_str()), const_cast<char*>("--link"),
                    const_cast<char*>(linkPath.c_str()), nullptr};
    pid_t pid = -1;
    ASSERT_EQ(::posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    const auto deadline = Clock::now() + milliseconds(2000);
    while (!fs::is_symlink(link) && Clock::now() < deadline) {
        ::poll(nullptr, 0, 5);
    }
    {
        PtyClient tool(linkPath);
        EXPECT_TRUE(tool.ReadFor(milliseconds(200)).empty()); // nothing it was not asked for
        EXPECT_EQ(tool.Exchange(kSignature, 10), kSignatureReply);
    }
    ::kill(pid, SIGTERM);
    int status = -1;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}
