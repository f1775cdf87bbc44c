// The simulator on its pseudo-terminal, reached as the tool reaches it: the
// slave device opened raw, requests written, replies read with deadlines.
#include "PtyClient.h"
#include "common/SimThread.h"
#include "sim/Crc16.h"

#include <gtest/gtest.h>

using namespace orbel::test;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

const Bytes kSignature{0xFF, 0x20, 0x01, 0x99, 0xF0};
const Bytes kReadings{0xFF, 0x02, 0x01, 0x81, 0x50};
const Bytes kCoeffs{0xFF, 0xA5, 0x04, 0xB6, 0x00, 0x08, 0xB9, 0x1D};
const Bytes kCalibrate1C1To50{0xFF, 0xA4, 0x05, 0xA0, 0x00, 0x01, 0xF4, 0xE3, 0x3C};
const Bytes kSignatureReply{0x01, 0x20, 0x06, 0x01, 0x00, 0x2A, 0x01, 0x03, 0xFD, 0xFA};

// Long enough for any reply that is coming to have come.
constexpr milliseconds kQuiet{150};

SimThread::Options Exact() {
    SimThread::Options o;
    o.address = 255;
    o.readings = {1000, 500, 100, 50};
    o.drift = false;
    return o;
}

bool CrcMatches(const Bytes& frame) {
    if (frame.size() < 5) {
        return false;
    }
    const auto crc = orbel::sim::Crc16(std::span(frame).first(frame.size() - 2));
    return frame[frame.size() - 2] == (crc & 0xFF) && frame.back() == (crc >> 8);
}

} // namespace

TEST(SimLine, AnswersEachCommandQuicklyWithItsReplyFrame) {
    SimThread sim(Exact());
    PtyClient tool(sim.DevicePath());
    const struct {
        Bytes request;
        Bytes reply;
    } exchanges[] = {
        {kSignature, {0xFF, 0x20, 0x06, 0x01, 0x00, 0x2A, 0x01, 0x03, 0x73, 0x32}},
        {kReadings,
         {0xFF, 0x02, 0x0B, 0x03, 0xE8, 0x01, 0xF4, 0x00, 0x64, 0x00, 0x32, 0x00, 0x00, 0x71,
          0xF9}},
        {kCoeffs, {0xFF, 0xA5, 0x09, 0x00, 0x32, 0x03, 0x84, 0x00, 0x32, 0x03, 0x84, 0x0B, 0x83}},
    };
    for (const auto& e : exchanges) {
        const auto start = Clock::now();
        EXPECT_EQ(tool.Exchange(e.request, e.reply.size()), e.reply);
        // The tool allows 7 ms per byte for the whole reply.
        EXPECT_LT(Clock::now() - start, milliseconds(7 * e.reply.size()));
    }
    ASSERT_TRUE(sim.WaitForSent(3));
    const auto received = sim.Received();
    ASSERT_EQ(received.size(), 3U);
    EXPECT_EQ(received[2].bytes, kCoeffs);
    EXPECT_EQ(sim.Sent()[0].bytes, exchanges[0].reply);
}

TEST(SimLine, CalibrationIsReadBackAsThatPointsCoefficient) {
    SimThread sim(Exact());
    PtyClient tool(sim.DevicePath());
    EXPECT_EQ(tool.Exchange(kCalibrate1C1To50, 6), (Bytes{0xFF, 0xA4, 0x02, 0x00, 0x70, 0xB3}));
    const Bytes coeffs = tool.Exchange(kCoeffs, 13);
    ASSERT_EQ(coeffs.size(), 13U);
    EXPECT_EQ(Bytes(coeffs.begin() + 3, coeffs.begin() + 11),
              (Bytes{0x01, 0xF4, 0x03, 0x84, 0x00, 0x32, 0x03, 0x84}));
    EXPECT_TRUE(CrcMatches(coeffs));
    EXPECT_EQ(sim.CurrentOptions().coeffs[0], 500);
}

TEST(SimLine, UnknownCommandsAndBadCrcGetNoAnswerAndDoNotDisturbTheNext) {
    SimThread sim;
    PtyClient tool(sim.DevicePath());
    tool.Write({0xFF, 0x21, 0x01, 0x98, 0x60}); // command 33, valid CRC
    EXPECT_TRUE(tool.ReadFor(kQuiet).empty());
    tool.Write({0xFF, 0x20, 0x01, 0x99, 0xF1});
    EXPECT_TRUE(tool.ReadFor(kQuiet).empty());
    EXPECT_EQ(tool.Exchange(kSignature, 10), kSignatureReply);
    EXPECT_EQ(sim.Received().size(), 2U); // the bad CRC never made a frame
}

TEST(SimLine, PartialRequestIsForgottenAfterSilence) {
    SimThread sim;
    PtyClient tool(sim.DevicePath());
    tool.Write(Bytes(kCoeffs.begin(), kCoeffs.begin() + 4));
    EXPECT_TRUE(tool.ReadFor(kQuiet).empty());
    // Kept, the first half would now complete the request.
    tool.Write(Bytes(kCoeffs.begin() + 4, kCoeffs.end()));
    EXPECT_TRUE(tool.ReadFor(kQuiet).empty());
    EXPECT_EQ(tool.Exchange(kSignature, 10), kSignatureReply);
}

