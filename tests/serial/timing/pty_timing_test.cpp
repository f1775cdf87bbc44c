// Time windows of transfers on a pseudo-terminal: never before the budget,
// and soon after it (the margins allow for a loaded two-core machine).
#include "PtyPortFixture.h"

#include <array>
#include <thread>

namespace {

constexpr double Margin = 60; // ms

} // namespace

TEST_F(PtyPort, AShortReadEndsAtItsBudgetWithTheRestOfTheBufferUntouched) {
    port.SetConnected(true);
    std::array<std::uint8_t, 10> buffer;
    buffer.fill(0xEE);
    pty.Write({1, 2, 3, 4});
    const auto start = Clock::now();
    const std::int32_t got = port.ReadBytes(buffer.data(), 10);
    const double ms = MsSince(start);
    EXPECT_EQ(got, 4);
    EXPECT_EQ(buffer,
              (std::array<std::uint8_t, 10>{1, 2, 3, 4, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
    EXPECT_GE(ms, 70.0);
    EXPECT_LT(ms, 70.0 + Margin);
}

TEST_F(PtyPort, BytesArrivingDuringTheReadAreCollectedUntilTheBudget) {
    port.SetConnected(true);
    std::array<std::uint8_t, 13> buffer{};
    std::thread late([&] {
        pty.Write({1, 2});
        std::this_thread::sleep_for(std::chrono::milliseconds(20)); // the line's pace
        pty.Write({3, 4, 5});
    });
    const auto start = Clock::now();
    const std::int32_t got = port.ReadBytes(buffer.data(), 13);
    const double ms = MsSince(start);
    late.join();
    EXPECT_EQ(got, 5);
    EXPECT_GE(ms, 91.0);
    EXPECT_LT(ms, 91.0 + Margin);
}

TEST_F(PtyPort, AGapLongerThanTheIntervalEndsTheRead) {
    port.Timeouts().SetReadInterval(30);
    port.Timeouts().SetReadTotalConstant(5000);
    port.SetConnected(true);
    std::array<std::uint8_t, 13> buffer{};
    pty.Write({1, 2});
    const auto start = Clock::now();
    EXPECT_EQ(port.ReadBytes(buffer.data(), 13), 2);
    const double ms = MsSince(start);
    EXPECT_GE(ms, 30.0);
    EXPECT_LT(ms, 30.0 + Margin);
}

TEST_F(PtyPort, AReadWithNothingArrivingReturnsNothingAfterItsBudget) {
    port.SetConnected(true);
    std::uint8_t byte = 0xEE;
    const auto start = Clock::now();
    EXPECT_EQ(port.ReadBytes(&byte, 1), 0);
    const double ms = MsSince(start);
    EXPECT_EQ(byte, 0xEE);
    EXPECT_GE(ms, 7.0);
    EXPECT_LT(ms, 7.0 + Margin);
}

TEST_F(PtyPort, AFullReadEndsOnItsLastByteNotOnTheBudget) {
    port.Timeouts().SetReadTotalConstant(5000);
    port.SetConnected(true);
    std::array<std::uint8_t, 13> buffer{};
    pty.Write({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13});
    const auto start = Clock::now();
    EXPECT_EQ(port.ReadBytes(buffer.data(), 13), 13);
    EXPECT_LT(MsSince(start), 1000.0);
}

TEST_F(PtyPort, AWriteNobodyTakesEndsAtItsBudgetWithTheCountSent) {
    port.Timeouts().SetWriteTotalMultiplier(0);
    port.Timeouts().SetWriteTotalConstant(100);
    port.SetConnected(true);
    std::vector<std::uint8_t> big(1 << 20, 0x55);
    const auto start = Clock::now();
    const std::int32_t sent = port.WriteBytes(big.data(), static_cast<std::int32_t>(big.size()));
    const double ms = MsSince(start);
    EXPECT_GT(sent, 0);
    EXPECT_LT(sent, static_cast<std::int32_t>(big.size()));
    EXPECT_GE(ms, 100.0);
    EXPECT_LT(ms, 100.0 + Margin);
}

// The read that ends when its bytes settle it: as soon as they are in, or
// at the same budget as ReadBytes when they never do; the POSIX platform's
// "first bytes" form under it, as bytes come a few at a time.
TEST_F(PtyPort, ReadBytesUntilEndsWithTheDecidingByteElseAtTheBudget) {
    port.SetConnected(true);
    for (const bool decides : {true, false}) {
        std::array<std::uint8_t, 13> buffer{};
        std::thread line([&] {
            pty.Write({1, 2});
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            pty.Write({3, 4, 5});
        });
        const auto start = Clock::now();
        const std::int32_t got =
            port.ReadBytesUntil(buffer.data(), 13, [&](const std::uint8_t* bytes, std::int32_t n) {
                return decides && n >= 5 && bytes[4] == 5 ? 0 : 1;
            });
        const double ms = MsSince(start);
        line.join();
        EXPECT_EQ(got, 5);
        if (decides) {
            EXPECT_LT(ms, 5.0 + Margin / 2);
        } else {
            EXPECT_GE(ms, 90.0); // waits in whole milliseconds, never past 91
            EXPECT_LT(ms, 91.0 + Margin);
        }
    }
    EXPECT_EQ(port.BytesWaiting(), 0);
}
