// The poll cycle over a scripted instrument: what it publishes, what it says
// and when it opens the port again.
#include "app/gateway/RegisterMap.h"
#include "poll/Poller.h"
#include "protocol/CommandSet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>

using namespace orbel;
using orbel::gateway::BuildRegisters;
using orbel::gateway::TRegisters;

using namespace std::chrono_literals;
using TKind = TLineAnswer::TKind;

namespace {

// A reply as the decoder takes it off the line (address first, no CRC).
TDecodedReply Decoded(std::initializer_list<std::uint8_t> bytes) {
    EMUL_Functions::TFrame frame{};
    std::copy(bytes.begin(), bytes.end(), frame.begin());
    return DecodeReply(frame, ",");
}

class TScriptedLine : public IInstrumentLine {
public:
    std::deque<bool> opens;     // true: the next open succeeds
    std::deque<TKind> readings; // outcome of the next readings requests
    std::vector<int> sent;      // command indexes in order
    int closes = 0;

    bool Open(const std::string&, std::string& reason) override {
        const bool ok = opens.empty() || opens.front();
        if (!opens.empty()) {
            opens.pop_front();
        }
        reason = "no such device";
        return ok;
    }
    void Close() override { ++closes; }
    TLineAnswer Exchange(int index) override {
        sent.push_back(index);
        TLineAnswer a;
        a.kind = TKind::Answered;
        if (index == ciReadings) {
            a.kind = readings.empty() ? TKind::Answered : readings.front();
            if (!readings.empty()) {
                readings.pop_front();
            }
            // Channel 1 only (status 2): 62.5 % and 58.0 %.
            a.reply = Decoded({0xFF, 0x02, 0x0B, 0x02, 0x71, 0x02, 0x44, 0, 1, 0, 2, 2});
        } else if (index == ciSignature) {
            a.reply = Decoded({7, 0x20, 0x06, 1, 0, 42, 1, 3});
        } else {
            a.reply = Decoded({0xFF, 0xA5, 0x09, 0, 50, 0x03, 0x84, 0, 50, 0x03, 0x84});
        }
        a.reason = a.kind == TKind::PortLost ? "the device was lost" : "no reply";
        return a;
    }
};

struct PollFixture : ::testing::Test {
    TScriptedLine line;
    TStateStore store;
    std::vector<std::string> said;
    TPollCycle cycle{line, "/dev/ttyUSB0", store,
                     [this](const std::string& s) { said.push_back(s); }};
    TClock::time_point now{};
    std::chrono::milliseconds Step() { return cycle.Step(now += 1300ms); }
};

} // namespace

TEST_F(PollFixture, IdentityFollowsTheFirstReadingsAndEveryReconnect) {
    line.readings = {TKind::Answered, TKind::Answered, TKind::PortLost, TKind::Answered};
    EXPECT_EQ(Step(), 0ms);
    EXPECT_EQ(Step(), 0ms);
    EXPECT_EQ(Step(), 500ms); // lost: back soon
    EXPECT_EQ(Step(), 0ms);
    EXPECT_EQ(line.sent, (std::vector<int>{ciReadings, ciSignature, ciReadCoeffs, ciReadings,
                                           ciReadings, ciReadings, ciSignature, ciReadCoeffs}));
    EXPECT_EQ(line.closes, 1);
    const TInstrumentState s = store.Read();
    EXPECT_EQ(s.answeredPolls, 3U);
    EXPECT_EQ(s.failedPolls, 1U);
    EXPECT_TRUE(s.portOpen && s.answering && s.hasReadings);
    EXPECT_EQ(s.readingsTime, now);
    EXPECT_EQ(s.channelValid, (std::array<bool, 2>{true, false}));
    // What a client reads: status, readings, signature and coefficients.
    const TRegisters r = BuildRegisters(s, now, 3900ms);
    EXPECT_EQ(std::vector<std::uint16_t>(r.begin(), r.begin() + 5),
              (std::vector<std::uint16_t>{2, 625, 580, orbel::gateway::NoValue,
                                          orbel::gateway::NoValue}));
    EXPECT_EQ(std::vector<std::uint16_t>(r.begin() + 9, r.end()),
              (std::vector<std::uint16_t>{7, 1, 42, 1, 3, 50, 900, 50, 900}));
}

