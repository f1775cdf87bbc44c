// Reads that end as bytes arrive, on the fake platform's timed line.
#include "FakePortFixture.h"

#include <array>
#include <cerrno>
#include <gtest/gtest.h>

namespace {

// One character at 9600 baud, 11 bits, in microseconds.
constexpr std::uint64_t CharUs = 1146;
const std::string OwnTimeouts = "SetTimeouts(1, 4294967295, 7, 0, 200, 1000)";
std::string Waiting(int ms) {
    return "SetTimeouts(1, 0, 0, " + std::to_string(ms) + ", 200, 1000)";
}

// `count` bytes 1, 2, 3... one character apart, the first `startUs` after the write.
std::vector<TFakeArrival> Paced(int count, std::uint64_t startUs = CharUs) {
    std::vector<TFakeArrival> arrivals;
    for (int i = 0; i < count; ++i) {
        arrivals.push_back(
            {startUs + CharUs * static_cast<std::uint64_t>(i), {static_cast<std::uint8_t>(i + 1)}});
    }
    return arrivals;
}

std::vector<std::string> SetTimeoutCalls(const std::vector<std::string>& calls) {
    std::vector<std::string> out;
    for (const std::string& call : calls) {
        if (call.starts_with("SetTimeouts")) {
            out.push_back(call);
        }
    }
    return out;
}

class ArrivalRead : public FakePort {
protected:
    void SetUp() override {
        FakePort::SetUp();
        OpenAndForget();
        line = &fake.UseTimedLine();
    }
    void Write() {
        const std::uint8_t request[] = {0xFF, 0x20, 0x01, 0x99, 0xF0};
        port.WriteBytes(request, 5);
        fake.ClearCalls();
    }
    TFakeLine* line = nullptr;
    std::array<std::uint8_t, 16> buffer{};
};

} // namespace

TEST_F(ArrivalRead, ReadWithinWaitsNoLongerThanAskedThenGivesTheTimeoutsBack) {
    line->ScriptAfterWrite({{500, {7, 8}}, {3000, {9}}});
    Write();
    EXPECT_EQ(port.ReadWithin(buffer.data(), 2, 10), 2); // they come after 0.5 ms
    EXPECT_EQ(line->NowUs(), 500u);
    EXPECT_EQ(port.ReadWithin(buffer.data(), 16, 0), 0); // no wait, no read
    EXPECT_EQ(port.ReadWithin(buffer.data(), 1, 2), 0);  // the next is 2.5 ms away
    EXPECT_EQ(line->NowUs(), 2500u);
    EXPECT_EQ(port.ReadWithin(buffer.data() + 2, 16, 2), 1); // short: the whole 2 ms
    EXPECT_EQ(line->NowUs(), 4500u);
    EXPECT_EQ((std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + 4)),
              (std::vector<std::uint8_t>{7, 8, 9, 0}));
    EXPECT_EQ(SetTimeoutCalls(fake.Calls()),
              (std::vector<std::string>{Waiting(10), OwnTimeouts, Waiting(2), OwnTimeouts,
                                        Waiting(2), OwnTimeouts}));
}

TEST_F(ArrivalRead, ReadBytesUntilEndsWhenDecidedElseAtTheBudgetOrTheCount) {
    const auto atLeast = [](std::int32_t wanted) {
        return
            [wanted](const std::uint8_t*, std::int32_t n) { return n >= wanted ? 0 : wanted - n; };
    };
    const struct {
        const char* what;
        std::vector<TFakeArrival> arrivals;
        std::int32_t decidedAt;
        std::int32_t expected;
        std::uint64_t endUs;
    } rows[] = {
        {"decided by the 4th byte", Paced(10), 4, 4, 4 * CharUs},
        {"never decided: the budget", Paced(10), 99, 10, 13 * 7000},
        {"silence: the whole budget", {}, 1, 0, 13 * 7000},
        {"the count ends it", Paced(20), 99, 13, 13 * CharUs},
        {"bytes after the budget stay out", {{90'000, {1}}, {92'000, {2}}}, 99, 1, 13 * 7000},
    };
    for (const auto& row : rows) {
        const std::uint64_t start = line->NowUs();
        line->ScriptAfterWrite(row.arrivals);
        Write();
        EXPECT_EQ(port.ReadBytesUntil(buffer.data(), 13, atLeast(row.decidedAt)), row.expected)
            << row.what;
        // Waits go in whole milliseconds, rounded down: never past the budget.
        EXPECT_LE(line->NowUs() - start, row.endUs) << row.what;
        EXPECT_GT(line->NowUs() - start + 1000, row.endUs) << row.what;
        const auto calls = SetTimeoutCalls(fake.Calls());
        ASSERT_FALSE(calls.empty()) << row.what;
        EXPECT_EQ(calls.back(), OwnTimeouts) << row.what;
        port.PurgeBuffers(true, true);
        line->ClearInput();
        while (line->Pending() > 0) { // let the rest arrive and drop it
            port.ReadWithin(buffer.data(), 16, 1000);
        }
    }
}

TEST_F(ArrivalRead, AFailedReadStillGivesTheTimeoutsBackAndAnIntervalMeansReadBytes) {
    fake.FailNext("AwaitRequest", EIO);
    EXPECT_EQ(
        PortCodeOf([&] { port.ReadBytesUntil(buffer.data(), 13, [](auto, auto) { return 0; }); }),
        CError_ReadFailed);
    EXPECT_EQ(SetTimeoutCalls(fake.Calls()).back(), OwnTimeouts);
    fake.FailNext("SetTimeouts", EINVAL);
    EXPECT_EQ(PortCodeOf([&] { port.ReadWithin(buffer.data(), 1, 5); }), CError_TimeoutsFailed);

    port.Timeouts().SetReadInterval(20);
    fake.ClearCalls();
    port.ReadBytesUntil(buffer.data(), 13, [](auto, auto) { return 0; });
    EXPECT_TRUE(SetTimeoutCalls(fake.Calls()).empty());
}
