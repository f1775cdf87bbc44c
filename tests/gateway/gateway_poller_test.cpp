// The poll cycle over a scripted instrument: what it publishes, what it says
// and when it opens the port again.
#include "app/gateway/Poller.h"
#include "app/gateway/RegisterMap.h"
#include "protocol/CommandSet.h"

#include <gtest/gtest.h>

#include <deque>

using namespace orbel;

using namespace orbel::gateway;
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
              (std::vector<std::uint16_t>{2, 625, 580, 1, 2}));
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