TEST_F(PollFixture, OneLinePerChangeOfStateAndABackoffUpToTenSeconds) {
    line.opens = {false, false, false, false, false, false, false, false, true};
    std::vector<std::chrono::milliseconds> waits;
    for (int i = 0; i < 8; ++i) {
        waits.push_back(Step());
    }
    EXPECT_EQ(waits,
              (std::vector<std::chrono::milliseconds>{500ms, 1s, 2s, 4s, 8s, 10s, 10s, 10s}));
    EXPECT_FALSE(store.Read().portOpen);
    line.readings = {TKind::NoAnswer, TKind::Answered, TKind::NoAnswer,
                     TKind::NoAnswer, TKind::NoAnswer, TKind::Answered};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(Step(), 0ms);
    }
    EXPECT_EQ(said, (std::vector<std::string>{
                        "cannot open /dev/ttyUSB0: no such device; retrying",
                        "/dev/ttyUSB0 is open",
                        "the instrument answers",
                        "the instrument does not answer: no reply",
                        "the instrument answers",
                    }));
    EXPECT_EQ(store.Read().failedPolls, 4U);
    // A silent spell makes the identity be read again.
    EXPECT_EQ(line.sent.back(), ciReadCoeffs);
}

TEST_F(PollFixture, ObserversAreToldOfEveryStep) {
    struct TSeen {
        TLineStatus line;
        bool changed;
        std::string reason;
        bool readings;
        bool identity;
        std::uint32_t answered;
    };
    std::vector<TSeen> seen;
    cycle.AddObserver([&](const TPollResult& p) {
        seen.push_back({p.line, p.lineChanged, p.lineReason, p.readings != nullptr, p.identityRead,
                        p.state.answeredPolls});
    });
    line.opens = {false, true};
    line.readings = {TKind::Answered, TKind::Answered, TKind::PortLost};
    for (int i = 0; i < 4; ++i) {
        Step();
    }
    ASSERT_EQ(seen.size(), 4U);
    const auto expect = [&](std::size_t i, TLineStatus status, bool changed, const char* reason,
                            bool readings, bool identity, std::uint32_t answered) {
        EXPECT_EQ(seen[i].line, status) << i;
        EXPECT_EQ(seen[i].changed, changed) << i;
        EXPECT_EQ(seen[i].reason, reason) << i;
        EXPECT_EQ(seen[i].readings, readings) << i;
        EXPECT_EQ(seen[i].identity, identity) << i;
        EXPECT_EQ(seen[i].answered, answered) << i;
    };
    expect(0, TLineStatus::OpenFailed, true, "no such device", false, false, 0);
    expect(1, TLineStatus::Answering, true, "", true, true, 1);
    expect(2, TLineStatus::Answering, false, "", true, false, 2);
    expect(3, TLineStatus::Lost, true, "the device was lost", true, false, 2);
    EXPECT_EQ(store.Read().answeredPolls, 2U); // the store is told as well
}

TEST(PollCycle, WithoutIdentityOnlyReadingsGoOut) {
    TScriptedLine line;
    TPollCycle cycle(
        line, "COM1", [](const std::string&) {}, TPollSettings{false});
    for (int i = 0; i < 3; ++i) {
        cycle.Step(TClock::time_point{});
    }
    EXPECT_EQ(line.sent, (std::vector<int>{ciReadings, ciReadings, ciReadings}));
}

TEST_F(PollFixture, AReopenRequestClosesOpensAndReadsTheIdentityAgain) {
    Step();
    line.sent.clear();
    cycle.RequestReopen();
    EXPECT_EQ(Step(), 0ms);
    EXPECT_EQ(line.closes, 1);
    EXPECT_EQ(line.sent, (std::vector<int>{ciReadings, ciSignature, ciReadCoeffs}));
    EXPECT_EQ(std::count(said.begin(), said.end(), "/dev/ttyUSB0 is open"), 2);
    EXPECT_EQ(said.back(), "the instrument answers");
}
