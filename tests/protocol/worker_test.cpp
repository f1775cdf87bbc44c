#include "FakeExchangePort.h"
#include "protocol/CommandSet.h"
#include "protocol/Dispatch.h"
#include "protocol/EMUL_Functions.h"
#include "protocol/UART_THREAT.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

using namespace orbel;

using namespace EMUL_Functions;

namespace {

class WorkerTest : public ::testing::Test {
protected:
    FakeExchangePort port;
    FakeExchangeHost host{port};

    std::int32_t Send(int index, std::uint16_t value = 0) {
        UART_THREAT worker(host);
        return SendWith(worker, index, value);
    }
    std::int32_t SendWith(UART_THREAT& worker, int index, std::uint16_t value = 0) {
        ReplyDataLength = *BuildRequest(index, value, TxFrame);
        PrepareRequest();
        return StartAndAwait(worker);
    }
    static std::vector<std::uint8_t> Rx(std::size_t n) {
        return {RxFrame.begin(), RxFrame.begin() + static_cast<std::ptrdiff_t>(n)};
    }
};

const std::vector<std::uint8_t> Signature = {1, 32, 6, 3, 0, 17, 2, 5, 117, 5};

} // namespace

TEST_F(WorkerTest, CleanSignatureReplyIsPublishedWithItsText) {
    port.reads.push_back(Signature);
    EXPECT_EQ(Send(ciSignature), esAccepted);
    ASSERT_EQ(port.writes.size(), 1U);
    EXPECT_EQ(port.writes[0], (std::vector<std::uint8_t>{0xFF, 0x20, 0x01, 0x99, 0xF0}));
    EXPECT_EQ(port.readCounts, (std::vector<std::int32_t>{13}));
    EXPECT_EQ(Rx(10), Signature);
    EXPECT_EQ(RxText, "1 32 6 3 0 17 2 5 117 5 ");
    EXPECT_EQ(ExchangeOutcome, TExchangeOutcome::Accepted);
    // The input stays: what comes after the read is the next request's to see.
    EXPECT_EQ(port.outputPurges, 1);
    EXPECT_EQ(port.purges + port.inputPurges, 0);
}

TEST_F(WorkerTest, FailuresPublishStatusOneWithTheirOutcome) {
    // Nothing at all: the frame stays zero.
    EXPECT_EQ(Send(ciSignature), esNoReply);
    EXPECT_EQ(RxFrame, TFrame{});
    EXPECT_EQ(RxText, "");
    EXPECT_EQ(ExchangeOutcome, TExchangeOutcome::NoReply);

    // Four stray bytes hide the reply.
    std::vector<std::uint8_t> four = {0, 0, 0, 0};
    four.insert(four.end(), Signature.begin(), Signature.end());
    port.reads.push_back(four);
    EXPECT_EQ(Send(ciSignature), esNoReply);

    // A corrupted CRC.
    auto corrupt = Signature;
    corrupt.back() ^= 0x55;
    port.reads.push_back(corrupt);
    EXPECT_EQ(Send(ciSignature), esNoReply);
    EXPECT_EQ(ExchangeOutcome, TExchangeOutcome::BadCrc);
    EXPECT_EQ(RxText, "");
}

TEST_F(WorkerTest, AltReplyIsAcceptedForACalibration) {
    port.reads.push_back({1, 250, 2, 0, 32, 137});
    EXPECT_EQ(Send(ciCalibrateC1Channel1, 500), esAccepted);
    EXPECT_EQ(port.readCounts.back(), 9);
    EXPECT_EQ(port.writes[0],
              (std::vector<std::uint8_t>{0xFF, 0xA4, 0x05, 0xA0, 0x00, 0x01, 0xF4, 0xE3, 0x3C}));
    EXPECT_EQ(RxText, "1 250 2 0 32 137 ");
}

TEST_F(WorkerTest, SystemBusModeConsumesOneWaitingByteBeforeSending) {
    host.mode = tmSystemBus;
    port.reads.push_back({0x7E}); // the stray byte waiting in the input queue
    port.reads.push_back(Signature);
    EXPECT_EQ(Send(ciSignature), esAccepted);
    EXPECT_EQ(port.readCounts, (std::vector<std::int32_t>{1, 13}));
}

TEST_F(WorkerTest, BytesWaitingBeforeTheRequestAreDiscardedAsLateInBothModes) {
    // Software mode: the late bytes go; the reply read after the request counts.
    port.waiting = {7};
    port.reads.push_back(Signature);
    EXPECT_EQ(Send(ciSignature), esAccepted);
    EXPECT_EQ(LateByteCount, 7);
    EXPECT_EQ(PreReadCount, 0);
    EXPECT_EQ(port.inputPurges, 1);

    // System bus: the pre-read takes its one byte first, the rest is discarded.
    host.mode = tmSystemBus;
    port.waiting = {3};
    port.reads = {{0x7E}, Signature};
    EXPECT_EQ(Send(ciSignature), esAccepted);
    EXPECT_EQ(PreReadCount, 1);
    EXPECT_EQ(PreReadByte, 0x7E);
    EXPECT_EQ(LateByteCount, 3);
    EXPECT_EQ(port.inputPurges, 2);

    // Nothing waiting: nothing extra is purged.
    port.reads = {{}, Signature};
    EXPECT_EQ(Send(ciSignature), esAccepted);
    EXPECT_EQ(PreReadCount, 0);
    EXPECT_EQ(LateByteCount, 0);
    EXPECT_EQ(port.inputPurges, 2);
}

