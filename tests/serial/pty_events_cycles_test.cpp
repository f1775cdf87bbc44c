// A thousand opens and closes of a port with an event thread while bytes keep
// arriving, under each sync method: every close ends its thread without a
// deadlock, and nothing is left behind (threads, descriptors).
#include "EventWaits.h"
#include "common/PtyPair.h"

#include "serial/core/ComPort.h"
#include "serial/platform/posix/PortDiagnostics.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

using namespace orbel;

namespace {

constexpr int Cycles = 1000;

// The other end of the line: one byte every millisecond until stopped.
class Talker {
public:
    explicit Talker(int fd)
        : thread_([this, fd] {
              std::uint8_t byte = 0;
              while (!stop_) {
                  // A full line (nobody reading while the port is closed) is no failure.
                  [[maybe_unused]] const ssize_t n = write(fd, &byte, 1);
                  ++byte;
                  std::this_thread::sleep_for(1ms);
              }
          }) {}
    ~Talker() {
        stop_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

std::string SyncName(const ::testing::TestParamInfo<TSyncMethod>& info) {
    const char* names[] = {"ThreadSync", "WindowSync", "None"};
    return names[info.param];
}

class PtyEventCycles : public ::testing::TestWithParam<TSyncMethod> {};

} // namespace

TEST_P(PtyEventCycles, AThousandOpensAndClosesWithBytesFlowing) {
    SetPortDiagnosticSink([](const std::string&) {});
    PtyPair pty;
    TComPort port;
    port.SetPort(pty.SlavePath());
    port.SetEvents({evRxChar, evTxEmpty, evCTS, evError});
    port.SetSyncMethod(GetParam());
    std::atomic<int> fired{0};
    port.OnRxChar = [&](TCustomComPort* sender, std::int32_t count) {
        std::uint8_t bytes[256];
        sender->ReadBytes(bytes, std::min<std::int32_t>(count, sizeof bytes));
        ++fired;
    };
    // What earlier tests posted to the main loop goes first.
    MainLoop().ProcessPending();
    const int threads = ThreadCount();
    const int descriptors = CountEntries("/proc/self/fd");
    const auto start = std::chrono::steady_clock::now();
    {
        Talker talker(pty.MasterFd());
        for (int cycle = 0; cycle < Cycles; ++cycle) {
            const int before = fired;
            port.SetConnected(true);
            ASSERT_TRUE(ServeUntil([&] { return fired > before; })) << "cycle " << cycle;
            port.SetConnected(false);
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%d cycles in %.2f s\n", Cycles, seconds);
    EXPECT_EQ(ThreadCount(), threads);
    EXPECT_EQ(CountEntries("/proc/self/fd"), descriptors);
    port.OnRxChar = nullptr;
    SetPortDiagnosticSink({});
}

INSTANTIATE_TEST_SUITE_P(Sync, PtyEventCycles,
                         ::testing::Values(smThreadSync, smWindowSync, smNone), SyncName);
