#include "protocol/EMUL_Functions.h"
#include "protocol/ExchangeTrace.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sys/stat.h>
#include <unistd.h>

using namespace orbel;

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
        trace.RequestStarted();
        trace.Record({0xFF, 0x02, 0x01, 0x81, 0x50}, {0x01}, TExchangeOutcome::NoReply, 0, -1, 0x55,
                     13);
        trace.RequestStarted();
        trace.Record({0xFF, 0x02, 0x01, 0x81, 0x50}, {}, TExchangeOutcome::NoReply, 0, -1,
                     std::nullopt, EMUL_Functions::LateBytesUncounted);
    }
    const std::string text = Slurp(path);
    std::filesystem::remove(path);
    const std::string s = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} )";
    EXPECT_TRUE(std::regex_match(text, std::regex(s + "TX FF 20 01 99 F0\n" + s + "RX 00 01 20\n" +
                                                  s + "bad CRC\n" + s + "TX FF 02 01 81 50\n" + s +
                                                  "RX\n" + s + "no reply\n" + s +
                                                  "TX FF 02 01 81 50\n" + s + "RX \\[55\\] 01\n" +
                                                  s + "no reply; 13 late bytes discarded\n" + s +
                                                  "TX FF 02 01 81 50\n" + s + "RX\n" + s +
                                                  "no reply; waiting bytes could not be counted, "
                                                  "input purged\n")))
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

namespace {

std::string Drain(int fd) {
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

} // namespace

TEST(ExchangeTrace, APipeThatIsNotReadCostsCountedRecordsNeverAWait) {
    const std::string fifo = testing::TempDir() + "orbel-trace-fifo-" + std::to_string(::getpid());
    ::unlink(fifo.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // As the program does: a reader that has gone fails the write instead of
    // ending the process.
    const auto oldPipeAction = std::signal(SIGPIPE, SIG_IGN);
    TExchangeTrace trace(fifo);
    const auto record = [&] {
        trace.RequestStarted();
        trace.Record({1, 2}, {3}, TExchangeOutcome::Accepted, 0, -1);
    };
    testing::internal::CaptureStderr();

    record(); // no reader yet: no open that waits for one
    EXPECT_EQ(trace.Dropped(), 1U);

    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    record();
    EXPECT_NE(Drain(reader).find(" 1 records dropped\n"), std::string::npos);

    // A reader that lags: the pipe is full.
    const int filler = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(filler, 0);
    const std::string block(4096, 'x');
    while (::write(filler, block.data(), block.size()) > 0) {
    }
    record();
    record();
    EXPECT_EQ(trace.Dropped(), 3U);
    Drain(reader);
    record();
    EXPECT_NE(Drain(reader).find(" 2 records dropped\n"), std::string::npos);

    // The reader has gone.
    ::close(filler);
    ::close(reader);
    record();
    EXPECT_EQ(trace.Dropped(), 4U);
    EXPECT_TRUE(trace.Active());

    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    std::signal(SIGPIPE, oldPipeAction);
    ::unlink(fifo.c_str());
}