TEST(SimLine, FaultOptionsShapeTheRepliesAndCanChangeBetweenExchanges) {
    SimThread sim;
    PtyClient tool(sim.DevicePath());

    sim.Update([](auto& o) { o.stray = 3; });
    Bytes stray{0, 0, 0};
    stray.insert(stray.end(), kSignatureReply.begin(), kSignatureReply.end());
    EXPECT_EQ(tool.Exchange(kSignature, 13), stray);

    sim.Update([](auto& o) {
        o.stray = 0;
        o.corruptEvery = 2; // counts every reply since start: this is the 2nd
    });
    const Bytes second = tool.Exchange(kSignature, 10);
    EXPECT_EQ(Bytes(second.begin(), second.end() - 1),
              Bytes(kSignatureReply.begin(), kSignatureReply.end() - 1));
    EXPECT_FALSE(CrcMatches(second));
    EXPECT_EQ(tool.Exchange(kSignature, 10), kSignatureReply);
    EXPECT_FALSE(CrcMatches(tool.Exchange(kSignature, 10)));

    sim.Update([](auto& o) {
        o.corruptEvery = 0;
        o.altReply = true;
    });
    EXPECT_EQ(tool.Exchange(kCoeffs, 6), (Bytes{0x01, 0xFA, 0x02, 0x01, 0xE1, 0x49}));

    sim.Update([](auto& o) { o.silent = true; });
    const auto heard = sim.Received().size();
    tool.Write(kSignature);
    EXPECT_TRUE(tool.ReadFor(kQuiet).empty());
    EXPECT_EQ(sim.Received().size(), heard + 1); // heard, not answered
}

TEST(SimLine, DelayAndLateLastByteHoldTheReplyBack) {
    SimThread sim;
    PtyClient tool(sim.DevicePath());

    sim.Update([](auto& o) { o.delayMs = 80; });
    auto start = Clock::now();
    tool.Write(kSignature);
    EXPECT_EQ(tool.Read(1).size(), 1U);
    EXPECT_GE(Clock::now() - start, milliseconds(80));
    EXPECT_EQ(tool.Read(9).size(), 9U);

    sim.Update([](auto& o) {
        o.delayMs = 0;
        o.lateLastMs = 60;
    });
    start = Clock::now();
    tool.Write(kSignature);
    const Bytes early = tool.Read(9, milliseconds(40));
    EXPECT_EQ(early, Bytes(kSignatureReply.begin(), kSignatureReply.end() - 1));
    EXPECT_EQ(tool.Read(1), Bytes{kSignatureReply.back()});
    EXPECT_GE(Clock::now() - start, milliseconds(60));
}

// Behind a 16 ms latency timer the 15 paced bytes of the readings reply (17 ms
// on the line) come in two or three bursts instead of one byte at a time.
TEST(SimLine, ALatencyTimerHandsTheReplyOverInBursts) {
    SimThread sim;
    PtyClient tool(sim.DevicePath());
    sim.Update([](auto& o) {
        o.pace = true;
        o.latencyTimerMs = 16;
    });
    tool.Write(kReadings);
    Bytes reply = tool.Read(1);
    int bursts = reply.empty() ? 0 : 1;
    const auto end = Clock::now() + milliseconds(1000);
    while (reply.size() < 15 && Clock::now() < end) {
        const Bytes more = tool.ReadFor(milliseconds(1));
        bursts += more.empty() ? 0 : 1;
        reply.insert(reply.end(), more.begin(), more.end());
    }
    ASSERT_EQ(reply.size(), 15U);
    EXPECT_TRUE(CrcMatches(reply));
    EXPECT_LE(bursts, 3);
}

TEST(SimLine, ToolMayCloseAndReopenThePort) {
    SimThread sim;
    PtyClient tool(sim.DevicePath());
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(tool.Exchange(kSignature, 10), kSignatureReply) << round;
        tool.Close();
        tool.Open();
    }
    // A request left half-written by a tool that went away does no harm.
    tool.Write({0xFF, 0x20});
    tool.Close();
    tool.Open();
    EXPECT_TRUE(tool.ReadFor(kQuiet).empty());
    EXPECT_EQ(tool.Exchange(kSignature, 10), kSignatureReply);
    EXPECT_FALSE(sim.HungUp());
}

TEST(SimLine, HangsUpWhenTheRequestAfterTheLastReplyComes) {
    SimThread::Options o;
    o.hangupAfter = 2;
    SimThread sim(o);
    PtyClient tool(sim.DevicePath());
    EXPECT_EQ(tool.Exchange(kSignature, 10), kSignatureReply);
    EXPECT_EQ(tool.Exchange(kSignature, 10), kSignatureReply);
    tool.Write(kSignature);
    EXPECT_TRUE(tool.Read(10).empty());
    EXPECT_TRUE(tool.HungUp());
    EXPECT_TRUE(sim.WaitForHangup());
}

TEST(SimLine, HangsUpByItselfShortlyAfterTheLastReply) {
    SimThread::Options o;
    o.hangupAfter = 1;
    SimThread sim(o);
    PtyClient tool(sim.DevicePath());
    const auto start = Clock::now();
    EXPECT_EQ(tool.Exchange(kSignature, 10), kSignatureReply);
    EXPECT_TRUE(sim.WaitForHangup());
    EXPECT_GE(Clock::now() - start, orbel::sim::Simulator::kHangupLinger);
    EXPECT_TRUE(tool.Read(1).empty());
    EXPECT_TRUE(tool.HungUp());
}
