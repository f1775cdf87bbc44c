// The link every front end uses, on a real port against the simulated
// instrument on a pseudo-terminal.
#include "common/SimFixture.h"
#include "protocol/InstrumentLink.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <stdexcept>
#include <thread>
#include <unistd.h>

using namespace orbel;

using EMUL_Functions::TExchangeOutcome;
using orbel::test::SimThread;

TEST(InstrumentLink, EachInstrumentBehaviourComesToItsAnswer) {
    struct Row {
        const char* name;
        void (*change)(SimThread::Options&);
        TAnswerKind kind;
        TExchangeOutcome outcome;
    };
    const Row rows[] = {
        {"answers", [](SimThread::Options&) {}, TAnswerKind::Answered, TExchangeOutcome::Accepted},
        {"silent", [](SimThread::Options& o) { o.silent = true; }, TAnswerKind::NoAnswer,
         TExchangeOutcome::NoReply},
        {"bad CRC", [](SimThread::Options& o) { o.corruptEvery = 1; }, TAnswerKind::NoAnswer,
         TExchangeOutcome::BadCrc},
        {"code 250", [](SimThread::Options& o) { o.altReply = true; }, TAnswerKind::AltReply,
         TExchangeOutcome::Accepted},
    };
    SimThread sim(SimThread::Steady());
    TInstrumentLink link("/dev/null");
    link.Open(sim.DevicePath(), tmSoftware);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        sim.Update([&](SimThread::Options& o) {
            o = SimThread::Steady();
            row.change(o);
        });
        const TLinkAnswer answer = link.Run({ciReadings});
        EXPECT_EQ(answer.kind, row.kind);
        EXPECT_EQ(answer.outcome, row.outcome);
        EXPECT_EQ(answer.sent, "255 2 1 129 80 ");
        EXPECT_EQ(answer.reply.kind,
                  row.kind == TAnswerKind::Answered ? TReplyKind::Readings : TReplyKind::Other);
        EXPECT_EQ(answer.received.empty(), !answer.Accepted());
        EXPECT_FALSE(answer.DeviceLost());
    }
}

TEST(InstrumentLink, ALostDeviceAndAClosedPortAreTold) {
    SimThread::Options options = SimThread::Steady();
    options.hangupAfter = 1;
    SimThread sim(options);
    TInstrumentLink link("/dev/null");
    link.Open(sim.DevicePath(), tmSystemBus);
    EXPECT_EQ(link.Mode(), tmSystemBus);
    const TLinkAnswer signature = link.Run({ciSignature});
    EXPECT_EQ(signature.kind, TAnswerKind::Answered);
    EXPECT_EQ(signature.reply.signature.serial, 42);
    ASSERT_TRUE(sim.WaitForHangup());

    const TLinkAnswer lost = link.Run({ciReadings});
    EXPECT_EQ(lost.kind, TAnswerKind::PortLost);
    EXPECT_TRUE(lost.DeviceLost());
    EXPECT_NE(lost.portCode, 0);

    link.Close();
    link.Close(); // closing twice is no error
    EXPECT_FALSE(link.IsOpen());
    const TLinkAnswer closed = link.Run({ciReadings});
    EXPECT_EQ(closed.kind, TAnswerKind::PortLost);
    EXPECT_EQ(closed.outcome, TExchangeOutcome::PortNotOpen);
    EXPECT_FALSE(closed.DeviceLost());
}

TEST(InstrumentLink, EveryRequestLeavesOneTraceRecordAndAnUnknownCommandNone) {
    const std::string path = "/tmp/orbel-link-" + std::to_string(::getpid()) + ".log";
    std::filesystem::remove(path);
    SimThread sim(SimThread::Steady());
    {
        TInstrumentLink link(path);
        link.Open(sim.DevicePath(), tmSoftware);
        std::string seen;
        link.Run({ciCalibrateC1Channel1, 500}, [&](const std::string& sent) { seen = sent; });
        EXPECT_EQ(seen, "255 164 5 160 0 1 244 227 60 ");
        EXPECT_THROW(link.Run({CommandCount}), std::invalid_argument);
        sim.Update([](SimThread::Options& o) { o.silent = true; });
        link.Run({ciReadings});
    }
    std::ifstream in(path);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    std::filesystem::remove(path);
    const std::string s = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} )";
    EXPECT_TRUE(std::regex_match(
        text, std::regex(s + "TX FF A4 05 A0 00 01 F4 E3 3C\n" + s + "RX [0-9A-F ]+\n" + s +
                         "accepted\n" + s + "TX FF 02 01 81 50\n" + s + "RX\n" + s + "no reply\n")))
        << text;
    EXPECT_EQ(sim.Received().size(), 2U);
}

// Two instruments on two ports, one link each, each link on a thread of its
// own: every answer is its own instrument's (the tsan preset checks that the
// links share nothing).
TEST(InstrumentLink, TwoLinksRunAtOnceEachInItsOwnArea) {
    SimThread::Options first = SimThread::Steady();
    SimThread::Options second = SimThread::Steady();
    second.readings = {100, 200, 300, 400};
    SimThread simA(first);
    SimThread simB(second);
    TInstrumentLink linkA("/dev/null");
    TInstrumentLink linkB("/dev/null");
    EXPECT_EQ(&linkA.Area(), &EMUL_Functions::SharedArea()); // the inherited names' area
    EXPECT_NE(&linkB.Area(), &linkA.Area());
    linkA.Open(simA.DevicePath(), tmSoftware);
    linkB.Open(simB.DevicePath(), tmSystemBus);

    constexpr int Requests = 15;
    const auto poll = [](TInstrumentLink& link, std::uint16_t level, int& answered) {
        for (int i = 0; i < Requests; ++i) {
            const TLinkAnswer answer = link.Run({i % 2 == 0 ? ciReadings : ciSignature});
            answered += answer.kind == TAnswerKind::Answered &&
                        (i % 2 != 0 || answer.reply.channels[0].levelTenths == level);
        }
    };
    int answeredA = 0;
    int answeredB = 0;
    std::thread threadB([&] { poll(linkB, 100, answeredB); });
    poll(linkA, 625, answeredA);
    threadB.join();
    EXPECT_EQ(answeredA, Requests);
    EXPECT_EQ(answeredB, Requests);
}
