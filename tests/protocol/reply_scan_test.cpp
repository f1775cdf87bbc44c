#include "protocol/ReplyScan.h"

#include <gtest/gtest.h>

#include <vector>

using namespace orbel;

using EMUL_Functions::TFrame;

namespace {

TFrame Area(const std::vector<std::uint8_t>& bytes) {
    TFrame area{};
    std::copy(bytes.begin(), bytes.end(), area.begin());
    return area;
}

struct Scan {
    TReplyScanResult result;
    TFrame frame{};
};

Scan ScanBytes(const std::vector<std::uint8_t>& bytes, std::uint32_t expected,
               std::int32_t length) {
    Scan s;
    s.result = ScanReply(Area(bytes), expected, length, 255, s.frame);
    return s;
}

const std::vector<std::uint8_t> Signature = {1, 32, 6, 3, 0, 17, 2, 5, 117, 5};
const std::vector<std::uint8_t> Alt = {1, 250, 2, 0, 32, 137};

} // namespace

TEST(ReplyScan, CleanReplyIsFoundByRuleAAtPositionOne) {
    const Scan s = ScanBytes(Signature, 32, 6);
    EXPECT_EQ(s.result.rule, 'A');
    EXPECT_EQ(s.result.position, 1);
    EXPECT_EQ(s.result.count, 10);
    EXPECT_TRUE(std::equal(Signature.begin(), Signature.end(), s.frame.begin()));
    EXPECT_TRUE(ReplyCrcMatches(s.frame));
}

TEST(ReplyScan, AcceptsThreeStrayBytesButNotFour) {
    std::vector<std::uint8_t> three = {0, 0, 0};
    three.insert(three.end(), Signature.begin(), Signature.end());
    const Scan ok = ScanBytes(three, 32, 6);
    EXPECT_EQ(ok.result.position, 4);
    EXPECT_TRUE(ReplyCrcMatches(ok.frame));

    std::vector<std::uint8_t> four = {0, 0, 0, 0};
    four.insert(four.end(), Signature.begin(), Signature.end());
    const Scan bad = ScanBytes(four, 32, 6);
    EXPECT_FALSE(bad.result.found);
    EXPECT_EQ(bad.frame, TFrame{});
    EXPECT_FALSE(ReplyCrcMatches(bad.frame));
}

TEST(ReplyScan, AltReplyIsAcceptedForEveryCommandByTheRuleItsLengthAllows) {
    struct Case {
        std::uint32_t expected;
        std::int32_t length;
        char rule;
    };
    for (const Case c : {Case{164, 2, 'A'}, Case{32, 128, 'B'}, Case{32, 6, 'D'}, Case{2, 11, 'D'},
                         Case{165, 9, 'D'}}) {
        const Scan s = ScanBytes(Alt, c.expected, c.length);
        EXPECT_EQ(s.result.rule, c.rule) << c.expected << "/" << c.length;
        EXPECT_EQ(s.result.position, 1);
        EXPECT_TRUE(std::equal(Alt.begin(), Alt.end(), s.frame.begin()));
        EXPECT_TRUE(ReplyCrcMatches(s.frame));
    }
}

TEST(ReplyScan, MissingAddressByteCopiesAZeroAddress) {
    const std::vector<std::uint8_t> noAddress(Signature.begin() + 1, Signature.end());
    const Scan s = ScanBytes(noAddress, 32, 6);
    EXPECT_EQ(s.result.position, 0);
    EXPECT_EQ(s.frame[0], 0);
    EXPECT_EQ(s.frame[1], 32);
    EXPECT_FALSE(ReplyCrcMatches(s.frame)); // the instrument's address is 1
}

TEST(ReplyScan, RuleCFindsAReplyCarryingTheRequestAddress) {
    // 255 32 6 ...: rule A fails at k=0 (255 is no command byte) but C holds.
    std::vector<std::uint8_t> reply = {255, 32, 7};
    const Scan s = ScanBytes(reply, 32, 6);
    EXPECT_EQ(s.result.rule, 'C');
    EXPECT_EQ(s.result.count, 11);
    EXPECT_EQ(s.result.start, 0);
}

TEST(ReplyScan, LateLastCrcByteFailsTheTest) {
    std::vector<std::uint8_t> cut(Signature.begin(), Signature.end() - 1);
    const Scan s = ScanBytes(cut, 32, 6);
    EXPECT_TRUE(s.result.found);
    EXPECT_EQ(s.frame[9], 0);
    EXPECT_FALSE(ReplyCrcMatches(s.frame));
}

TEST(ReplyScan, VariableLengthTakesTheReplysOwnLengthByte) {
    EXPECT_EQ(ReplyReadCount(128), 265);
    EXPECT_EQ(ReplyReadCount(6), 13);
    EXPECT_EQ(ReplyReadCount(2), 9);
    std::vector<std::uint8_t> longReply = {1, 32, 200};
    const Scan s = ScanBytes(longReply, 32, 128);
    EXPECT_EQ(s.result.rule, 'B');
    EXPECT_EQ(s.result.count, 204);
}

TEST(ReplyScan, LargestCopiesStayInsideTheArea) {
    // Rule C at k=4 with a length byte of 255 copies 259 bytes from R[4].
    std::vector<std::uint8_t> bytes = {9, 9, 9, 9, 255, 32, 255};
    TFrame area = Area(bytes);
    area.back() = 0xAB;
    TFrame frame{};
    const auto r = ScanReply(area, 32, 6, 255, frame);
    EXPECT_EQ(r.rule, 'C');
    EXPECT_EQ(r.start + r.count, 263);
    EXPECT_FALSE(ReplyCrcMatches(frame));
}

TEST(ReplyScan, RequestCrcIsWrittenLowByteFirst) {
    TFrame request{};
    request[0] = 0xFF;
    request[1] = 0x20;
    request[2] = 0x01;
    CompleteRequestCrc(request);
    EXPECT_EQ(request[3], 0x99);
    EXPECT_EQ(request[4], 0xF0);
    EXPECT_EQ(FrameLineLength(request), 5);
    request[2] = 255;
    EXPECT_EQ(FrameLineLength(request), 3); // computed in eight bits
}
