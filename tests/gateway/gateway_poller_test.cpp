// The poll cycle over a scripted instrument: what it publishes, what it says
// and when it opens the port again.
#include "poll/Poller.h"
#include "protocol/CommandSet.h"

#include <gtest/gtest.h>

#include <deque>

using namespace orbel;

using namespace std::chrono_literals;
using TKind = TLineAnswer::TKind;

namespace {

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
            a.reply.kind = TReplyKind::Readings;
            a.reply.channels = {TChannelReading{true, 625, 580}, TChannelReading{false, 1, 2}};
            a.reply.sensorStatus = 2;
        } else if (index == ciSignature) {
            a.reply.kind = TReplyKind::Signature;
            a.reply.signature = {7, 1, 42, 1, 3};
        } else {
            a.reply.kind = TReplyKind::Coefficients;
            a.reply.coefficientTenths = {50, 900, 50, 900};
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
    EXPECT_EQ(s.readings, (std::array<std::uint16_t, 4>{625, 580, 1, 2}));
    EXPECT_EQ(s.channelValid, (std::array<bool, 2>{true, false}));
    EXPECT_EQ(s.signature, (std::array<std::uint16_t, 5>{7, 1, 42, 1, 3}));
    EXPECT_EQ(s.coefficientTenths[1], 900);
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
