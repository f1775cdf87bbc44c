#include "protocol/EMUL_Functions.h"

#include "loop/MainLoop.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

using namespace orbel;

using namespace EMUL_Functions;

namespace {

TFrame FrameOf(std::initializer_list<std::uint8_t> bytes) {
    TFrame f{};
    std::size_t i = 0;
    for (auto b : bytes) {
        f[i++] = b;
    }
    return f;
}

} // namespace

TEST(Crc16, MatchesModbusCheckValueAndKnownFrames) {
    TFrame digits{};
    std::memcpy(digits.data(), "123456789", 9);
    EXPECT_EQ(CRC16(9, digits), 0x4B37);
    EXPECT_EQ(CRC16(3, FrameOf({0xFF, 0x20, 0x01})), 0xF099);
    EXPECT_EQ(CRC16(3, FrameOf({0xFF, 0x02, 0x01})), 0x5081);
    EXPECT_EQ(CRC16(6, FrameOf({0xFF, 0xA5, 0x04, 0xB6, 0x00, 0x08})), 0x1DB9);
    EXPECT_EQ(CRC16(1, FrameOf({0xFF})), 0x00FF);
    EXPECT_EQ(CRC16(2, FrameOf({0x00, 0x00})), 0xB001);
}

TEST(Crc16, CountZeroReadsNothingAndGivesInitialValue) {
    EXPECT_EQ(CRC16(0, nullptr), 0xFFFF);
}

TEST(Crc16, LengthBytes254And255WrapTheCountInEightBits) {
    TFrame f{};
    f[0] = 7;
    f[2] = 254;
    EXPECT_EQ(CRC16(static_cast<std::uint8_t>(f[2] + 2), f), 0xFFFF);
    f[2] = 255;
    EXPECT_EQ(static_cast<std::uint8_t>(f[2] + 2), 1);
    EXPECT_EQ(CRC16(static_cast<std::uint8_t>(f[2] + 2), f), CRC16(1, FrameOf({7})));
}

TEST(FrameText, EveryByteInDecimalFollowedByOneBlank) {
    const std::uint8_t reply[] = {1, 250, 2, 0, 32, 137};
    const std::string text = FrameText(reply, sizeof reply);
    EXPECT_EQ(text, "1 250 2 0 32 137 ");
    EXPECT_EQ(text.size(), 17U);
    EXPECT_EQ(FrameText(reply, 0), "");
}

// A fake tick counter that moves one millisecond on every read.
namespace {
std::uint32_t fakeNow = 0;
int fakeReads = 0;
std::uint32_t FakeTicks() {
    ++fakeReads;
    return fakeNow++;
}

std::uint32_t ElapsedDuringDelay(std::int32_t ms, std::uint32_t start) {
    fakeNow = start;
    fakeReads = 0;
    SetTickCounter(&FakeTicks);
    Delay(ms);
    SetTickCounter(nullptr);
    return fakeNow - 1 - start; // the tick of the last read minus the start tick
}
} // namespace

TEST(Delay, ValuesBelowTwoWaitAsTwo) {
    for (std::int32_t ms : {0, 1, -5, 2}) {
        EXPECT_EQ(ElapsedDuringDelay(ms, 1000), 3U) << "ms=" << ms;
    }
    EXPECT_EQ(ElapsedDuringDelay(150, 1000), 151U);
}

TEST(Delay, WaitsTheFullTimeAcrossTheWrapAndAboveTwoToThe31) {
    EXPECT_EQ(ElapsedDuringDelay(10, 0xFFFFFFFAU), 11U);
    EXPECT_EQ(ElapsedDuringDelay(10, 0x80000005U), 11U);
    EXPECT_EQ(ElapsedDuringDelay(10, 0x7FFFFFFEU), 11U);
}

TEST(Delay, RealWaitLastsMoreThanTheRequestedTime) {
    const auto before = std::chrono::steady_clock::now();
    Delay(20);
    const auto took = std::chrono::steady_clock::now() - before;
    EXPECT_GE(took, std::chrono::milliseconds(20));
    EXPECT_LT(took, std::chrono::milliseconds(500));
}

TEST(Delay, HandlesQueuedCallsOnTheMainThreadOnly) {
    bool ran = false;
    MainLoop().Post([&] { ran = true; });
    std::thread([] { Delay(5); }).join(); // another thread's wait runs nothing
    EXPECT_FALSE(ran);
    Delay(20);
    EXPECT_TRUE(ran);
}
