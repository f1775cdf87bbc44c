// The register map and what each request gets from it.
#include "app/gateway/RegisterMap.h"

#include <gtest/gtest.h>

#include <vector>

using namespace orbel;
using namespace orbel::gateway;
using namespace std::chrono_literals;
using TKind = TRequestVerdict::TKind;

namespace {

// A read request with the MBAP header; the length field matches the frame.
std::vector<std::uint8_t> Request(std::uint8_t unit, std::uint8_t function, unsigned address,
                                  unsigned quantity) {
    return {0x12,
            0x34,
            0,
            0,
            0,
            6,
            unit,
            function,
            static_cast<std::uint8_t>(address >> 8),
            static_cast<std::uint8_t>(address),
            static_cast<std::uint8_t>(quantity >> 8),
            static_cast<std::uint8_t>(quantity)};
}

TInstrumentState Answering(TClock::time_point readAt) {
    TInstrumentState s;
    s.portOpen = true;
    s.answering = true;
    s.hasReadings = true;
    s.readingsTime = readAt;
    s.sensorStatus = 1;
    s.channelValid = {false, true};
    s.readings = {625, 580, 340, 295};
    s.answeredPolls = 0x10005; // only the low 16 bits are served
    s.failedPolls = 3;
    s.signature = {1, 2, 4242, 5, 6};
    s.coefficientTenths = {50, 900, 51, 901};
    return s;
}

} // namespace

TEST(GatewayMap, RegistersCarryTheStateAtFixedAddresses) {
    const TClock::time_point t0{};
    const TRegisters r = BuildRegisters(Answering(t0), t0 + 1234ms, 3900ms);
    const TRegisters expected = {1,  625, 580, 340, 295, vbChannel2 | vbAnswering | vbPortOpen,
                                 12, 5,   3,   1,   2,   4242,
                                 5,  6,   50,  900, 51,  901};
    EXPECT_EQ(r, expected);
    EXPECT_EQ(BuildDiscreteInputs(r), (TDiscreteInputs{0, 1, 1, 1}));
}

TEST(GatewayMap, StaleOrMissingReadingsLoseChannelValidityAndAge) {
    const TClock::time_point t0{};
    TInstrumentState lost = Answering(t0);
    lost.answering = false;
    lost.portOpen = false;
    const TRegisters old = BuildRegisters(lost, t0 + 3901ms, 3900ms);
    EXPECT_EQ(old[5], 0);
    EXPECT_EQ(old[6], 39);
    EXPECT_EQ(old[1], 625); // still there for whoever reads it without a 0B
    EXPECT_TRUE(ReadingsStale(lost, t0 + 3901ms, 3900ms));
    EXPECT_FALSE(ReadingsStale(lost, t0 + 3900ms, 3900ms));

    EXPECT_EQ(BuildRegisters(lost, t0 + 10000s, 3900ms)[6], 65535); // saturates
    const TInstrumentState never;
    EXPECT_TRUE(ReadingsStale(never, t0, 3900ms));
    EXPECT_EQ(BuildRegisters(never, t0, 3900ms)[6], 65535);
}

TEST(GatewayMap, RequestsGetAnswersOrTheirException) {
    struct Case {
        std::uint8_t unit, function;
        unsigned address, quantity;
        bool stale;
        TKind kind;
        std::uint8_t exception;
    };
    const Case cases[] = {
        {1, 3, 0, 18, false, TKind::Answer, 0},
        {1, 4, 0, 18, false, TKind::Answer, 0},
        {1, 4, 17, 1, false, TKind::Answer, 0},
        {1, 2, 0, 4, false, TKind::Answer, 0},
        {1, 2, 3, 1, true, TKind::Answer, 0}, // the validity bits stay readable
        {1, 3, 0, 19, false, TKind::Exception, meIllegalAddress},
        {1, 4, 18, 1, false, TKind::Exception, meIllegalAddress},
        {1, 4, 0xFFFF, 1, false, TKind::Exception, meIllegalAddress},
        {1, 2, 0, 5, false, TKind::Exception, meIllegalAddress},
        {1, 3, 0, 0, false, TKind::Exception, meIllegalValue},
        {1, 3, 0, 126, false, TKind::Exception, meIllegalValue},
        {1, 3, 0, 1, true, TKind::Exception, meTargetFailed},
        {1, 4, 4, 2, true, TKind::Exception, meTargetFailed},
        {1, 4, 5, 13, true, TKind::Answer, 0},
        {1, 4, 10, 18, true, TKind::Exception, meIllegalAddress}, // outside wins over stale
        {1, 1, 0, 1, false, TKind::Exception, meIllegalFunction}, // no coils
        {1, 5, 0, 0xFF00, false, TKind::Exception, meIllegalFunction},
        {1, 6, 14, 50, false, TKind::Exception, meIllegalFunction},
        {1, 0x2B, 0x0E01, 0, false, TKind::Exception, meIllegalFunction},
        {0, 4, 0, 1, false, TKind::Answer, 0},
        {255, 4, 0, 1, false, TKind::Answer, 0},
        {2, 4, 0, 1, false, TKind::Ignore, 0},
        {2, 6, 0, 1, false, TKind::Ignore, 0},
    };
    for (const Case& c : cases) {
        const auto adu = Request(c.unit, c.function, c.address, c.quantity);
        const TRequestVerdict v = JudgeRequest(adu.data(), adu.size(), 1, c.stale);
        EXPECT_EQ(v.kind, c.kind) << int(c.unit) << " fn " << int(c.function) << " @" << c.address
                                  << " x" << c.quantity;
        EXPECT_EQ(v.exception, c.exception) << int(c.function) << " @" << c.address;
    }
}

TEST(GatewayMap, FramesThatAreNotModbusTcpEndTheConnection) {
    const auto good = Request(1, 4, 0, 1);
    auto otherProtocol = good;
    otherProtocol[3] = 1;
    auto longer = good;
    longer[5] = 7;
    auto shorter = good;
    shorter[5] = 5;
    auto truncated = good;
    truncated.resize(10);
    truncated[5] = 4;
    const std::vector<std::uint8_t> headerOnly(good.begin(), good.begin() + 7);
    for (const auto& adu : {otherProtocol, longer, shorter, truncated, headerOnly}) {
        EXPECT_EQ(JudgeRequest(adu.data(), adu.size(), 1, false).kind, TKind::Close) << adu.size();
    }
    // A write of many registers is refused, however it is framed.
    std::vector<std::uint8_t> write = {0, 1, 0, 0, 0, 11, 1, 16, 0, 0, 0, 2, 4, 0, 1, 0, 2};
    EXPECT_EQ(JudgeRequest(write.data(), write.size(), 1, false).exception, meIllegalFunction);
}
