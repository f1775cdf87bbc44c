// The simulator's own checksum and framing.
#include "sim/Crc16.h"
#include "sim/Frame.h"
#include "sim/FrameAssembler.h"

#include <gtest/gtest.h>

#include <string_view>

using namespace orbel::sim;

namespace {

using Clock = FrameAssembler::Clock;
using std::chrono::milliseconds;

const Bytes kSignatureRequest{0xFF, 0x20, 0x01, 0x99, 0xF0};
const Bytes kCoeffsRequest{0xFF, 0xA5, 0x04, 0xB6, 0x00, 0x08, 0xB9, 0x1D};

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

std::vector<Bytes> RawOf(const std::vector<Frame>& frames) {
    std::vector<Bytes> raw;
    for (const Frame& f : frames) {
        raw.push_back(f.raw);
    }
    return raw;
}

} // namespace

TEST(SimCrc16, MatchesKnownValues) {
    constexpr std::string_view digits = "123456789";
    EXPECT_EQ(Crc16(std::span(reinterpret_cast<const std::uint8_t*>(digits.data()), digits.size())),
              0x4B37);
    EXPECT_EQ(Crc16(Bytes{0xFF, 0x20, 0x01}), 0xF099);
    EXPECT_EQ(Crc16(Bytes{0xFF, 0x02, 0x01}), 0x5081);
    EXPECT_EQ(Crc16(Bytes{0xFF, 0xA5, 0x04, 0xB6, 0x00, 0x08}), 0x1DB9);
    EXPECT_EQ(Crc16(Bytes{}), 0xFFFF);
}

TEST(SimFrame, BuildsLengthByteAndLowFirstCrc) {
    EXPECT_EQ(BuildFrame(0xFF, kCmdSignature, {}), kSignatureRequest);
    const Bytes data{0xB6, 0x00, 0x08};
    EXPECT_EQ(BuildFrame(0xFF, kCmdReadCoeffs, data), kCoeffsRequest);
}

TEST(SimFrame, ParseRejectsBadCrcShortFramesAndZeroLength) {
    const auto frame = ParseFrame(kCoeffsRequest);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->command, kCmdReadCoeffs);
    EXPECT_EQ(frame->data, (Bytes{0xB6, 0x00, 0x08}));

    Bytes bad = kCoeffsRequest;
    bad.back() ^= 0x01;
    EXPECT_FALSE(ParseFrame(bad));
    EXPECT_FALSE(ParseFrame(std::span(kCoeffsRequest).first(7)));
    EXPECT_FALSE(ParseFrame(Bytes{0xFF, 0x20, 0x00, 0x00, 0x00}));
}

TEST(SimFrameAssembler, JoinsPiecesAndSplitsBackToBackFrames) {
    FrameAssembler a;
    const auto t = Clock::now();
    EXPECT_TRUE(a.Feed(std::span(kCoeffsRequest).first(3), t, 1).empty());
    const auto frames = a.Feed(
        Join({Bytes(kCoeffsRequest.begin() + 3, kCoeffsRequest.end()), kSignatureRequest}), t, 1);
    EXPECT_EQ(RawOf(frames), (std::vector<Bytes>{kCoeffsRequest, kSignatureRequest}));
    EXPECT_EQ(a.Pending(), 0U);
}

TEST(SimFrameAssembler, ResynchronisesAfterNoiseAndBadFrames) {
    Bytes corrupt = kSignatureRequest;
    corrupt[3] ^= 0x40;
    struct Case {
        const char* name;
        Bytes noise;
    };
    const Case cases[] = {
        {"bytes that start no request", {0x00, 0x13, 0x37}},
        {"a frame with a bad CRC", corrupt},
        // 0xFF then 0xFF 0x20: the first candidate claims 36 bytes.
        {"a stray byte that looks like an address", {0xFF}},
        {"a stray address and length byte 0", {0xFF, 0x00, 0x00}},
    };
    for (const Case& c : cases) {
        FrameAssembler a;
        const auto frames = a.Feed(Join({c.noise, kCoeffsRequest}), Clock::now(), 1);
        EXPECT_EQ(RawOf(frames), std::vector<Bytes>{kCoeffsRequest}) << c.name;
    }
}

TEST(SimFrameAssembler, AcceptsOwnAddressButNotOthers) {
    FrameAssembler a;
    const Bytes own = BuildFrame(7, kCmdSignature, {});
    const Bytes other = BuildFrame(8, kCmdSignature, {});
    EXPECT_EQ(RawOf(a.Feed(own, Clock::now(), 7)), std::vector<Bytes>{own});
    EXPECT_TRUE(a.Feed(other, Clock::now(), 7).empty());
}

TEST(SimFrameAssembler, DropsPartialFrameAfterSilence) {
    FrameAssembler a;
    const auto t = Clock::now();
    a.Feed(std::span(kSignatureRequest).first(3), t, 1);
    ASSERT_TRUE(a.Deadline());
    EXPECT_EQ(*a.Deadline(), t + FrameAssembler::kSilence);
    EXPECT_EQ(a.Expire(t + milliseconds(49)), 0U);
    EXPECT_EQ(a.Expire(t + milliseconds(50)), 3U);
    EXPECT_FALSE(a.Deadline());
    // The rest of the old frame no longer completes anything.
    EXPECT_TRUE(a.Feed(std::span(kSignatureRequest).subspan(3), t, 1).empty());
    EXPECT_EQ(RawOf(a.Feed(kSignatureRequest, t, 1)), std::vector<Bytes>{kSignatureRequest});
}
