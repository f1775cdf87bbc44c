// The exchange trace asked for through ORBEL_TRACE, end to end.
#include "WindowFixture.h"

#include <QAction>

#include <cstdlib>
#include <regex>

namespace {

class TraceTest : public WindowFixture {
protected:
    // The window reads ORBEL_TRACE when it is created, before any simulator
    // thread runs; the variable is gone again right after.
    TForm1& OpenTracing(const std::string& path) {
        ::setenv("ORBEL_TRACE", path.c_str(), 1);
        TForm1& window = Open();
        ::unsetenv("ORBEL_TRACE");
        return window;
    }

    std::string Slurp(const std::filesystem::path& path) const {
        std::ifstream in(path);
        return {std::istreambuf_iterator<char>(in), {}};
    }
};

} // namespace

TEST_F(TraceTest, SignatureSilenceAndCorruptionLeaveTheirRecords) {
    const auto path = dir / "trace.log";
    TForm1& w = OpenTracing(path.string());
    SimThread& sim = Instrument(1);
    w.COM11->trigger();
    ASSERT_TRUE(w.ComPort1->Connected());

    w.Button4Click();
    sim.Update([](auto& o) { o.silent = true; });
    w.Button4Click();
    sim.Update([](auto& o) {
        o.silent = false;
        o.corruptEvery = 1;
        o.stray = 2;
    });
    w.Button4Click();

    const std::string s = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} )";
    const std::string tx = s + "TX FF 20 01 99 F0\n";
    const std::string text = Slurp(path);
    EXPECT_TRUE(std::regex_match(
        text,
        std::regex(tx + s + "RX 01 20 06 01 00 2A 01 03 [0-9A-F]{2} [0-9A-F]{2}\n" + s +
                   "accepted\n" + tx + s + "RX\n" + s + "no reply\n" + tx + s +
                   "RX 00 00 01 20 06 01 00 2A 01 03 [0-9A-F]{2} [0-9A-F]{2}\n" + s + "bad CRC\n")))
        << text;
}

TEST_F(TraceTest, AnUnwritablePathWarnsOnceAndExchangesGoOn) {
    TForm1& w = OpenTracing((dir / "missing" / "trace.log").string());
    Instrument(1);
    w.COM11->trigger();
    testing::internal::CaptureStderr();
    w.Button4Click();
    w.Button4Click();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("trace"), std::string::npos);
    EXPECT_EQ(MemoLines().size(), 5);
}

TEST_F(TraceTest, AFifoNobodyReadsCostsTraceRecordsNeverRequests) {
    const auto fifo = dir / "trace.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    TForm1& w = OpenTracing(fifo.string());
    Instrument(1);
    w.COM11->trigger();
    testing::internal::CaptureStderr();
    for (int i = 0; i < 2; ++i) {
        w.Button4Click();
        EXPECT_EQ(MemoLines().size(), 5);
    }
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("not being read"), std::string::npos) << err;
}
