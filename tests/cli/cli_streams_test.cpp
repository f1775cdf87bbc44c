// orbel-cli's standard streams on a production line: closed ones and output
// that cannot be written (how soon a wait ends: cli_timing_test.cpp).
#include "cli/CliProcess.h"
#include "common/PtyPair.h"
#include "common/SimThread.h"
#include "sim/FrameAssembler.h"
#include "sim/Instrument.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <thread>
#include <unistd.h>

using orbel::test::CliCall;
using orbel::test::CliResult;
using orbel::test::SimThread;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

namespace {

// The instrument on a pseudo-terminal of the test's own: it answers every
// whole request and keeps every byte that came on the line, whatever it is.
class RecordedLine {
public:
    RecordedLine() : thread_([this] { Serve(); }) {}
    ~RecordedLine() { Received(); }
    const std::string& Path() const { return pty_.SlavePath(); }
    // Every byte received, once the program has ended.
    Bytes Received() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
        return received_;
    }

private:
    void Serve() {
        // Held open so that the master never reads a hang-up between programs.
        const int slave = ::open(pty_.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        orbel::sim::FrameAssembler assembler;
        orbel::sim::Options options;
        options.drift = false;
        while (!stop_) {
            pollfd fd{pty_.MasterFd(), POLLIN, 0};
            if (::poll(&fd, 1, 20) <= 0) {
                continue;
            }
            std::uint8_t chunk[256];
            const ssize_t n = ::read(pty_.MasterFd(), chunk, sizeof chunk);
            if (n <= 0) {
                continue;
            }
            received_.insert(received_.end(), chunk, chunk + n);
            const auto frames =
                assembler.Feed({chunk, static_cast<std::size_t>(n)}, Clock::now(), options.address);
            for (const auto& frame : frames) {
                if (auto reply = orbel::sim::Answer(frame, options, {})) {
                    pty_.Write(*reply);
                }
            }
        }
        ::close(slave);
    }

    PtyPair pty_;
    std::atomic<bool> stop_{false};
    Bytes received_;
    std::thread thread_;
};

const Bytes ReadingsRequest = {0xFF, 0x02, 0x01, 0x81, 0x50};
const Bytes SignatureRequest = {0xFF, 0x20, 0x01, 0x99, 0xF0};

Bytes Repeated(const Bytes& frame, int times) {
    Bytes bytes;
    for (int i = 0; i < times; ++i) {
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    return bytes;
}

} // namespace

// A closed stream must not become the port's descriptor: the answers, the
// driver's warning or the tank question's answer would then travel on the
// instrument's line.
TEST(CliStreams, AClosedStandardStreamPutsNothingOnTheLine) {
    const struct {
        const char* redirection;
        std::vector<std::string> args;
        int exitCode;
        Bytes line;
    } cases[] = {
        {">&-",
         {"--json", "readings", "--count", "3", "--every", "0"},
         0,
         Repeated(ReadingsRequest, 3)},
        // The pseudo-terminal refuses mark parity: a warning on standard error.
        {"2>&-", {"readings", "--count", "2", "--every", "0"}, 0, Repeated(ReadingsRequest, 2)},
        // Without a terminal on standard input the question is not asked.
        {"<&-", {"calibrate", "1", "C1", "5"}, 2, {}},
        {">&- 2>&- <&-", {"--json", "signature"}, 0, SignatureRequest},
    };
    for (const auto& c : cases) {
        RecordedLine line;
        std::vector<std::string> args{"--port", line.Path()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliResult result = orbel::test::RunCli(
            {.args = args, .shell = std::string("exec \"$0\" \"$@\" ") + c.redirection});
        EXPECT_EQ(result.exitCode, c.exitCode) << c.redirection << "\n" << result.err;
        EXPECT_EQ(line.Received(), c.line) << c.redirection;
    }
}

TEST(CliStreams, OutputThatCannotBeWrittenEndsWithFive) {
    SimThread sim;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--json", "signature"},
          {"readings", "--count", "0", "--every", "0", "--csv"}}) {
        std::vector<std::string> all{"--port", sim.DevicePath()};
        all.insert(all.end(), args.begin(), args.end());
        const CliResult result = orbel::test::RunCli(
            {.args = all, .env = {"LC_ALL=C"}, .shell = "exec \"$0\" \"$@\" > /dev/full"});
        EXPECT_EQ(result.exitCode, 5) << args[1] << "\n" << result.err;
        EXPECT_NE(result.err.find("orbel-cli: the output could not be written: No space left on "
                                  "device\n"),
                  std::string::npos)
            << result.err;
    }
}

// A full disk mid-line: the file keeps the whole lines it had (4066 bytes),
// not a torn one that the next record would be glued to, whether the output
// appends or writes on from where it stands. A file system of one page in a
// mount namespace of its own.
TEST(CliStreams, AFullFileSystemKeepsWholeLines) {
    SimThread sim;
    const auto dir =
        std::filesystem::temp_directory_path() / ("orbel-cli-full-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string fill = R"(head -c 4065 /dev/zero | tr "\0" x; echo)";
    for (const std::string& run :
         {"{ " + fill + "; } > \"$DIR/out\"; \"$0\" \"$@\" >> \"$DIR/out\"",
          "{ " + fill + "; \"$0\" \"$@\"; } > \"$DIR/out\""}) {
        const std::string script = R"(
            unshare -Urm sh -c '
                mount -t tmpfs -o size=4k none "$DIR" || exit 77
                )" + run + R"(; code=$?
                echo $(wc -c < "$DIR/out") $(tail -c 1 "$DIR/out" | od -An -tx1); exit $code
            ' "$0" "$@")";
        const CliResult result =
            orbel::test::RunCli({.args = {"--port", sim.DevicePath(), "--json", "signature"},
                                 .env = {"DIR=" + dir.string(), "LC_ALL=C"},
                                 .shell = script});
        if (result.exitCode == 77) {
            GTEST_SKIP() << "no mount namespace here: " << result.err;
        }
        EXPECT_EQ(result.exitCode, 5) << run << "\n" << result.err;
        EXPECT_NE(result.err.find("No space left on device"), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "4066 0a\n") << run;
    }
    std::filesystem::remove_all(dir);
}
