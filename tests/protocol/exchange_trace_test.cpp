#include "protocol/ExchangeTrace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <unistd.h>

using EMUL_Functions::TExchangeOutcome;

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace

TEST(ExchangeTrace, RecordsRequestEveryReceivedByteAndTheOutcome) {
    const std::string path = "/tmp/orbel-trace-" + std::to_string(::getpid()) + ".log";
    std::filesystem::remove(path);
    {
        TExchangeTrace trace(path);
        trace.RequestStarted();
        trace.Record({0xFF, 0x20, 0x01, 0x99, 0xF0}, {0x00, 0x01, 0x20}, TExchangeOutcome::BadCrc,
                     0, -1);
        trace.RequestStarted();
        trace.Record({0xFF, 0x02, 0x01, 0x81, 0x50}, {}, TExchangeOutcome::NoReply, 0, -1);
    }
    const std::string text = Slurp(path);
    std::filesystem::remove(path);
    const std::string s = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} )";
    EXPECT_TRUE(std::regex_match(text, std::regex(s + "TX FF 20 01 99 F0\n" + s + "RX 00 01 20\n" +
                                                  s + "bad CRC\n" + s + "TX FF 02 01 81 50\n" + s +
                                                  "RX\n" + s + "no reply\n")))
        << text;
}

TEST(ExchangeTrace, OutcomesNameTheirCause) {
    EXPECT_EQ(TExchangeTrace::OutcomeText(TExchangeOutcome::Accepted, 0, -1), "accepted");
    EXPECT_EQ(TExchangeTrace::OutcomeText(TExchangeOutcome::PortNotOpen, 0, -1), "port not open");
    EXPECT_EQ(TExchangeTrace::OutcomeText(TExchangeOutcome::PortError, 2, 5),
              "port error code 2 (Input/output error, errno 5)");
    EXPECT_EQ(TExchangeTrace::OutcomeText(TExchangeOutcome::DeviceLost, 3, 5)
                  .rfind("device lost code 3", 0),
              0U);
}

TEST(ExchangeTrace, AnUnwritableFileIsReportedOnceAndThenIgnored) {
    TExchangeTrace trace("/nonexistent-folder/trace.log");
    testing::internal::CaptureStderr();
    for (int i = 0; i < 3; ++i) {
        trace.RequestStarted();
        trace.Record({1, 2}, {3}, TExchangeOutcome::Accepted, 0, -1);
    }
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("/nonexistent-folder/trace.log"), std::string::npos);
    EXPECT_FALSE(trace.Active());
}

TEST(ExchangeTrace, NoPathTracesNothing) {
    TExchangeTrace trace("");
    EXPECT_FALSE(trace.Active());
    testing::internal::CaptureStderr();
    trace.Record({1}, {2}, TExchangeOutcome::Accepted, 0, -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}
