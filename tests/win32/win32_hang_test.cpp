// Drivers that never end a request, end one short or with a code they use
// in normal use too, spin their event waits, or take their time to open,
// replayed by the scripted stand-in (ScriptedWin32Calls.h names each habit's
// source): every request ends within its budget and a second, the port
// closes, and no handle is left.
#include "StandInInstrument.h"
#include "app/cli/CliOptions.h"
#include "app/cli/CliRun.h"
#include "serial/core/ComPort.h"
#include "serial/errors/EComPort.h"
#include "serial/platform/PortDiagnosticSink.h"
#include "serial/platform/win32/Win32ComPlatform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <sstream>
#include <thread>

using namespace orbel;
using namespace orbel::cli;

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
constexpr auto Patience = std::chrono::seconds(10);
constexpr auto Grace = std::chrono::seconds(1);
constexpr int BudgetMs = 200;

TScriptedWin32Calls& Driver() {
    return StandInDriver();
}

// What a call on the port ended with: 0 success, the port code of a failure,
// negative where the device was lost.
int Outcome(const std::function<void()>& call) {
    try {
        call();
        return 0;
    } catch (const EComPort& e) {
        return e.Fault() == ComFault::DeviceLost ? -e.PortCode() : e.PortCode();
    }
}

// Runs `call` on a thread of its own, so that a hang fails the test instead
// of holding it (a future of std::async would wait for it when dropped).
std::future<int> Detached(std::function<void()> call) {
    std::promise<int> code;
    std::future<int> result = code.get_future();
    std::thread([call = std::move(call), code = std::move(code)]() mutable {
        code.set_value(Outcome(call));
    }).detach();
    return result;
}

// The outcome of `call` and how long it took, failing the test past `limit`.
std::pair<int, milliseconds> Timed(std::function<void()> call, milliseconds limit) {
    const auto start = Clock::now();
    auto done = Detached(std::move(call));
    if (done.wait_for(Patience) != std::future_status::ready) {
        ADD_FAILURE() << "still running after " << Patience.count() << " s";
        return {1000, milliseconds(Patience)};
    }
    const auto took = std::chrono::duration_cast<milliseconds>(Clock::now() - start);
    EXPECT_LE(took, limit);
    return {done.get(), took};
}

struct TCliResult {
    int code;
    std::string err;
};

TCliResult RunCliOnce(std::vector<std::string> args) {
    const TParsedCommandLine parsed = ParseCommandLine(args);
    std::istringstream in;
    std::ostringstream err;
    const int code = RunCli(parsed.options, in, err);
    return {code, err.str()};
}

// A component's port on the stand-in, with BudgetMs as its read and write
// time-outs.
class PortOnStandIn {
public:
    explicit PortOnStandIn(bool events = false)
        : platform_(Win32Environment, Driver()), port_(nullptr, &platform_) {
        port_.SetPort("COM1");
        if (events) {
            port_.SetEvents(TComEvents{evRxChar});
        }
        port_.Timeouts().SetReadInterval(0);
        port_.Timeouts().SetReadTotalMultiplier(0);
        port_.Timeouts().SetReadTotalConstant(BudgetMs);
        port_.Timeouts().SetWriteTotalMultiplier(0);
        port_.Timeouts().SetWriteTotalConstant(BudgetMs);
    }
    TComPort& Port() { return port_; }

private:
    TWin32ComPlatform platform_;
    TComPort port_;
};

class StandInHabits : public ::testing::Test {
protected:
    void SetUp() override {
        Driver().ResetHabits();
        Driver().Replug();
        answered_ = 0;
        Driver().answer = [this](const std::vector<std::uint8_t>& request) {
            std::lock_guard lock(mutex_);
            ++answered_;
            answeredChanged_.notify_all();
            return StandInReply(request);
        };
        SetPortDiagnosticSink([this](const std::string& line) {
            std::lock_guard lock(mutex_);
            diagnostics_ += line + "\n";
        });
    }
    void TearDown() override {
        Driver().ResetHabits();
        Driver().answer = nullptr;
        SetPortDiagnosticSink({});
        EXPECT_EQ(Driver().OpenHandles(), 0);
    }
    std::string Diagnostics() {
        std::lock_guard lock(mutex_);
        return diagnostics_;
    }
    // Closes the port within a second, leaving no handle.
    void ExpectClosesInTime(TComPort& port) {
        Timed([&] { port.SetConnected(false); }, Grace);
        EXPECT_FALSE(port.Connected());
        EXPECT_EQ(Driver().OpenHandles(), 0);
    }

