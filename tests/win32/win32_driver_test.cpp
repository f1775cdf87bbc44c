// Unplugged adapters and odd drivers as real Windows drivers behave, replayed
// by the scripted stand-in of the communications calls (ScriptedWin32Calls.h
// names each behaviour's source): the component and orbel-cli report a lost
// device once, the port ends closed, and the replugged adapter opens again.
#include "StandInInstrument.h"
#include "app/cli/CliOptions.h"
#include "app/cli/CliRun.h"
#include "loop/MainLoop.h"
#include "protocol/EMUL_Functions.h"
#include "serial/core/ComPort.h"
#include "serial/errors/EComPort.h"
#include "serial/platform/PortDiagnosticSink.h"
#include "serial/platform/win32/Win32ComPlatform.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <future>
#include <sstream>
#include <thread>
#include <utility>

using namespace orbel;
using namespace orbel::cli;

namespace {

constexpr auto Patience = std::chrono::seconds(10);

TScriptedWin32Calls& Driver() {
    return StandInDriver();
}

struct TCliResult {
    int code;
    std::string err;
};

std::future<TCliResult> StartCli(std::vector<std::string> args) {
    return std::async(std::launch::async, [args] {
        const TParsedCommandLine parsed = ParseCommandLine(args);
        std::istringstream in;
        std::ostringstream err;
        // The answers go to standard output; what the run says goes to err.
        const int code = RunCli(parsed.options, in, err);
        return TCliResult{code, err.str()};
    });
}

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

class Drivers : public ::testing::Test {
protected:
    void SetUp() override {
        TScriptedWin32Calls& driver = Driver();
        driver.Replug();
        driver.UseProfile(DriverProfiles().front());
        driver.clearCommErrorFails = driver.cancelNeverEndsWait = false;
        driver.purgeFails = driver.writesPend = false;
        answered_ = 0;
        SetPortDiagnosticSink([this](const std::string& line) {
            std::lock_guard lock(mutex_);
            diagnostics_ += line;
        });
        driver.answer = [this](const std::vector<std::uint8_t>& request) {
            std::lock_guard lock(mutex_);
            ++answered_;
            answeredChanged_.notify_all();
            return silent_ ? std::vector<std::uint8_t>{} : StandInReply(request);
        };
    }
    void TearDown() override {
        Driver().answer = nullptr;
        SetPortDiagnosticSink({});
    }
    std::string TakeDiagnostics() {
        std::lock_guard lock(mutex_);
        return std::exchange(diagnostics_, {});
    }

    bool AwaitAnswers(int n) {
        std::unique_lock lock(mutex_);
        return answeredChanged_.wait_for(lock, Patience, [&] { return answered_ >= n; });
    }
    // After a lost device: nothing of the old handle is left, and the
    // replugged adapter opens and answers.
    void ExpectReplugOpensAgain() {
        EXPECT_EQ(Driver().OpenHandles(), 0);
        Driver().Replug();
        silent_ = false;
        Driver().writesPend = false;
        const TCliResult again = StartCli({"--port", "COM1", "signature"}).get();
        EXPECT_EQ(again.code, ecAnswered) << again.err;
    }

    std::mutex mutex_;
    std::condition_variable answeredChanged_;
    int answered_ = 0;
    bool silent_ = false;
    std::string diagnostics_;
};

// A component's port with an event thread, on the stand-in.
class PortOnDriver {
public:
    PortOnDriver() : platform_(Win32Environment, Driver()), port_(nullptr, &platform_) {
        port_.SetPort("COM1");
        port_.SetEvents(TComEvents{evRxChar});
    }
    TComPort& Port() { return port_; }

private:
    TWin32ComPlatform platform_;
    TComPort port_;
};

// Closes on a thread of its own so that a hang fails the test instead of
// holding it: a future of std::async would wait for the close when dropped.
std::future<int> CloseCode(TComPort& port) {
    std::promise<int> code;
    std::future<int> result = code.get_future();
    std::thread([&port, code = std::move(code)]() mutable {
        try {
            port.SetConnected(false);
            code.set_value(0);
        } catch (const EComPort& e) {
            code.set_value(e.Fault() == ComFault::DeviceLost ? -e.PortCode() : e.PortCode());
        }
    }).detach();
    return result;
}

} // namespace

