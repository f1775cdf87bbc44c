// orbel-cli's request spacing as the instrument sees it, and how soon a wait
// between requests ends when its reader or its port goes away.
#include "cli/CliProcess.h"
#include "common/SimThread.h"

#include <gtest/gtest.h>

#include <algorithm>

using orbel::test::CliProcess;
using orbel::test::CliResult;
using orbel::test::SimThread;
using Clock = std::chrono::steady_clock;

TEST(CliTiming, RequestsGoOutEveryIntervalStartToStart) {
    SimThread sim;
    const auto result = orbel::test::RunCli(
        {.args = {"--port", sim.DevicePath(), "readings", "--count", "3", "--every", "200"}});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto received = sim.Received();
    ASSERT_EQ(received.size(), 3U);
    for (std::size_t i = 1; i < received.size(); ++i) {
        const auto gap = received[i].ms - received[i - 1].ms;
        EXPECT_GE(gap, 170) << i;
        EXPECT_LE(gap, 230) << i;
    }
}

// A reader that has gone and a port that is lost end a long wait at once,
// not at the next request a minute later.
TEST(CliTiming, AReaderThatHasGoneEndsTheWaitAtOnce) {
    SimThread sim;
    const auto start = Clock::now();
    const CliResult result =
        orbel::test::RunCli({.args = {"--port", sim.DevicePath(), "--json", "readings", "--count",
                                      "0", "--every", "60000"},
                             .shell = "\"$0\" \"$@\" | head -1"});
    // head has its line at once; the program sees it gone within the wait.
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1500));
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 1) << result.out;
}

TEST(CliTiming, APortLostBetweenRequestsEndsWithThree) {
    SimThread::Options options;
    options.hangupAfter = 1;
    SimThread sim(options);
    CliProcess cli({.args = {"--port", sim.DevicePath(), "--json", "readings", "--count", "0",
                             "--every", "60000"},
                    .env = {"LC_ALL=C"}});
    ASSERT_TRUE(sim.WaitForHangup());
    const auto hungUp = Clock::now();
    const CliResult result = cli.Finish(std::chrono::seconds(5));
    EXPECT_LT(Clock::now() - hungUp, std::chrono::seconds(1));
    EXPECT_EQ(result.exitCode, 3) << result.err;
    EXPECT_NE(result.err.find("the device was lost"), std::string::npos) << result.err;
    EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 1);
}
