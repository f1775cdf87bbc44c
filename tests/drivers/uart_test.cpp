// The serial platform on a real UART: the kernel's 8250 driver behind QEMU's
// 16550, whose other end orbel-sim serves on the host. Modem lines exist
// here only in the UART's loopback, where the outputs show on the inputs.
#include "GuestPort.h"
#include "LineControl.h"

#include "loop/MainLoop.h"
#include "protocol/InstrumentPort.h"
#include "serial/core/ComPort.h"

#include <gtest/gtest.h>

#include <mutex>
#include <ostream>
#include <thread>

#include <sys/ioctl.h>

using namespace orbel;

using namespace orbel::guest;
using std::chrono::milliseconds;

namespace {

std::string Uart() {
    return DeviceFromEnvironment("ORBEL_GUEST_UART", "/dev/ttyS1");
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) {
        text += line + "\n";
    }
    return text;
}

// The UART in loopback while it lives, OUT1 low and OUT2 high as the driver
// leaves them; everything put back at the end.
class Loopback {
public:
    explicit Loopback(LineControl& control) : control_(control) {
        control_.Set(kModemOut1, false);
        control_.Set(kModemOut2, true);
        looped_ = control_.Set(kModemLoop, true);
    }
    ~Loopback() {
        control_.Set(kModemLoop, false);
        control_.Set(kModemOut1, false);
        control_.Set(kModemOut2, true);
    }
    Loopback(const Loopback&) = delete;
    Loopback& operator=(const Loopback&) = delete;
    bool Looped() const { return looped_; }

private:
    LineControl& control_;
    bool looped_ = false;
};

// The UART's clock put back after a test that changes it.
class BaseSpeedKept {
public:
    explicit BaseSpeedKept(LineControl& control) : control_(control), base_(control.BaseSpeed()) {}
    ~BaseSpeedKept() { control_.SetBaseSpeed(base_); }
    BaseSpeedKept(const BaseSpeedKept&) = delete;
    BaseSpeedKept& operator=(const BaseSpeedKept&) = delete;
    int Base() const { return base_; }

private:
    LineControl& control_;
    int base_;
};

} // namespace

TEST(Uart, TakesTheToolsLineWithMarkParityAndNoWarning) {
    LineControl control(Uart());
    PlatformPort port(Uart());
    // Taken after the open, whose line names the device the port stands for.
    const CapturedDiagnostics diagnostics;
    ASSERT_EQ(port.Configure(ToolLine(), ToolTimeouts()), 0);
    EXPECT_EQ(Joined(diagnostics.Lines()), "");
    const HeldLine held = control.Held();
    EXPECT_TRUE(ParityIsMark(held.cflag)) << std::oct << held.cflag;
    EXPECT_EQ(held.speed, 9600U);
}

TEST(Uart, SpeedsWithoutAConstantAreHeldOrNamedAsRefused) {
    LineControl control(Uart());
    const BaseSpeedKept kept(control);
    ASSERT_EQ(kept.Base(), 115200); // the 1.8432 MHz crystal of a PC's UART
    const struct {
        int base;
        std::uint32_t speed;
        bool held;
    } cases[] = {
        {115200, 14400, true},   // divisor 8
        {115200, 250000, false}, // above the UART's top speed
        {4000000, 250000, true}, // a 64 MHz clock, divisor 16
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(control.SetBaseSpeed(c.base)) << c.base;
        const CapturedDiagnostics diagnostics;
        PlatformPort port(Uart());
        TComDeviceControl line = ToolLine();
        line.BaudRate = c.speed;
        EXPECT_EQ(port.Configure(line, ToolTimeouts()), 0);
        EXPECT_EQ(control.Held().speed == c.speed, c.held) << c.speed << " on " << c.base;
        const std::string warning = Joined(diagnostics.Lines());
        EXPECT_EQ(warning.find(std::to_string(c.speed) + " baud") != std::string::npos, !c.held)
            << c.speed << " on " << c.base << ": " << warning;
    }
}