    bool AwaitAnswers(int n) {
        std::unique_lock lock(mutex_);
        return answeredChanged_.wait_for(lock, Patience, [&] { return answered_ >= n; });
    }

    std::mutex mutex_;
    std::condition_variable answeredChanged_;
    int answered_ = 0;
    std::string diagnostics_;
};

} // namespace

TEST_F(StandInHabits, ARequestTheDriverNeverEndsEndsWithinItsBudgetAndASecond) {
    struct {
        const char* what;
        bool TScriptedWin32Calls::*habit;
        bool write;
    } const cases[] = {
        {"read", &TScriptedWin32Calls::readsNeverEnd, false},
        {"write", &TScriptedWin32Calls::writesPend, true},
    };
    for (const auto& c : cases) {
        for (const bool cancelIgnored : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (cancelIgnored ? ", cancel ignored" : ""));
            Driver().ResetHabits();
            Driver().*c.habit = true;
            Driver().cancelsIgnored = cancelIgnored;
            PortOnStandIn device;
            device.Port().SetConnected(true);
            std::uint8_t bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
            const auto [code, took] = Timed(
                [&] {
                    c.write ? device.Port().WriteBytes(bytes, 8)
                            : device.Port().ReadBytes(bytes, 8);
                },
                milliseconds(BudgetMs) + Grace);
            EXPECT_EQ(code, c.write ? -CError_WriteFailed : -CError_ReadFailed);
            EXPECT_GE(took, milliseconds(BudgetMs));
            ExpectClosesInTime(device.Port());
        }
    }
    EXPECT_NE(Diagnostics().find("lost: "), std::string::npos) << Diagnostics();
}

TEST_F(StandInHabits, AnEventWaitTheDriverNeverEndsLetsThePortCloseWithinASecond) {
    Driver().cancelsIgnored = Driver().maskChangeIgnored = true;
    PortOnStandIn device(true);
    device.Port().SetConnected(true);
    ASSERT_TRUE(Driver().AwaitPending(TScriptedWin32Calls::TKind::Wait));
    ExpectClosesInTime(device.Port());
    // The adapter opens again at once.
    device.Port().SetConnected(true);
    EXPECT_EQ(Driver().OpenHandles(), 1);
    ExpectClosesInTime(device.Port());
}

