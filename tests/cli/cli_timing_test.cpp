// orbel-cli's request spacing as the instrument sees it.
#include "cli/CliProcess.h"
#include "common/SimThread.h"

#include <gtest/gtest.h>

TEST(CliTiming, RequestsGoOutEveryIntervalStartToStart) {
    orbel::test::SimThread sim;
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
