// The close of a port with an event thread against the port's own handlers:
// what they start while it runs, a handler closing the port again, a close
// from a thread other than the opener's, and a handler that destroys its port.
#include "EventWaits.h"
#include "FakePortFixture.h"

#include "base/CatchAll.h"
#include "serial/core/ComThread.h"

#include <atomic>
#include <cerrno>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace orbel;

namespace {

class ClosingPort : public FakePort {
protected:
    void SetUp() override {
        FakePort::SetUp();
        SetExceptionReport([this](const std::exception& e) { reported.push_back(e.what()); });
    }
    void TearDown() override {
        port.OnRxChar = nullptr;
        port.OnCTSChange = port.OnDSRChange = port.OnRLSDChange = nullptr;
        port.OnBeforeClose = port.OnAfterClose = nullptr;
        port.SetConnected(false);
        SetExceptionReport(nullptr);
    }
    // Open with a received character on its way to the main thread, which
    // has not served it yet.
    void OpenWithEventWaiting(TSyncMethod sync) {
        port.SetEvents({evRxChar});
        port.SetSyncMethod(sync);
        const int waits = fake.EventWaits();
        port.SetConnected(true);
        ASSERT_TRUE(WaitUntil([&] { return fake.EventWaits() > waits; }));
        fake.SetInQueue(1);
        fake.RaiseEvents(EventMask::RxChar);
        ASSERT_TRUE(WaitUntil([&] { return !port.MonitorThread()->PendingEvents().Empty(); }));
    }
    // The port's close and open events, in order.
    void RecordCloseEvents(std::vector<std::string>& fired) {
        port.OnCTSChange = [&](TCustomComPort*, bool on) {
            fired.push_back(on ? "CTS 1" : "CTS 0");
        };
        port.OnDSRChange = [&](TCustomComPort*, bool on) {
            fired.push_back(on ? "DSR 1" : "DSR 0");
        };
        port.OnRLSDChange = [&](TCustomComPort*, bool on) {
            fired.push_back(on ? "CD 1" : "CD 0");
        };
        port.OnBeforeClose = [&](TCustomComPort*) { fired.push_back("BeforeClose"); };
        port.OnAfterClose = [&](TCustomComPort*) { fired.push_back("AfterClose"); };
    }