TEST_F(Drivers, AnUnplugDuringAnIdleEventWaitLeavesAPortThatClosesAndReopens) {
    for (const TDriverProfile& profile : DriverProfiles()) {
        SCOPED_TRACE(profile.name);
        Driver().Replug();
        Driver().UseProfile(profile);
        PortOnDriver device;
        device.Port().SetConnected(true);
        ASSERT_TRUE(Driver().AwaitPending(TScriptedWin32Calls::TKind::Wait));
        Driver().Unplug();
        // The close's abort fails on the dead handle, as a lost device; the
        // port is closed all the same.
        auto closed = CloseCode(device.Port());
        ASSERT_EQ(closed.wait_for(Patience), std::future_status::ready);
        EXPECT_EQ(closed.get(), -CError_PurgeFailed);
        EXPECT_FALSE(device.Port().Connected());
        EXPECT_EQ(Driver().OpenHandles(), 0);
        Driver().Replug();
        device.Port().SetConnected(true);
        EXPECT_EQ(Driver().OpenHandles(), 1);
        device.Port().SetConnected(false);
    }
}

TEST_F(Drivers, OrbelCliReportsTheLostDeviceOnceWhereverTheUnplugComes) {
    enum TMoment { DuringRead, DuringWrite, BetweenExchanges };
    for (const TDriverProfile& profile : DriverProfiles()) {
        for (const TMoment moment : {DuringRead, DuringWrite, BetweenExchanges}) {
            SCOPED_TRACE(std::string(profile.name) + " moment " + std::to_string(moment));
            Driver().Replug();
            Driver().UseProfile(profile);
            silent_ = moment == DuringRead;
            Driver().writesPend = moment == DuringWrite;
            answered_ = 0;
            auto run = StartCli({"--port", "COM1", "readings", "--count", "3", "--every", "400"});
            switch (moment) {
            case DuringRead:
                ASSERT_TRUE(Driver().AwaitPending(TScriptedWin32Calls::TKind::Read));
                break;
            case DuringWrite:
                ASSERT_TRUE(Driver().AwaitPending(TScriptedWin32Calls::TKind::Write));
                break;
            case BetweenExchanges:
                ASSERT_TRUE(Driver().AwaitPurgeAfterWrite());
                break;
            }
            Driver().Unplug();
            ASSERT_EQ(run.wait_for(Patience), std::future_status::ready);
            const TCliResult result = run.get();
            EXPECT_EQ(result.code, ecPort);
            EXPECT_EQ(Count(result.err, "the device was lost"), 1) << result.err;
            // And the platform's diagnostic line, once.
            EXPECT_EQ(Count(TakeDiagnostics(), "serial: \\\\.\\COM1 lost: "), 1);
            ExpectReplugOpensAgain();
        }
    }
}

TEST_F(Drivers, ExchangesGoOnWhereTheDriverCannotCountWaitingBytes) {
    Driver().clearCommErrorFails = true;
    const TCliResult result = StartCli({"--port", "COM1", "readings", "--count", "2"}).get();
    EXPECT_EQ(result.code, ecAnswered) << result.err;
}

TEST_F(Drivers, AWaitWhoseCancelNeverCompletesStillLetsThePortClose) {
    Driver().cancelNeverEndsWait = true;
    PortOnDriver device;
    device.Port().SetConnected(true);
    ASSERT_TRUE(Driver().AwaitPending(TScriptedWin32Calls::TKind::Wait));
    auto closed = CloseCode(device.Port());
    ASSERT_EQ(closed.wait_for(Patience), std::future_status::ready);
    EXPECT_EQ(closed.get(), 0);
    EXPECT_EQ(Driver().OpenHandles(), 0);
}

TEST_F(Drivers, AFailedPurgeAtTheCloseStillClosesAndIsReportedAfterwards) {
    PortOnDriver device;
    device.Port().SetConnected(true);
    Driver().purgeFails = true;
    auto closed = CloseCode(device.Port());
    ASSERT_EQ(closed.wait_for(Patience), std::future_status::ready);
    EXPECT_EQ(closed.get(), -CError_PurgeFailed); // 31 is what a lost device gives too
    EXPECT_FALSE(device.Port().Connected());
    EXPECT_EQ(Driver().OpenHandles(), 0);
    Driver().purgeFails = false;
    device.Port().SetConnected(true);
    EXPECT_TRUE(device.Port().Connected());
    device.Port().SetConnected(false);
}
