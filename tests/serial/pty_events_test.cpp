// Line events from a real pseudo-terminal: received bytes reach OnRxChar on
// the thread the sync method names, with the count waiting, and the event
// wait never takes a byte itself.
#include "EventWaits.h"
#include "FakePortFixture.h"
#include "common/PtyPair.h"

#include "serial/core/ComThread.h"
#include "serial/platform/posix/PortDiagnostics.h"

#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <vector>

using namespace orbel;

namespace {

class PtyEvents : public ::testing::TestWithParam<TSyncMethod> {
protected:
    void SetUp() override {
        SetPortDiagnosticSink([](const std::string&) {});
        port.SetPort(pty.SlavePath());
        port.SetEvents({evRxChar});
        port.SetSyncMethod(GetParam());
    }
    void TearDown() override {
        port.OnRxChar = nullptr;
        port.SetConnected(false);
        SetPortDiagnosticSink({});
    }
    // Each firing: the count and whether it ran on the main thread.
    void Record() {
        port.OnRxChar = [this](TCustomComPort* sender, std::int32_t count) {
            std::lock_guard lock(mutex);
            fired.push_back(
                {count, std::this_thread::get_id() == mainThread, sender->BytesWaiting()});
        };
    }
    std::size_t Fired() {
        std::lock_guard lock(mutex);
        return fired.size();
    }

    struct TFiring {
        std::int32_t count;
        bool onMainThread;
        std::int32_t waiting;
    };
    PtyPair pty;
    TComPort port;
    std::mutex mutex;
    std::vector<TFiring> fired;
    const std::thread::id mainThread = std::this_thread::get_id();
};

using PtyEventsOnMainThread = PtyEvents;

std::string SyncName(const ::testing::TestParamInfo<TSyncMethod>& info) {
    const char* names[] = {"ThreadSync", "WindowSync", "None"};
    return names[info.param];
}

} // namespace

TEST_P(PtyEvents, ThreeBytesFireOnRxChar) {
    Record();
    port.SetConnected(true);
    pty.Write({1, 2, 3});
    ASSERT_TRUE(ServeUntil([&] { return Fired() > 0 && fired.back().count == 3; }));
    std::lock_guard lock(mutex);
    for (const TFiring& firing : fired) {
        EXPECT_EQ(firing.onMainThread, GetParam() != smNone);
        EXPECT_EQ(firing.waiting, firing.count); // the count is what is waiting
    }
    // The wait took none of them.
    std::uint8_t bytes[4] = {};
    EXPECT_EQ(port.ReadBytes(bytes, 4), 3);
    EXPECT_EQ(bytes[2], 3);
}

TEST_P(PtyEventsOnMainThread, BytesReadBeforeTheServicingFireNothing) {
    Record();
    port.SetConnected(true);
    pty.Write({1, 2, 3});
    // The event is on its way to the main thread, which reads the bytes first.
    ASSERT_TRUE(WaitUntil([&] { return !port.MonitorThread()->PendingEvents().Empty(); }));
    std::uint8_t bytes[3] = {};
    ASSERT_EQ(port.ReadBytes(bytes, 3), 3);
    pty.Write({4, 5});
    ASSERT_TRUE(ServeUntil([&] { return Fired() > 0; }));
    std::lock_guard lock(mutex);
    for (const TFiring& firing : fired) {
        EXPECT_EQ(firing.count, 2); // only the later bytes, never the three read
    }
}

INSTANTIATE_TEST_SUITE_P(Sync, PtyEvents, ::testing::Values(smThreadSync, smWindowSync, smNone),
                         SyncName);
INSTANTIATE_TEST_SUITE_P(Sync, PtyEventsOnMainThread, ::testing::Values(smThreadSync, smWindowSync),
                         SyncName);