TEST(UartLoopback, ModemLinesFollowTheOutputsAndRaiseTheirEvents) {
    LineControl control(Uart());
    const Loopback loop(control);
    ASSERT_TRUE(loop.Looped());
    PlatformPort port(Uart());
    ASSERT_EQ(port.Configure(ToolLine(), ToolTimeouts()), 0); // DTR and RTS off
    IComPlatform& platform = port.Platform();
    const std::uint32_t lines = EventMask::Cts | EventMask::Dsr | EventMask::Ring | EventMask::Rlsd;
    ASSERT_TRUE(platform.SetEventMask(port.Handle(), lines).Ok());
    using namespace ModemStatus;
    const struct {
        const char* step;
        int bit;
        bool on;
        std::uint32_t event;
        std::uint32_t status;
    } steps[] = {
        {"RTS on", TIOCM_RTS, true, EventMask::Cts, CtsOn | RlsdOn},
        {"DTR on", TIOCM_DTR, true, EventMask::Dsr, CtsOn | DsrOn | RlsdOn},
        {"OUT1 on", kModemOut1, true, EventMask::Ring, CtsOn | DsrOn | RingOn | RlsdOn},
        {"OUT2 off", kModemOut2, false, EventMask::Rlsd, CtsOn | DsrOn | RingOn},
        {"RTS off", TIOCM_RTS, false, EventMask::Cts, DsrOn | RingOn},
    };
    for (const auto& s : steps) {
        ASSERT_TRUE(control.Set(s.bit, s.on)) << s.step;
        EXPECT_EQ(port.AwaitEvents(milliseconds(1000)), s.event) << s.step;
        std::uint32_t status = 0;
        ASSERT_TRUE(platform.GetModemStatus(port.Handle(), status).Ok());
        EXPECT_EQ(status, s.status) << s.step;
    }
    DriverCounters counters;
    ASSERT_TRUE(control.Counters(counters));
    ReportFigure("uart.loopback_modem_changes_counted_by_driver",
                 counters.cts + counters.dsr + counters.rng + counters.dcd);
}

// The port with the modem-line events under one sync method, in loopback.
class UartPortEvents : public ::testing::TestWithParam<TSyncMethod> {
protected:
    // A handler's call: the event, the line's state it carried, its thread.
    struct Call {
        std::string event;
        bool on;
        std::thread::id thread;
        bool operator==(const Call& other) const { return event == other.event && on == other.on; }
        friend std::ostream& operator<<(std::ostream& out, const Call& call) {
            return out << call.event << (call.on ? " 1" : " 0");
        }
    };

    void SetUp() override {
        ASSERT_TRUE(loop_.Looped());
        ConfigureInstrumentLine(port_); // DTR and RTS off
        port_.SetEvents({evCTS, evDSR, evRing, evRLSD});
        port_.SetSyncMethod(GetParam());
        port_.OnCTSChange = [this](TCustomComPort*, bool on) { Record("CTS", on); };
        port_.OnDSRChange = [this](TCustomComPort*, bool on) { Record("DSR", on); };
        port_.OnRing = [this](TCustomComPort*) { Record("Ring", true); };
        port_.OnRLSDChange = [this](TCustomComPort*, bool on) { Record("CD", on); };
        port_.SetPort(Uart());
        port_.SetConnected(true);
        ASSERT_TRUE(port_.Connected());
    }
    void TearDown() override {
        // The handlers hold this fixture: none may run once it goes.
        port_.OnCTSChange = port_.OnDSRChange = port_.OnRLSDChange = nullptr;
        port_.OnRing = nullptr;
        port_.SetConnected(false);
    }

    void Record(const char* event, bool on) {
        const std::lock_guard lock(mutex_);
        calls_.push_back({event, on, std::this_thread::get_id()});
    }
    std::vector<Call> Calls() {
        const std::lock_guard lock(mutex_);
        return calls_;
    }
    // Serves the main loop until `count` calls came, or a second passed.
    std::vector<Call> AwaitCalls(std::size_t count) {
        WaitFor(
            [&] {
                MainLoop().ProcessPending();
                return Calls().size() >= count;
            },
            milliseconds(1000));
        return Calls();
    }

    LineControl control_{Uart()};
    Loopback loop_{control_};
    TComPort port_;

private:
    std::mutex mutex_;
    std::vector<Call> calls_;
};

