// orbel-sim's options: every value lands where it belongs, and bad input is
// reported, never accepted halfway.
#include "sim/CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace orbel::sim;

namespace {

ParseResult Parse(const std::vector<std::string_view>& args) {
    return ParseCommandLine(args);
}

} // namespace

TEST(SimCommandLine, ReadsEveryOption) {
    const auto r = Parse({"--link",
                          "/tmp/x",
                          "--log=/tmp/l",
                          "--address",
                          "255",
                          "--type",
                          "9",
                          "--serial",
                          "65535",
                          "--hard",
                          "2",
                          "--soft",
                          "7",
                          "--status",
                          "3",
                          "--readings",
                          "1,2,3,4",
                          "--coeffs",
                          "5,6,7,8",
                          "--stray",
                          "4",
                          "--corrupt-every",
                          "3",
                          "--silent",
                          "--alt-reply",
                          "--delay",
                          "20",
                          "--late-last",
                          "30",
                          "--hangup-after",
                          "2",
                          "--latency-timer",
                          "16"});
    ASSERT_TRUE(r.line) << r.error;
    const Options& o = r.line->options;
    EXPECT_EQ(o.link, "/tmp/x");
    EXPECT_EQ(r.line->logPath, "/tmp/l");
    EXPECT_EQ(o.address, 255);
    EXPECT_EQ(o.type, 9);
    EXPECT_EQ(o.serial, 65535);
    EXPECT_EQ(o.hard, 2);
    EXPECT_EQ(o.soft, 7);
    EXPECT_EQ(o.status, 3);
    EXPECT_EQ(o.readings, (std::array<std::uint16_t, 4>{1, 2, 3, 4}));
    EXPECT_EQ(o.coeffs, (std::array<std::uint16_t, 4>{5, 6, 7, 8}));
    EXPECT_EQ(o.stray, 4U);
    EXPECT_EQ(o.corruptEvery, 3U);
    EXPECT_TRUE(o.silent);
    EXPECT_TRUE(o.altReply);
    EXPECT_EQ(o.delayMs, 20U);
    EXPECT_EQ(o.lateLastMs, 30U);
    EXPECT_EQ(o.hangupAfter, 2U);
    EXPECT_EQ(o.latencyTimerMs, 16U);
    EXPECT_FALSE(r.line->help);
}

TEST(SimCommandLine, PaceAndTurnaround) {
    EXPECT_FALSE(Parse({}).line->options.pace);
    EXPECT_FALSE(Parse({}).line->options.turnaroundMs);
    const auto r = Parse({"--pace", "--turnaround=0"});
    EXPECT_TRUE(r.line->options.pace);
    EXPECT_EQ(r.line->options.turnaroundMs, 0U);
    EXPECT_FALSE(Parse({"--turnaround", "60001"}).line);
}

TEST(SimCommandLine, ReadingsGivenByHandDoNotDriftUnlessAsked) {
    EXPECT_TRUE(Parse({}).line->options.drift);
    EXPECT_FALSE(Parse({"--no-drift"}).line->options.drift);
    EXPECT_FALSE(Parse({"--readings", "1,2,3,4"}).line->options.drift);
    EXPECT_TRUE(Parse({"--readings", "1,2,3,4", "--drift"}).line->options.drift);
}

TEST(SimCommandLine, RejectsBadInputWithAReason) {
    const std::vector<std::vector<std::string_view>> bad{
        {"--address", "256"},
        {"--address", "-1"},
        {"--address", "1x"},
        {"--address", ""},
        {"--serial", "65536"},
        {"--type", "0x10"},
        {"--readings", "1,2,3"},
        {"--readings", "1,2,3,4,5"},
        {"--coeffs", "1,,3,4"},
        {"--coeffs", "1,2,3,4,"},
        {"--coeffs", "70000,0,0,0"},
        {"--corrupt-every", "0"},
        {"--hangup-after", "0"},
        {"--delay", "60001"},
        {"--delay", "99999999999999999999"},
        {"--delay"},
        {"--silent=yes"},
        {"--frobnicate"},
        {"--link", ""},
        {"address", "1"},
    };
    for (const auto& args : bad) {
        const auto r = Parse(args);
        EXPECT_FALSE(r.line) << args[0];
        EXPECT_FALSE(r.error.empty()) << args[0];
    }
}