// The line must be quiet for a while before a request: each byte heard in
// the gap starts it again and is discarded, and the request goes out after.
TEST_F(WorkerTest, BytesHeardInTheQuietGapAreDiscardedBeforeTheRequest) {
    port.heardWhileQuiet = {1, 1, 1};
    port.reads.push_back(Signature);
    EXPECT_EQ(Send(ciSignature), esAccepted);
    EXPECT_TRUE(port.heardWhileQuiet.empty());
    EXPECT_EQ(LateByteCount, 3);
    EXPECT_EQ(port.writes.size(), 1u);
}

TEST_F(WorkerTest, APortThatCannotCountWaitingBytesIsPurgedUnlessItsDeviceIsLost) {
    // A virtual port whose driver fails every count with "invalid parameter".
    port.failWaiting = EComPort(CError_ClearComFailed, ComResult{ComFault::InvalidArgument, 87});
    port.reads.push_back(Signature);
    EXPECT_EQ(Send(ciSignature), esAccepted);
    EXPECT_EQ(LateByteCount, LateBytesUncounted);
    EXPECT_EQ(port.inputPurges, 1);
    EXPECT_EQ(port.writes.size(), 1u);

    // Bytes heard while waiting for a quiet line do not turn the note into a count.
    port.heardWhileQuiet = {1, 1};
    port.reads.push_back(Signature);
    EXPECT_EQ(Send(ciSignature), esAccepted);
    EXPECT_EQ(LateByteCount, LateBytesUncounted);
    EXPECT_TRUE(port.heardWhileQuiet.empty());

    port.failWaiting = EComPort(CError_ClearComFailed, ComResult{ComFault::DeviceLost, 22});
    EXPECT_EQ(Send(ciSignature), esNoReply);
    EXPECT_EQ(ExchangeOutcome, TExchangeOutcome::DeviceLost);
    EXPECT_EQ(port.writes.size(), 2u);
}

TEST_F(WorkerTest, ClosedPortSendsNothingAndEndsAsPortNotOpen) {
    port.connected = false;
    EXPECT_EQ(Send(ciReadings), esNoReply);
    EXPECT_TRUE(port.writes.empty());
    EXPECT_TRUE(port.readCounts.empty());
    EXPECT_EQ(ExchangeOutcome, TExchangeOutcome::PortNotOpen);
}

TEST_F(WorkerTest, PortErrorEndsTheTransactionAndTheWorkerServesTheNext) {
    UART_THREAT worker(host);
    port.failRead = EComPort(CError_ReadFailed, ComResult{ComFault::DeviceLost, EIO});
    EXPECT_EQ(SendWith(worker, ciSignature), esNoReply);
    EXPECT_EQ(ExchangeOutcome, TExchangeOutcome::DeviceLost);
    EXPECT_EQ(OutcomePortCode, CError_ReadFailed);
    EXPECT_EQ(OutcomeSystemCode, EIO);

    // The kind decides, not the code: EIO that is not a lost device is a port error.
    port.failRead = EComPort(CError_ReadFailed, ComResult{ComFault::Other, EIO});
    EXPECT_EQ(SendWith(worker, ciSignature), esNoReply);
    EXPECT_EQ(ExchangeOutcome, TExchangeOutcome::PortError);

    // Half a request on the line (a write time-out) fails the request; no
    // reply is read for it.
    port.shortWrite = 2;
    port.reads.push_back(Signature);
    EXPECT_EQ(SendWith(worker, ciSignature), esNoReply);
    EXPECT_EQ(ExchangeOutcome, TExchangeOutcome::PortError);
    EXPECT_EQ(OutcomePortCode, CError_WriteFailed);
    EXPECT_EQ(port.reads.size(), 1U);

    EXPECT_EQ(SendWith(worker, ciSignature), esAccepted);
}

TEST_F(WorkerTest, LaterShortRequestSendsOnlyItsOwnBytes) {
    UART_THREAT worker(host);
    SendWith(worker, ciReadCoeffs);
    EXPECT_EQ(port.writes[0],
              (std::vector<std::uint8_t>{0xFF, 0xA5, 0x04, 0xB6, 0x00, 0x08, 0xB9, 0x1D}));
    SendWith(worker, ciSignature);
    EXPECT_EQ(port.writes[1].size(), 5U);
}

TEST_F(WorkerTest, DispatchTextListsTheRequestBytes) {
    BuildRequest(ciSignature, 0, TxFrame);
    RxFrame.fill(7);
    EXPECT_EQ(PrepareRequest(), "255 32 1 153 240 ");
    EXPECT_EQ(RxFrame, TFrame{});
    BuildRequest(ciCalibrateC2Channel2, 500, TxFrame);
    EXPECT_EQ(PrepareRequest(), "255 164 5 160 3 1 244 19 60 ");
}

// A port that answers at once, for many hand-offs in a row.
class InstantPort : public IExchangePort {
public:
    bool Connected() const override { return true; }
    std::int32_t ReadBytes(void* buffer, std::int32_t count) override {
        if (count == 1) {
            return 0;
        }
        std::memcpy(buffer, Signature.data(), Signature.size());
        return static_cast<std::int32_t>(Signature.size());
    }
    std::int32_t WriteBytes(const void*, std::int32_t count) override { return count; }
    void PurgeBuffers(bool, bool) override {}
    std::int32_t BytesWaiting() override { return 0; }
};

TEST(WorkerStress, NoWakeUpIsLostOverManyHandOffs) {
    InstantPort port;
    FakeExchangeHost host(port);
    host.mode = tmSystemBus; // no 2 ms pause: hand-offs as fast as they go
    UART_THREAT worker(host);
    constexpr int Cycles = 100000;
    int accepted = 0;
    for (int i = 0; i < Cycles; ++i) {
        ReplyDataLength = *BuildRequest(ciSignature, 0, TxFrame);
        PrepareRequest();
        accepted += StartAndAwait(worker) == esAccepted ? 1 : 0;
    }
    EXPECT_EQ(accepted, Cycles);
}