TEST_P(UartPortEvents, ModemLineChangesReachTheirHandlersWithTheirStateOnTheirThread) {
    // The open reports the lines as it finds them, on the opener's thread
    // whatever the sync method: DTR and RTS off, OUT2 high.
    const std::thread::id main = std::this_thread::get_id();
    const std::vector<Call> opened = Calls();
    ASSERT_EQ(opened,
              (std::vector<Call>{{"CTS", false, {}}, {"DSR", false, {}}, {"CD", true, {}}}));
    for (const Call& call : opened) {
        EXPECT_EQ(call.thread, main) << "open: " << call;
    }

    // RTS shows as CTS, DTR as DSR, OUT1 as ring, OUT2 as carrier; ring is
    // reported when it comes on only, so OUT1 going low calls nothing.
    const struct {
        const char* step;
        int bit;
        bool on;
        std::vector<Call> calls;
    } steps[] = {
        {"RTS on", TIOCM_RTS, true, {{"CTS", true, {}}}},
        {"DTR on", TIOCM_DTR, true, {{"DSR", true, {}}}},
        {"OUT1 on", kModemOut1, true, {{"Ring", true, {}}}},
        {"OUT2 off", kModemOut2, false, {{"CD", false, {}}}},
        {"OUT1 off", kModemOut1, false, {}},
        {"OUT2 on", kModemOut2, true, {{"CD", true, {}}}},
        {"RTS off", TIOCM_RTS, false, {{"CTS", false, {}}}},
        {"DTR off", TIOCM_DTR, false, {{"DSR", false, {}}}},
    };
    std::vector<Call> expected = opened;
    for (const auto& s : steps) {
        ASSERT_TRUE(control_.Set(s.bit, s.on)) << s.step;
        expected.insert(expected.end(), s.calls.begin(), s.calls.end());
        ASSERT_EQ(AwaitCalls(expected.size()), expected) << "after " << s.step;
    }

    const std::vector<Call> calls = Calls();
    const std::thread::id first = calls[opened.size()].thread;
    for (auto call = calls.begin() + opened.size(); call != calls.end(); ++call) {
        if (GetParam() == smNone) {
            EXPECT_NE(call->thread, main) << *call; // the port's event thread
            EXPECT_EQ(call->thread, first) << *call;
        } else {
            EXPECT_EQ(call->thread, main) << *call;
        }
    }
}

namespace {

std::string SyncName(const ::testing::TestParamInfo<TSyncMethod>& info) {
    const char* names[] = {"ThreadSync", "WindowSync", "None"};
    return names[info.param];
}

} // namespace

// Named Uart/... for the guest's filter of the UART suite.
INSTANTIATE_TEST_SUITE_P(Uart, UartPortEvents,
                         ::testing::Values(smThreadSync, smWindowSync, smNone), SyncName);

TEST(UartLoopback, CountsTrafficReportsNoLineErrorAndTimesTheWrite) {
    LineControl control(Uart());
    const Loopback loop(control);
    ASSERT_TRUE(loop.Looped());
    PlatformPort port(Uart());
    ASSERT_EQ(port.Configure(ToolLine(), ToolTimeouts()), 0);
    DriverCounters before;
    ASSERT_TRUE(control.Counters(before)); // a pseudo-terminal keeps none

    const auto start = Clock::now();
    std::uint32_t written = 0;
    ASSERT_EQ(port.Write(kSignatureRequest, written), 0);
    const double writeMs = MillisecondsSince(start);
    Bytes back;
    ASSERT_EQ(port.Read(5, back), 0);
    const double backMs = MillisecondsSince(start);
    EXPECT_EQ(written, 5U);
    EXPECT_EQ(back, kSignatureRequest);
    ReportFigure("uart.write_5_bytes_returned_ms", writeMs);
    ReportFigure("uart.loopback_5_bytes_back_ms", backMs);

    DriverCounters after;
    ASSERT_TRUE(control.Counters(after));
    EXPECT_EQ(after.tx - before.tx, 5);
    EXPECT_EQ(after.rx - before.rx, 5);
    std::uint32_t errors = 0;
    TComStat stat;
    ASSERT_TRUE(port.Platform().ClearErrors(port.Handle(), errors, stat).Ok());
    EXPECT_EQ(errors, 0U);
    EXPECT_EQ(stat.InQueue, 0U);
}

TEST(UartTiming, ShortReplyIsReadWholeAtTheEndOfItsBudget) {
    PlatformPort port(Uart());
    ASSERT_EQ(port.Configure(ToolLine(), ToolTimeouts()), 0);
    ASSERT_TRUE(port.Platform().Purge(port.Handle(), PurgeFlag::RxClear | PurgeFlag::TxClear).Ok());
    std::uint32_t written = 0;
    ASSERT_EQ(port.Write(kSignatureRequest, written), 0);
    const auto start = Clock::now();
    Bytes reply;
    ASSERT_EQ(port.Read(13, reply), 0);
    const double ms = MillisecondsSince(start);
    EXPECT_EQ(reply, kSignatureReply);
    EXPECT_GE(ms, 91.0);
    EXPECT_LT(ms, 91.0 + 40.0);
    ReportFigure("uart.read_13_of_10_bytes_ms", ms);
}
