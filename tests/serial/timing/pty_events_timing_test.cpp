// Time windows of the event thread on a pseudo-terminal: it sleeps while
// nothing happens (a pseudo-terminal has no modem lines and no error counters,
// so nothing calls for a tick), a byte is reported soon after it arrives, and
// a close ends the wait at once.
#include "EventWaits.h"
#include "PtyPortFixture.h"

#include "serial/core/ComThread.h"
#include "serial/platform/posix/PortDiagnostics.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <set>
#include <string>

using namespace orbel;

namespace {

std::set<std::string> Threads() {
    std::set<std::string> names;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (const dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.') {
                names.insert(entry->d_name);
            }
        }
        closedir(dir);
    }
    return names;
}

long ContextSwitches(const std::string& tid) {
    std::ifstream status("/proc/self/task/" + tid + "/status");
    std::string line;
    long total = 0;
    while (std::getline(status, line)) {
        if (line.find("ctxt_switches:") != std::string::npos) {
            total += std::stol(line.substr(line.find(':') + 1));
        }
    }
    return total;
}

// The thread the port's open added.
std::string OpenAndFindThread(TCustomComPort& port) {
    const auto before = Threads();
    port.SetConnected(true);
    const auto after = Threads();
    std::vector<std::string> added;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                        std::back_inserter(added));
    return added.size() == 1 ? added.front() : std::string();
}

class PtyEventTiming : public PtyPort {
protected:
    void SetUp() override {
        SetPortDiagnosticSink([](const std::string&) {});
        PtyPort::SetUp();
        port.Parity().SetBits(prNone);
        port.SetEvents(AllComEvents);
        port.SetSyncMethod(smNone);
    }
    void TearDown() override {
        port.OnRxChar = nullptr;
        port.SetConnected(false);
        SetPortDiagnosticSink({});
    }
};

// Sends the rest of a reply after a second unless stopped before: a read that
// would wait for it forever ends then, and the test fails instead of hanging.
class LateRescue {
public:
    explicit LateRescue(PtyPair& pty)
        : thread_([this, &pty] {
              std::unique_lock lock(mutex_);
              if (!stopped_.wait_for(lock, std::chrono::seconds(1), [this] { return stop_; })) {
                  pty.Write(std::vector<std::uint8_t>(100, 0x55));
              }
          }) {}
    ~LateRescue() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        stopped_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable stopped_;
    bool stop_ = false;
    std::thread thread_;
};

} // namespace

TEST_F(PtyEventTiming, TheEventThreadSleepsUntilABytesComesAndReportsItAtOnce) {
    std::atomic<bool> fired{false};
    Clock::time_point firedAt;
    port.OnRxChar = [&](TCustomComPort*, std::int32_t) {
        firedAt = Clock::now();
        fired = true;
    };
    const std::string tid = OpenAndFindThread(port);
    ASSERT_FALSE(tid.empty());
    ASSERT_TRUE(WaitUntil([&] { return ThreadSleeping(std::stoi(tid)); }));

    const long switches = ContextSwitches(tid);
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // idle line
    EXPECT_LE(ContextSwitches(tid) - switches, 2) << "the wait ticks";

    const auto sent = Clock::now();
    pty.Write({0x55});
    ASSERT_TRUE(WaitUntil([&] { return fired.load(); }));
    const double latency = std::chrono::duration<double, std::milli>(firedAt - sent).count();
    EXPECT_LT(latency, 20.0);
}

TEST_F(PtyEventTiming, ClosingEndsTheWaitAtOnce) {
    port.SetConnected(true);
    const auto start = Clock::now();
    port.SetConnected(false);
    EXPECT_LT(MsSince(start), 20.0);
}

TEST_F(PtyEventTiming, AHungUpLineLeavesTheThreadAtRestUntilTheClose) {
    const std::string tid = OpenAndFindThread(port);
    ASSERT_FALSE(tid.empty());
    pty.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return ThreadSleeping(std::stoi(tid)); }));
    const long switches = ContextSwitches(tid);
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // a dead line
    EXPECT_LE(ContextSwitches(tid) - switches, 2) << "the wait spins on the hang-up";
    const auto start = Clock::now();
    port.SetConnected(false);
    EXPECT_LT(MsSince(start), 20.0);
}

TEST_F(PtyEventTiming, AReadStartedByAHandlerDuringTheCloseDoesNotHoldItUp) {
    const struct {
        const char* budget;
        std::int32_t interval;
        std::int32_t constant;
    } rows[] = {{"2 s", -1, 2000}, {"none: interval set, totals 0", 0, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.budget);
        port.SetEvents({evRxChar});
        port.SetSyncMethod(smThreadSync);
        port.Timeouts().SetReadInterval(row.interval);
        port.Timeouts().SetReadTotalMultiplier(0);
        port.Timeouts().SetReadTotalConstant(row.constant);
        int code = 0;
        port.OnRxChar = [&](TCustomComPort* sender, std::int32_t) {
            std::uint8_t bytes[100];
            code = PortCodeOf([&] { sender->ReadBytes(bytes, 100); });
        };
        port.SetConnected(true);
        pty.Write({1, 2, 3});
        // The dispatch waits for the main thread, which serves it in the close.
        ASSERT_TRUE(WaitUntil([&] { return !port.MonitorThread()->PendingEvents().Empty(); }));
        const LateRescue rescue(pty);
        const auto start = Clock::now();
        port.SetConnected(false);
        EXPECT_LT(MsSince(start), 50.0);
        EXPECT_EQ(code, CError_ReadFailed);
        port.OnRxChar = nullptr;
    }
}
