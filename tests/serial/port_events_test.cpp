// The event side of the port on the recording fake: the mask mapping, the
// dispatch order, the thread's life, and the three ways events reach handlers.
#include "EventWaits.h"
#include "FakePortFixture.h"

#include "base/CatchAll.h"
#include "serial/core/ComThread.h"
#include "serial/events/ComEvents.h"

#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace orbel;

namespace {

bool Called(const TFakeComPlatform& fake, const std::string& call) {
    const auto calls = fake.Calls();
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}

class FakeEvents : public FakePort {
protected:
    void SetUp() override {
        FakePort::SetUp();
        SetExceptionReport([this](const std::exception& e) { reported.push_back(e.what()); });
    }
    void TearDown() override {
        // The handlers of a test hold its locals: none may run after it.
        port.OnRxChar = nullptr;
        port.OnTxEmpty = port.OnBreak = port.OnRing = port.OnRxFlag = port.OnRx80Full = nullptr;
        port.OnCTSChange = port.OnDSRChange = port.OnRLSDChange = nullptr;
        port.OnError = nullptr;
        port.SetConnected(false);
        SetExceptionReport(nullptr);
    }
    void Open(TComEvents events, TSyncMethod sync) {
        port.SetEvents(events);
        port.SetSyncMethod(sync);
        port.SetConnected(true);
        ASSERT_TRUE(WaitUntil([&] { return fake.EventWaits() == 1; }));
    }

    std::vector<std::string> reported;
    const std::thread::id mainThread = std::this_thread::get_id();
};

class FakeEventsBySync : public FakeEvents, public ::testing::WithParamInterface<TSyncMethod> {};
// Where a handler's exception ends the thread.
using FakeEventsEndingOnFailure = FakeEventsBySync;
// Where handlers run on the main thread.
using FakeEventsOnMainThread = FakeEventsBySync;

std::string SyncName(const ::testing::TestParamInfo<TSyncMethod>& info) {
    const char* names[] = {"ThreadSync", "WindowSync", "None"};
    return names[info.param];
}

} // namespace

TEST(EventMask, MapsEachEventToItsBitAndBack) {
    const std::pair<TComEvent, std::uint32_t> table[] = {
        {evRxChar, 0x0001}, {evTxEmpty, 0x0004}, {evRxFlag, 0x0002}, {evRing, 0x0100},
        {evBreak, 0x0040},  {evCTS, 0x0008},     {evDSR, 0x0010},    {evError, 0x0080},
        {evRLSD, 0x0020},   {evRx80Full, 0x0400}};
    for (const auto& [event, bit] : table) {
        EXPECT_EQ(EventsToMask({event}), bit) << int(event);
        EXPECT_EQ(MaskToEvents(bit), TComEvents{event}) << int(event);
    }
    EXPECT_EQ(EventsToMask(AllComEvents), 0x05FFu);
    EXPECT_EQ(MaskToEvents(0xFFFFFFFFu), AllComEvents); // bits of no event are ignored
    EXPECT_TRUE(MaskToEvents(0x0200 | 0x0800 | 0x10000).Empty());
    for (std::uint16_t bits = 0; bits < 0x0400; ++bits) {
        const auto events = TComEvents::FromBits(bits);
        ASSERT_EQ(MaskToEvents(EventsToMask(events)), events) << bits;
    }
}

TEST_F(FakeEvents, AnEmptyEventSetMakesNoThreadNoMaskAndNoReceiver) {
    const int threads = ThreadCount();
    port.SetSyncMethod(smWindowSync);
    port.SetConnected(true);
    EXPECT_EQ(port.MonitorThread(), nullptr);
    EXPECT_EQ(port.NotifyWindow(), nullptr);
    EXPECT_FALSE(port.MonitorRunning());
    EXPECT_EQ(ThreadCount(), threads);
    fake.RaiseEvents(EventMask::RxChar);
    port.SetConnected(false);
    for (const auto& call : fake.Calls()) {
        EXPECT_EQ(call.find("Event"), std::string::npos) << call;
    }
}

