// The exchange worker through the serial component on a real COM port mapped
// to a simulated instrument: the round trip of each command, and the port's
// faults (no such port, a port held, a line that hangs up) with the
// component's codes, the system's code and text, and no hang.
#include "TestPorts.h"
#include "protocol/CommandSet.h"
#include "protocol/Dispatch.h"
#include "protocol/EMUL_Functions.h"
#include "protocol/InstrumentPort.h"
#include "protocol/ReplyDecoder.h"
#include "serial/errors/EComPort.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <memory>

using namespace orbel;

using namespace EMUL_Functions;

namespace {

class Exchange : public ::testing::Test, public IExchangeHost {
protected:
    IExchangePort& ExchangePort() override { return exchange_; }
    std::uint8_t TimeoutModeFlag() override { return tmSoftware; }

    void SetUp() override {
        ConfigureInstrumentLine(port_);
        exchange_.Attach(&port_);
        worker_ = std::make_unique<UART_THREAT>(*this);
    }
    void TearDown() override {
        worker_.reset();
        port_.SetConnected(false);
    }
    // Opens the port named by the variable; false (and the test skipped)
    // when none is mapped.
    bool OpenMapped(const char* variable) {
        const auto name = MappedPort(variable);
        if (!name) {
            return false;
        }
        RestoreFreshLine(*name);
        port_.SetPort(*name);
        port_.SetConnected(true);
        return true;
    }
    std::int32_t Send(int command, std::uint16_t value = 0) {
        ReplyDataLength = *BuildRequest(command, value, TxFrame);
        PrepareRequest();
        return StartAndAwait(*worker_);
    }

    TComPort port_;
    TComPortExchange exchange_;
    std::unique_ptr<UART_THREAT> worker_;
};

using Clock = std::chrono::steady_clock;

} // namespace

TEST_F(Exchange, EachCommandMakesItsRoundTrip) {
    if (!OpenMapped("ORBEL_TEST_SIM_PORT")) {
        GTEST_SKIP() << "no simulated instrument mapped (ORBEL_TEST_SIM_PORT)";
    }
    struct Case {
        int command;
        std::uint16_t value;
        TReplyKind kind;
    };
    for (const Case c :
         {Case{ciSignature, 0, TReplyKind::Signature}, Case{ciReadings, 0, TReplyKind::Readings},
          Case{ciReadCoeffs, 0, TReplyKind::Coefficients},
          Case{ciCalibrateC1Channel1, 50, TReplyKind::Calibrated}}) {
        SCOPED_TRACE(c.command);
        ASSERT_EQ(Send(c.command, c.value), esAccepted);
        EXPECT_EQ(ExchangeOutcome, TExchangeOutcome::Accepted);
        const TDecodedReply reply = DecodeReply(RxFrame, ",");
        EXPECT_EQ(reply.kind, c.kind);
        if (c.kind == TReplyKind::Signature) {
            EXPECT_EQ(reply.serialNumber, "42");
        }
        if (c.kind == TReplyKind::Coefficients) {
            EXPECT_EQ(reply.coefficientTenths[1], 900);
        }
    }
}

TEST_F(Exchange, AMissingPortFailsToOpenWithTheSystemsCodeAndText) {
    port_.SetPort("COM199");
    try {
        testing::internal::CaptureStderr();
        port_.SetConnected(true);
        testing::internal::GetCapturedStderr();
        FAIL() << "COM199 opened";
    } catch (const EComPort& e) {
        // Standard error names the port and gives the system's reason.
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find("serial: cannot open \\\\.\\COM199: " +
                            SystemComPlatform().SystemErrorText(2)),
                  std::string::npos)
            << said;
        EXPECT_EQ(e.PortCode(), 1);
        EXPECT_EQ(e.Fault(), ComFault::NoDevice);
        EXPECT_EQ(e.SystemCode(), 2); // ERROR_FILE_NOT_FOUND
        EXPECT_NE(std::string(e.what()).find("2"), std::string::npos);
        EXPECT_FALSE(SystemComPlatform().SystemErrorText(e.SystemCode()).empty());
    }
    EXPECT_FALSE(port_.Connected());
    EXPECT_EQ(Send(ciSignature), esNoReply);
    EXPECT_EQ(ExchangeOutcome, TExchangeOutcome::PortNotOpen);
}

TEST_F(Exchange, APortHeldByAnotherIsBusy) {
    if (!OpenMapped("ORBEL_TEST_SIM_PORT")) {
        GTEST_SKIP() << "no simulated instrument mapped (ORBEL_TEST_SIM_PORT)";
    }
    const std::wstring path(port_.Port().begin(), port_.Port().end());
    const HANDLE raw = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (raw != INVALID_HANDLE_VALUE) {
        CloseHandle(raw);
        ASSERT_TRUE(RunningUnderWine()) << "a held COM port opened again";
        GTEST_SKIP() << "Wine: a COM port opened without sharing can be opened again, so no "
                        "open finds it held";
    }
    TComPort other;
    ConfigureInstrumentLine(other);
    other.SetPort(port_.Port());
    try {
        other.SetConnected(true);
        FAIL() << "a held port opened again";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.PortCode(), 1);
        EXPECT_EQ(e.Fault(), ComFault::Busy) << e.SystemCode();
        EXPECT_EQ(e.SystemCode(), 5); // ERROR_ACCESS_DENIED at a COM open
    }
}

TEST_F(Exchange, ALineThatHangsUpEndsAsALostDeviceWithoutAHang) {
    if (!OpenMapped("ORBEL_TEST_LOST_PORT")) {
        GTEST_SKIP() << "no instrument that hangs up mapped (ORBEL_TEST_LOST_PORT)";
    }
    ASSERT_EQ(Send(ciSignature), esAccepted); // the last reply before the line goes
    const auto start = Clock::now();
    std::int32_t status = esAccepted;
    for (int i = 0; i < 20 && ExchangeOutcome != TExchangeOutcome::DeviceLost; ++i) {
        status = Send(ciSignature);
    }
    EXPECT_EQ(status, esNoReply);
    EXPECT_EQ(ExchangeOutcome, TExchangeOutcome::DeviceLost);
    EXPECT_GT(OutcomeSystemCode, 0);
    EXPECT_FALSE(SystemComPlatform().SystemErrorText(OutcomeSystemCode).empty());
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
}

// A transaction ends when its reply is in: far below the read budget (91 ms
// for the signature) on a line that answers, the whole budget on one that
// never does. The component reads as bytes arrive under the "return at once
// with what is there" time-out form, and gives the port its own back.
TEST_F(Exchange, AnAnsweredTransactionEndsWithItsReplyASilentOneAtTheBudget) {
    if (!OpenMapped("ORBEL_TEST_SIM_PORT")) {
        GTEST_SKIP() << "no simulated instrument mapped (ORBEL_TEST_SIM_PORT)";
    }
    ASSERT_EQ(Send(ciSignature), esAccepted);
    const auto start = Clock::now();
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(Send(ciSignature), esAccepted);
    }
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(5 * 60));
    port_.SetConnected(false);
    if (!OpenMapped("ORBEL_TEST_SILENT_PORT")) {
        GTEST_SKIP() << "no silent instrument mapped (ORBEL_TEST_SILENT_PORT)";
    }
    const auto silentStart = Clock::now();
    EXPECT_EQ(Send(ciSignature), esNoReply);
    EXPECT_GE(Clock::now() - silentStart, std::chrono::milliseconds(90));
}
