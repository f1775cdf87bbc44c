#include "protocol/CommandSet.h"
#include "protocol/ReplyDecoder.h"
#include "protocol/ReplyScan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace orbel;

using EMUL_Functions::TFrame;

namespace {

std::vector<std::uint8_t> Line(int index, std::uint16_t value = 0) {
    TFrame frame{};
    BuildRequest(index, value, frame);
    CompleteRequestCrc(frame);
    return {frame.begin(), frame.begin() + FrameLineLength(frame)};
}

} // namespace

TEST(CommandSet, EachRequestPutsExactlyItsBytesOnTheLine) {
    EXPECT_EQ(Line(0), (std::vector<std::uint8_t>{0xFF, 0x20, 0x01, 0x99, 0xF0}));
    EXPECT_EQ(Line(1), (std::vector<std::uint8_t>{0xFF, 0x02, 0x01, 0x81, 0x50}));
    EXPECT_EQ(Line(2), (std::vector<std::uint8_t>{0xFF, 0xA5, 0x04, 0xB6, 0x00, 0x08, 0xB9, 0x1D}));
    EXPECT_EQ(Line(3, 500),
              (std::vector<std::uint8_t>{0xFF, 0xA4, 0x05, 0xA0, 0x00, 0x01, 0xF4, 0xE3, 0x3C}));
    EXPECT_EQ(Line(6, 500),
              (std::vector<std::uint8_t>{0xFF, 0xA4, 0x05, 0xA0, 0x03, 0x01, 0xF4, 0x13, 0x3C}));
    EXPECT_EQ(Line(4, 0),
              (std::vector<std::uint8_t>{0xFF, 0xA4, 0x05, 0xA0, 0x01, 0x00, 0x00, 0xB2, 0xEB}));
}

TEST(CommandSet, ReplyLengthsAndOutOfRangeIndexes) {
    TFrame frame{};
    EXPECT_EQ(BuildRequest(0, 0, frame), 6);
    EXPECT_EQ(BuildRequest(1, 0, frame), 11);
    EXPECT_EQ(BuildRequest(2, 0, frame), 9);
    EXPECT_EQ(BuildRequest(5, 0, frame), 2);
    TFrame untouched{};
    untouched.fill(0x5A);
    TFrame copy = untouched;
    EXPECT_FALSE(BuildRequest(-1, 0, copy));
    EXPECT_FALSE(BuildRequest(CommandCount, 0, copy));
    EXPECT_EQ(copy, untouched);
}

TEST(CommandSet, TheDecoderTakesExactlyTheReplyLengthEachRequestAsksFor) {
    for (int index = 0; index < CommandCount; ++index) {
        SCOPED_TRACE(index);
        TFrame request{};
        const std::int32_t length = *BuildRequest(index, 0, request);
        TFrame reply{};
        reply[1] = request[1];
        for (const std::int32_t byte : {length - 1, length, length + 1}) {
            reply[2] = static_cast<std::uint8_t>(byte);
            EXPECT_EQ(DecodeReply(reply, ",").kind != TReplyKind::Other, byte == length) << byte;
        }
    }
}

TEST(CalibrationTenths, RoundsTheExactProductWithHalvesToEven) {
    struct Case {
        double value;
        int tenths;
    };
    for (const Case c : {Case{12.25, 122}, Case{12.75, 128}, Case{0.05, 1}, Case{0.15, 1},
                         Case{0.35, 3}, Case{0.1, 1}, Case{50, 500}, Case{0, 0}, Case{0.04, 0},
                         Case{6553.5, 65535}, Case{0.25, 2}, Case{0.45, 5}, Case{1.05, 11}}) {
        const auto n = CalibrationTenths(c.value);
        ASSERT_TRUE(n.has_value()) << c.value;
        EXPECT_EQ(*n, c.tenths) << c.value;
    }
}

TEST(CalibrationTenths, RefusesWhatTheFrameCannotCarry) {
    for (double v : {-1.0, -0.06, 6553.6, 1e300, std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::infinity()}) {
        EXPECT_FALSE(CalibrationTenths(v).has_value()) << v;
    }
    EXPECT_EQ(CalibrationTenths(-0.04), 0); // rounds to zero, which the frame carries
}

TEST(CommandSet, SelectorTextsKeepTheirLookAlikeLetters) {
    // Item 0 starts with a Latin C; the calibration items use a Cyrillic С.
    EXPECT_EQ(CommandItemTexts[0][0], 'C');
    for (int i = 3; i <= 6; ++i) {
        const std::string text = CommandItemTexts[i];
        const std::string point = (i % 2 == 1) ? "1" : "2";
        EXPECT_NE(text.find("\u0421" + point), std::string::npos) << i; // Cyrillic С
        EXPECT_EQ(text.find("C" + point), std::string::npos) << i;
    }
}
