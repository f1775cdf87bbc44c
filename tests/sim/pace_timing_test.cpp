// The simulator's paced line, timed from the tool's side of the terminal.
#include "PtyClient.h"
#include "common/SimThread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace orbel::test;
using Clock = std::chrono::steady_clock;

namespace {

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

// A paced reply takes the line's time: the request's characters, the
// turnaround, then one character time for each reply byte. The median of a
// few rounds is compared, so that one round the scheduler delayed does not
// decide.
TEST(SimPace, SpreadsTheExchangeOverTheLinesCharacterTimes) {
    using orbel::sim::Simulator;
    const Bytes signature{0xFF, 0x20, 0x01, 0x99, 0xF0};
    SimThread::Options o;
    o.pace = true;
    o.turnaroundMs = 3;
    SimThread sim(o);
    PtyClient tool(sim.DevicePath());
    std::vector<double> heads;
    std::vector<double> spreads;
    for (int round = 0; round < 7; ++round) {
        const auto start = Clock::now();
        tool.Write(signature);
        ASSERT_EQ(tool.Read(1).size(), 1U) << round;
        const auto first = Clock::now();
        ASSERT_EQ(tool.Read(9).size(), 9U) << round;
        const auto last = Clock::now();
        heads.push_back(std::chrono::duration<double>(first - start).count());
        spreads.push_back(std::chrono::duration<double>(last - first).count());
    }
    const double c = std::chrono::duration<double>(Simulator::kCharacterTime).count();
    // 5 request characters + 3 ms + the first reply character; then 9 more.
    // Never early by more than a scheduler tick; late by less than two
    // characters, which a missing or doubled pause would exceed.
    const auto within = [c](const char* what, double seen, double expected) {
        EXPECT_GT(seen, expected - 0.0005) << what;
        EXPECT_LT(seen, expected + 2 * c) << what;
    };
    within("head", Median(heads), 6 * c + 0.003);
    within("spread", Median(spreads), 9 * c);
}