TEST_F(FakeEvents, DispatchServicesInFixedOrderAndFiresNothingForEmptyFindings) {
    OpenAndForget();
    std::vector<std::string> fired;
    port.OnError = [&](TCustomComPort*, TComErrors e) {
        fired.push_back("Error " + std::to_string(e.ToBits()));
    };
    port.OnRxChar = [&](TCustomComPort*, std::int32_t n) {
        fired.push_back("RxChar " + std::to_string(n));
    };
    port.OnTxEmpty = [&](TCustomComPort*) { fired.push_back("TxEmpty"); };
    port.OnBreak = [&](TCustomComPort*) { fired.push_back("Break"); };
    port.OnRing = [&](TCustomComPort*) { fired.push_back("Ring"); };
    port.OnCTSChange = [&](TCustomComPort*, bool on) { fired.push_back(on ? "CTS 1" : "CTS 0"); };
    port.OnDSRChange = [&](TCustomComPort*, bool on) { fired.push_back(on ? "DSR 1" : "DSR 0"); };
    port.OnRxFlag = [&](TCustomComPort*) { fired.push_back("RxFlag"); };
    port.OnRLSDChange = [&](TCustomComPort*, bool on) { fired.push_back(on ? "CD 1" : "CD 0"); };
    port.OnRx80Full = [&](TCustomComPort*) { fired.push_back("Rx80Full"); };
    fake.SetLineErrors(LineError::Frame);
    fake.SetInQueue(3);
    fake.SetModemStatus(ModemStatus::CtsOn | ModemStatus::RlsdOn);

    port.DispatchEvents(AllComEvents);
    EXPECT_EQ(fired, (std::vector<std::string>{"Error 1", "RxChar 3", "TxEmpty", "Break", "Ring",
                                               "CTS 1", "DSR 0", "RxFlag", "CD 1", "Rx80Full"}));
    // Each signal step reads the lines afresh.
    const auto calls = fake.Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "GetModemStatus(1)"), 3);

    fired.clear();
    fake.SetInQueue(0); // the errors were cleared by the first reading
    port.DispatchEvents({evError, evRxChar});
    EXPECT_TRUE(fired.empty());
}

TEST_F(FakeEvents, TheThreadSetsTheMaskAndTakesItsClosingStepsBeforeTheDeviceCloses) {
    fake.ClearCalls();
    Open({evRxChar, evCTS}, smNone);
    const auto calls = fake.Calls();
    ASSERT_GE(calls.size(), 5u);
    EXPECT_EQ(calls[4], "SetEventMask(1, 0x0009)"); // after the configuration, on the opener
    ASSERT_NE(port.MonitorThread(), nullptr);
    EXPECT_TRUE(port.MonitorRunning());
    EXPECT_EQ(port.NotifyWindow(), nullptr);

    port.SetConnected(false);
    const auto closing = fake.Calls();
    ASSERT_GE(closing.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(closing.end() - 3, closing.end()),
              (std::vector<std::string>{"SetEventMask(1, 0x0000)", "Purge(1, 12)", "Close(1)"}));
    EXPECT_EQ(port.MonitorThread(), nullptr);
    EXPECT_FALSE(port.MonitorRunning());
}

TEST_F(FakeEvents, WindowSyncReleasesTheThreadBeforeEachHandlerReportsFailuresAndGoesOn) {
    Open(AllComEvents, smWindowSync);
    ASSERT_NE(port.NotifyWindow(), nullptr);
    std::vector<std::string> fired;
    bool threadWaitedAgain = false;
    port.OnRxChar = [&](TCustomComPort*, std::int32_t n) {
        EXPECT_EQ(std::this_thread::get_id(), mainThread);
        fired.push_back("RxChar " + std::to_string(n));
        if (fired.size() == 1) {
            throw std::runtime_error("handler failed");
        }
    };
    port.OnRing = [&](TCustomComPort*) {
        fired.push_back("Ring");
        // The last notification of the wait: the thread waits again meanwhile.
        threadWaitedAgain = WaitUntil([&] { return fake.EventWaits() == 2; });
    };
    fake.SetInQueue(2);
    fake.RaiseEvents(EventMask::Ring | EventMask::RxChar);
    ASSERT_TRUE(ServeUntil([&] { return fired.size() == 2; }));
    EXPECT_TRUE(threadWaitedAgain);
    EXPECT_EQ(fired, (std::vector<std::string>{"RxChar 2", "Ring"}));
    EXPECT_EQ(reported, std::vector<std::string>{"handler failed"});

    fake.RaiseEvents(EventMask::RxChar);
    ASSERT_TRUE(ServeUntil([&] { return fired.size() == 3; }));
    EXPECT_EQ(fired.back(), "RxChar 2");
    EXPECT_FALSE(port.MonitorThread()->Finished());
}