TEST_F(StandInHabits, OrbelCliEndsAnExchangeTheDriverNeverEndsAsALostDevice) {
    Driver().readsNeverEnd = Driver().cancelsIgnored = true;
    const auto start = Clock::now();
    const TCliResult result = RunCliOnce({"--port", "COM1", "signature"});
    EXPECT_LE(Clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(result.code, ecPort) << result.err;
    EXPECT_NE(result.err.find("the device was lost"), std::string::npos) << result.err;
}

TEST_F(StandInHabits, AFailureTheDeviceSurvivesIsNoReplyAndThePortStaysOpen) {
    for (const DWORD code : {DWORD{ERROR_OPERATION_ABORTED}, DWORD{ERROR_GEN_FAILURE}}) {
        SCOPED_TRACE(code);
        Driver().spuriousFailures = 1;
        Driver().spuriousCode = code;
        PortOnStandIn device;
        device.Port().SetConnected(true);
        std::uint8_t bytes[8]{};
        EXPECT_EQ(Outcome([&] { EXPECT_EQ(device.Port().ReadBytes(bytes, 8), 0); }), 0);
        EXPECT_TRUE(device.Port().Connected());
        ExpectClosesInTime(device.Port());
        // Through orbel-cli: whichever read it hits, the run goes on.
        Driver().spuriousFailures = 1;
        const TCliResult result =
            RunCliOnce({"--port", "COM1", "readings", "--count", "2", "--every", "50"});
        EXPECT_EQ(Driver().spuriousFailures, 0);
        EXPECT_NE(result.code, ecPort) << result.err;
        EXPECT_EQ(result.err.find("lost"), std::string::npos) << result.err;
    }
    EXPECT_EQ(Diagnostics().find("lost: "), std::string::npos) << Diagnostics();
}

TEST_F(StandInHabits, AShortWriteIsAFailedRequestNotAnUnansweredOne) {
    Driver().shortWriteBytes = 3;
    const TCliResult result = RunCliOnce({"--port", "COM1", "signature"});
    EXPECT_NE(result.code, ecAnswered);
    EXPECT_NE(result.err.find("WriteFile"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("no reply"), std::string::npos) << result.err;
}

TEST_F(StandInHabits, AnEventWaitThatEndsAtOnceIsNotMadeAgainMoreThanAFewTimesASecond) {
    Driver().waitsAbortAtOnce = true;
    PortOnStandIn device(true);
    device.Port().SetConnected(true);
    const int before = Driver().WaitCalls();
    std::this_thread::sleep_for(std::chrono::seconds(1)); // the span the calls are counted in
    const int made = Driver().WaitCalls() - before;
    EXPECT_LE(made, 20);
    EXPECT_GE(made, 1); // it still waits
    ExpectClosesInTime(device.Port());
}

TEST_F(StandInHabits, RepliesAtTheLinesPaceOrInLatencyTimerBurstsAreStillOneReply) {
    for (const auto pace : {TScriptedWin32Calls::TPace::Line, TScriptedWin32Calls::TPace::Bursts}) {
        SCOPED_TRACE(static_cast<int>(pace));
        Driver().pace = pace;
        Driver().burstMs = 16;
        const TCliResult result =
            RunCliOnce({"--port", "COM1", "readings", "--count", "3", "--every", "50"});
        EXPECT_EQ(result.code, ecAnswered) << result.err;
    }
}

TEST_F(StandInHabits, OpeningTakesTheDriversRecordWaitsOutAReplugAndNamesABlockedOpen) {
    Driver().foreignDcbRefused = true;
    Driver().busyOpens = 3; // just replugged: refused for a moment
    {
        PortOnStandIn device;
        EXPECT_EQ(Outcome([&] { device.Port().SetConnected(true); }), 0);
        EXPECT_TRUE(device.Port().Connected());
        ExpectClosesInTime(device.Port());
    }
    struct {
        const char* what;
        int busyOpens;
        int blocksMs;
        DWORD code;
        const char* says;
        milliseconds limit;
    } const cases[] = {
        {"held by another program", 1000, 0, ERROR_ACCESS_DENIED, "another program",
         milliseconds(1000) + Grace},
        {"a Bluetooth port that blocks", 0, 1500, ERROR_SEM_TIMEOUT, "Bluetooth",
         milliseconds(1500) + Grace},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Driver().ResetHabits();
        Driver().busyOpens = c.busyOpens;
        Driver().openBlocksMs = c.blocksMs;
        PortOnStandIn device;
        int systemCode = 0;
        const auto [code, took] = Timed(
            [&] {
                try {
                    device.Port().SetConnected(true);
                } catch (const EComPort& e) {
                    systemCode = e.SystemCode();
                    throw;
                }
            },
            c.limit);
        EXPECT_EQ(code, CError_OpenFailed);
        EXPECT_EQ(systemCode, static_cast<int>(c.code));
        EXPECT_NE(Diagnostics().find(c.says), std::string::npos) << Diagnostics();
        EXPECT_FALSE(device.Port().Connected());
    }
    Driver().openBlocksMs = 0;
}

TEST_F(StandInHabits, ASilentRemovalIsNoticedWithinThreeSecondsWhereThePortsClassTells) {
    for (const bool classReadable : {true, false}) {
        SCOPED_TRACE(classReadable ? "ports class readable" : "no ports class (Wine)");
        Driver().ResetHabits();
        Driver().Replug();
        Driver().portsClassUnreadable = !classReadable;
        answered_ = 0;
        auto run = std::async(std::launch::async, [] {
            return RunCliOnce({"--port", "COM1", "readings", "--count", "12", "--every", "250"});
        });
        ASSERT_TRUE(AwaitAnswers(1));
        Driver().SilentlyRemove();
        const auto removed = Clock::now();
        ASSERT_EQ(run.wait_for(Patience), std::future_status::ready);
        const TCliResult result = run.get();
        if (classReadable) {
            EXPECT_LE(Clock::now() - removed, std::chrono::seconds(3));
            EXPECT_EQ(result.code, ecPort) << result.err;
            EXPECT_NE(result.err.find("the device was lost"), std::string::npos) << result.err;
        } else {
            EXPECT_EQ(result.code, ecNoAnswer) << result.err; // no answers, and no loss told
        }
    }
}