    std::vector<std::string> reported;
};

class ClosingPortOnMainThread : public ClosingPort,
                                public ::testing::WithParamInterface<TSyncMethod> {};

// The port code and system code of the EComPort a call raises.
template <typename Call> std::pair<int, int> FailureOf(Call&& call) {
    try {
        call();
    } catch (const EComPort& e) {
        return {e.PortCode(), e.SystemCode()};
    }
    return {0, 0};
}

bool Called(const TFakeComPlatform& fake, const std::string& prefix) {
    for (const auto& call : fake.Calls()) {
        if (call.rfind(prefix, 0) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

TEST_F(ClosingPort, TransfersStartedOnceTheAbortHasBegunFailAtOnceAsCancelled) {
    OpenWithEventWaiting(smThreadSync);
    std::pair<int, int> lastWords;
    std::pair<int, int> read;
    std::pair<int, int> written;
    port.OnBeforeClose = [&](TCustomComPort* sender) {
        lastWords = FailureOf([&] { sender->WriteBytes("bye", 3); });
    };
    // Served while the close stops the event thread.
    port.OnRxChar = [&](TCustomComPort* sender, std::int32_t) {
        std::uint8_t bytes[100];
        read = FailureOf([&] { sender->ReadBytes(bytes, 100); });
        written = FailureOf([&] { sender->WriteBytes(bytes, 1); });
    };
    fake.ClearCalls();
    port.SetConnected(false);
    EXPECT_EQ(lastWords, std::make_pair(0, 0)); // before the abort a transfer still goes out
    EXPECT_EQ(read, std::make_pair(int(CError_ReadFailed), ECANCELED));
    EXPECT_EQ(written, std::make_pair(int(CError_WriteFailed), ECANCELED));
    EXPECT_FALSE(Called(fake, "StartRead"));
    EXPECT_EQ(fake.Written().size(), 1u);

    // The next open transfers again.
    port.OnRxChar = nullptr;
    port.OnBeforeClose = nullptr;
    port.SetConnected(true);
    std::uint8_t byte = 0;
    EXPECT_NO_THROW(port.ReadBytes(&byte, 1));
    EXPECT_TRUE(Called(fake, "StartRead"));
}

TEST_F(ClosingPort, AHandlerClosingThePortAgainFiresTheCloseEventsOnce) {
    enum class TFrom { BeforeClose, SignalChange, EventServedDuringTheClose };
    for (const TFrom from :
         {TFrom::BeforeClose, TFrom::SignalChange, TFrom::EventServedDuringTheClose}) {
        SCOPED_TRACE(static_cast<int>(from));
        OpenWithEventWaiting(smThreadSync);
        std::vector<std::string> fired;
        RecordCloseEvents(fired);
        bool closedAgain = false; // once: a close that nests again would never end
        const auto closeAgain = [&](TCustomComPort* sender) {
            if (!std::exchange(closedAgain, true)) {
                sender->ClosePort();
            }
        };
        switch (from) {
        case TFrom::BeforeClose:
            port.OnBeforeClose = [&](TCustomComPort* sender) {
                fired.push_back("BeforeClose");
                closeAgain(sender);
            };
            break;
        case TFrom::SignalChange:
            port.OnDSRChange = [&](TCustomComPort* sender, bool) {
                fired.push_back("DSR 0");
                closeAgain(sender);
            };
            break;
        case TFrom::EventServedDuringTheClose:
            port.OnRxChar = [&](TCustomComPort* sender, std::int32_t) { closeAgain(sender); };
            break;
        }
        EXPECT_NO_THROW(port.SetConnected(false));
        EXPECT_FALSE(port.Connected());
        EXPECT_EQ(fired, (std::vector<std::string>{"CTS 0", "DSR 0", "CD 0", "BeforeClose",
                                                   "AfterClose"}));
        // The handlers hold this round's locals.
        port.OnRxChar = nullptr;
        port.OnCTSChange = port.OnDSRChange = port.OnRLSDChange = nullptr;
        port.OnBeforeClose = port.OnAfterClose = nullptr;
    }
    EXPECT_TRUE(reported.empty());
}

TEST_P(ClosingPortOnMainThread, AForeignThreadsCloseRunsNoHandlerOnItsThread) {
    OpenWithEventWaiting(GetParam());
    std::atomic<int> fired{0};
    port.OnRxChar = [&](TCustomComPort*, std::int32_t) { ++fired; };
    std::thread closer([&] { port.SetConnected(false); });
    closer.join(); // the main thread serves nothing meanwhile
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.MonitorThread(), nullptr);
    EXPECT_EQ(fired, 0);
    // What the opener's loop still finds afterwards is dropped.
    ServeUntil([] { return false; }, 20ms);
    EXPECT_EQ(fired, 0);
    EXPECT_TRUE(reported.empty());
}

TEST(PortDestroyedByItsHandler, OnTheEventThreadNothingOfItIsTouchedAfterwards) {
    TFakeComPlatform fake;
    const int threads = ThreadCount();
    std::atomic<bool> destroyed{false};
    auto* port = new TComPort(nullptr, &fake);
    port->SetEvents({evRxChar, evRing});
    port->SetSyncMethod(smNone);
    port->OnRxChar = [&destroyed](TCustomComPort* sender, std::int32_t) {
        // The handler itself belongs to the port: nothing it captured is
        // read after the delete.
        std::atomic<bool>* const done = &destroyed;
        sender->ClosePort();
        delete sender;
        done->store(true);
    };
    port->SetConnected(true);
    ASSERT_TRUE(WaitUntil([&] { return fake.EventWaits() == 1; }));
    fake.SetInQueue(1);
    fake.RaiseEvents(EventMask::RxChar | EventMask::Ring);
    ASSERT_TRUE(WaitUntil([&] { return destroyed.load(); }));
    // The thread ends by itself, before the platform it used goes.
    EXPECT_TRUE(WaitUntil([&] { return ThreadCount() == threads; }));
    EXPECT_FALSE(fake.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(Sync, ClosingPortOnMainThread,
                         ::testing::Values(smThreadSync, smWindowSync),
                         [](const ::testing::TestParamInfo<TSyncMethod>& info) {
                             return std::string(info.param == smThreadSync ? "ThreadSync"
                                                                           : "WindowSync");
                         });