TEST_P(FakeEventsEndingOnFailure, AnExceptionFromAHandlerEndsTheThreadAndClosingStillWorks) {
    Open({evRxChar}, GetParam());
    std::atomic<int> fired{0};
    port.OnRxChar = [&](TCustomComPort*, std::int32_t) {
        ++fired;
        throw std::runtime_error("handler failed");
    };
    fake.SetInQueue(1);
    fake.RaiseEvents(EventMask::RxChar);
    ASSERT_TRUE(ServeUntil([&] { return port.MonitorThread()->Finished(); }));
    EXPECT_NE(port.MonitorThread()->FatalException(), nullptr);
    fake.RaiseEvents(EventMask::RxChar);
    ServeUntil([] { return false; }, 20ms);
    EXPECT_EQ(fired, 1);
    EXPECT_TRUE(reported.empty());
    EXPECT_FALSE(Called(fake, "SetEventMask(1, 0x0000)")); // no closing steps

    port.SetConnected(false);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(fake.Calls().back(), "Close(1)");
    EXPECT_EQ(port.MonitorThread(), nullptr);
}

TEST_P(FakeEventsOnMainThread, ClosingWhileEventsWaitForTheMainThreadServicesThemFirst) {
    Open({evRxChar}, GetParam());
    int fired = 0;
    port.OnRxChar = [&](TCustomComPort*, std::int32_t) {
        EXPECT_EQ(std::this_thread::get_id(), mainThread);
        ++fired;
    };
    fake.SetInQueue(1);
    fake.RaiseEvents(EventMask::RxChar);
    // Nothing served: the delivery waits for the main thread.
    ASSERT_TRUE(
        WaitUntil([&] { return port.MonitorThread()->PendingEvents() == TComEvents{evRxChar}; }));
    port.SetConnected(false);
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(port.MonitorThread(), nullptr);
    EXPECT_EQ(port.NotifyWindow(), nullptr);
}

TEST_P(FakeEventsBySync, AHandlerMayCloseThePortAndTheRestOfItsDispatchIsSkipped) {
    const int threads = ThreadCount();
    Open({evRxChar, evRing}, GetParam());
    std::atomic<int> closes{0};
    std::atomic<int> rings{0};
    port.OnRxChar = [&](TCustomComPort* sender, std::int32_t) {
        sender->ClosePort();
        ++closes;
    };
    port.OnRing = [&](TCustomComPort*) { ++rings; };
    fake.SetInQueue(1);
    fake.RaiseEvents(EventMask::RxChar | EventMask::Ring);
    ASSERT_TRUE(ServeUntil([&] { return closes == 1; }));
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.MonitorThread(), nullptr);
    // A notification already sent is still serviced while the close waits.
    EXPECT_EQ(rings, GetParam() == smWindowSync ? 1 : 0);
    EXPECT_TRUE(reported.empty());
    EXPECT_TRUE(ServeUntil([&] { return ThreadCount() == threads; }));

    // And it opens again with a thread of its own.
    port.OnRxChar = nullptr;
    fake.ClearCalls();
    port.SetConnected(true);
    EXPECT_TRUE(WaitUntil([&] { return Called(fake, "AwaitEvent(2)"); }));
}

INSTANTIATE_TEST_SUITE_P(Sync, FakeEventsBySync,
                         ::testing::Values(smThreadSync, smWindowSync, smNone), SyncName);
INSTANTIATE_TEST_SUITE_P(Sync, FakeEventsEndingOnFailure, ::testing::Values(smThreadSync, smNone),
                         SyncName);
INSTANTIATE_TEST_SUITE_P(Sync, FakeEventsOnMainThread,
                         ::testing::Values(smThreadSync, smWindowSync), SyncName);
