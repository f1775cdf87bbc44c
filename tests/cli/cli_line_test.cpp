// orbel-cli end to end against the simulated instrument on a pseudo-terminal:
// the bytes it sends, what it prints, its exit codes, and what it refuses.
#include "cli/CliProcess.h"
#include "common/SimThread.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <locale.h>
#include <regex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using orbel::test::CliCall;
using orbel::test::CliProcess;
using orbel::test::CliResult;
using orbel::test::SimThread;
using Bytes = std::vector<std::uint8_t>;

namespace {

SimThread::Options Steady(const std::function<void(SimThread::Options&)>& change = {}) {
    SimThread::Options options = SimThread::Steady();
    if (change) {
        change(options);
    }
    return options;
}

// Runs the program on the simulator's line in the C.UTF-8 locale.
CliResult RunOnLine(SimThread& sim, std::vector<std::string> args, CliCall call = {}) {
    call.args = {"--port", sim.DevicePath()};
    call.args.insert(call.args.end(), args.begin(), args.end());
    call.env.push_back("LC_ALL=C.UTF-8");
    return orbel::test::RunCli(call);
}

std::string WithoutTimes(const std::string& text) {
    static const std::regex time(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)");
    return std::regex_replace(text, time, "TIME");
}

// The request without its CRC (the simulator answers only a correct one).
Bytes Request(const SimThread& sim) {
    const auto received = sim.Received();
    if (received.size() != 1) {
        return {};
    }
    return Bytes(received[0].bytes.begin(), received[0].bytes.end() - 2);
}

const char* const Signature =
    "Адрес прибора 1\nТип прибора 1\nCерийный № 42\nВерсия HARD 1\nВерсия SOFT 3\n";
const char* const Channel1 = "КАНАЛ1 :\nУровень=62.5%\nОбъем=58.0%\n";
const char* const Channel2 = "КАНАЛ2 :\nУровень=34.0%\nОбъем=29.5%\n";
const std::string NoSignal1 = "КАНАЛ1 :\nНет сигнала с датчика\n";
const std::string NoSignal2 = "КАНАЛ2 :\nНет сигнала с датчика\n";
const std::string Json1 = R"({"level":62.5,"volume":58.0})";
const std::string Json2 = R"({"level":34.0,"volume":29.5})";

} // namespace

TEST(CliLine, EachCommandSendsTheWindowsBytes) {
    const struct {
        std::vector<std::string> args;
        Bytes request;
    } cases[] = {
        {{"signature"}, {0xFF, 0x20, 0x01}},
        {{"readings"}, {0xFF, 0x02, 0x01}},
        {{"coefficients"}, {0xFF, 0xA5, 0x04, 0xB6, 0x00, 0x08}},
        {{"calibrate", "1", "C1", "12,25", "--yes", "--no-readback"},
         {0xFF, 0xA4, 0x05, 0xA0, 0, 0x00, 122}},
        // Halves of the decimal text to even: 1.5 tenths is 2, 3.5 is 4.
        {{"calibrate", "1", "c2", "0.15", "--yes", "--no-readback"},
         {0xFF, 0xA4, 0x05, 0xA0, 1, 0x00, 2}},
        {{"calibrate", "2", "С1", "0,25", "--yes", "--no-readback"},
         {0xFF, 0xA4, 0x05, 0xA0, 2, 0x00, 2}},
        {{"calibrate", "2", "с2", "0.35", "--yes", "--no-readback"},
         {0xFF, 0xA4, 0x05, 0xA0, 3, 0x00, 4}},
        {{"calibrate", "1", "C1", "6553.5", "--yes", "--no-readback"},
         {0xFF, 0xA4, 0x05, 0xA0, 0, 0xFF, 0xFF}},
        {{"calibrate", "1", "C1", "-0,04", "--yes", "--no-readback"},
         {0xFF, 0xA4, 0x05, 0xA0, 0, 0x00, 0}},
        {{"--mode", "system", "signature"}, {0xFF, 0x20, 0x01}},
    };
    for (const auto& c : cases) {
        SimThread sim(Steady());
        const CliResult result = RunOnLine(sim, c.args);
        EXPECT_EQ(result.exitCode, 0) << c.args[0] << " " << c.args.back() << result.err;
        EXPECT_EQ(Request(sim), c.request) << c.args[0] << " " << c.args.back();
    }
}

TEST(CliLine, PrintsTextJsonAndCsvForEverySensorStatus) {
    const struct {
        int status;
        std::string text, json, csv;
    } cases[] = {
        {0, Channel1 + std::string("\n") + Channel2,
         R"({"time":"TIME","status":0,"channel1":)" + Json1 + R"(,"channel2":)" + Json2 + "}\n",
         "TIME,0,62.5,58.0,34.0,29.5\n"},
        {1, NoSignal1 + "\n" + Channel2,
         R"({"time":"TIME","status":1,"channel1":null,"channel2":)" + Json2 + "}\n",
         "TIME,1,,,34.0,29.5\n"},
        {2, Channel1 + std::string("\n") + NoSignal2,
         R"({"time":"TIME","status":2,"channel1":)" + Json1 +
             R"(,"channel2":null})"
             "\n",
         "TIME,2,62.5,58.0,,\n"},
        {7, NoSignal1 + "\n" + NoSignal2,
         R"({"time":"TIME","status":7,"channel1":null,"channel2":null})"
         "\n",
         "TIME,7,,,,\n"},
    };
    const std::string header = "time,status,level1,volume1,level2,volume2\n";
    for (const auto& c : cases) {
        SimThread sim(Steady([&](auto& o) { o.status = static_cast<std::uint8_t>(c.status); }));
        EXPECT_EQ(RunOnLine(sim, {"readings"}).out, c.text) << c.status;
        EXPECT_EQ(WithoutTimes(RunOnLine(sim, {"--json", "readings"}).out), c.json) << c.status;
        EXPECT_EQ(WithoutTimes(RunOnLine(sim, {"readings", "--csv"}).out), header + c.csv)
            << c.status;
    }
}

// Russian settings: the regional CSV parts with semicolons and writes decimal
// commas; the plain one stays as scripts read it.
TEST(CliLine, RegionalCsvFollowsTheLocaleAndPlainCsvDoesNot) {
    if (locale_t russian = ::newlocale(LC_ALL_MASK, "ru_RU.UTF-8", nullptr)) {
        ::freelocale(russian);
    } else {
        GTEST_SKIP() << "no ru_RU.UTF-8 locale here (scripts/install-deps.sh makes it)";
    }
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"readings", "--csv", "regional"},
         "time;status;level1;volume1;level2;volume2\nTIME;0;62,5;58,0;34,0;29,5\n"},
        {{"readings", "--csv"},
         "time,status,level1,volume1,level2,volume2\nTIME,0,62.5,58.0,34.0,29.5\n"},
    };
    for (const auto& [args, csv] : cases) {
        SimThread sim(Steady());
        CliCall call{.args = {"--port", sim.DevicePath()}, .env = {"LC_ALL=ru_RU.UTF-8"}};
        call.args.insert(call.args.end(), args.begin(), args.end());
        const CliResult result = orbel::test::RunCli(call);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(WithoutTimes(result.out), csv);
    }
}

TEST(CliLine, PrintsTheOtherAnswersAsTextAndJson) {
    const struct {
        std::vector<std::string> args;
        std::string text, json;
    } cases[] = {
        {{"signature"}, Signature, R"({"address":1,"type":1,"serial":42,"hard":1,"soft":3})"},
        {{"coefficients"},
         "C1 канал 1 = 5.0\nC2 канал 1 = 90.0\nC1 канал 2 = 5.0\nC2 канал 2 = 90.0\n",
         R"({"channel1":{"c1":5.0,"c2":90.0},"channel2":{"c1":5.0,"c2":90.0}})"},
        {{"calibrate", "1", "C1", "12,25", "--yes", "--no-readback"},
         "Операция выполнена\n",
         R"({"calibrated":{"channel":1,"point":"C1","value":12.25,"sent":122}})"},
    };
    SimThread sim(Steady());
    for (const auto& c : cases) {
        const CliResult text = RunOnLine(sim, c.args);
        EXPECT_EQ(text.out, c.text);
        EXPECT_EQ(text.exitCode, 0);
        std::vector<std::string> json = c.args;
        json.push_back("--json"); // the program's options may follow the command
        EXPECT_EQ(RunOnLine(sim, json).out, c.json + "\n");
    }
    // Several readings: one JSON line each, text answers parted by an empty line.
    const CliResult three = RunOnLine(sim, {"readings", "--count", "3", "--every", "0", "--json"});
    EXPECT_EQ(std::count(three.out.begin(), three.out.end(), '\n'), 3);
    EXPECT_EQ(RunOnLine(sim, {"readings", "--count", "2", "--every", "0"}).out,
              Channel1 + std::string("\n") + Channel2 + "\n" + Channel1 + "\n" + Channel2);
}

TEST(CliLine, FailuresGiveTheirExitCodes) {
    const struct {
        const char* name;
        std::function<void(SimThread::Options&)> fault;
        std::vector<std::string> args;
        int exitCode;
        const char* err;
    } cases[] = {
        {"silence",
         [](auto& o) { o.silent = true; },
         {"signature"},
         1,
         "Не отвечает (1): no reply"},
        {"bad CRC", [](auto& o) { o.corruptEvery = 1; }, {"signature"}, 1, "(1): bad CRC"},
        {"four stray bytes", [](auto& o) { o.stray = 4; }, {"signature"}, 1, "Не отвечает (1)"},
        {"three stray bytes", [](auto& o) { o.stray = 3; }, {"signature"}, 0, ""},
        {"code 250", [](auto& o) { o.altReply = true; }, {"coefficients"}, 4, "code 250"},
        {"every other reply bad",
         [](auto& o) { o.corruptEvery = 2; },
         {"readings", "--count", "4", "--every", "0", "--csv"},
         1,
         "Не отвечает (2)"},
        {"hang-up",
         [](auto& o) { o.hangupAfter = 1; },
         {"readings", "--count", "5", "--every", "0", "--json"},
         3,
         "device was lost"},
        {"bad usage", {}, {"readings", "--count", "x"}, 2, "--count"},
        {"two forms", {}, {"readings", "--csv", "--json"}, 2, "exclude"},
    };
    for (const auto& c : cases) {
        SimThread sim(Steady(c.fault));
        const CliResult result = RunOnLine(sim, c.args);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.name << "\n" << result.err;
        EXPECT_NE(result.err.find(c.err), std::string::npos) << c.name << "\n" << result.err;
        if (c.exitCode == 1 && c.args[0] == "readings") {
            // Two of four answered: two CSV lines under the header, none for the failures.
            EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 3) << c.name;
        }
    }
}

// A reply a little later than its budget (126 ms for readings) comes while
// the next request listens for it: it is discarded, never printed as the
// next request's answer, whatever the period.
TEST(CliLine, AReplyLaterThanItsBudgetIsNeverTheNextAnswer) {
    for (const char* every : {"0", "50"}) {
        SimThread sim(Steady([](auto& o) { o.delayMs = 140; }));
        const CliResult result =
            RunOnLine(sim, {"readings", "--count", "6", "--every", every, "--csv"});
        EXPECT_EQ(result.exitCode, 1) << every << "\n" << result.err;
        // The header alone: no row carries another request's answer.
        EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 1) << every << "\n"
                                                                             << result.out;
        EXPECT_NE(result.err.find("Не отвечает (6)"), std::string::npos) << every;
    }
}

// Behind a USB adapter's 16 ms latency timer (at the line's pace, so that
// the 15-byte readings reply is split between two bursts) every answer is
// whole and its own request's, within the budgets.
TEST(CliLine, ALatencyTimerSplitsRepliesButNotAnswers) {
    SimThread sim(Steady([](auto& o) {
        o.pace = true;
        o.latencyTimerMs = 16;
    }));
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(RunOnLine(sim, {"signature"}).out, Signature);
        const CliResult readings = RunOnLine(sim, {"readings", "--count", "8", "--every", "0"});
        EXPECT_EQ(readings.exitCode, 0) << readings.err;
        std::string eight = Channel1 + std::string("\n") + Channel2;
        for (int i = 1; i < 8; ++i) {
            eight += "\n" + std::string(Channel1) + "\n" + Channel2;
        }
        EXPECT_EQ(readings.out, eight);
        EXPECT_EQ(RunOnLine(sim, {"coefficients", "--json"}).out,
                  R"({"channel1":{"c1":5.0,"c2":90.0},"channel2":{"c1":5.0,"c2":90.0}})"
                  "\n");
    }
}

TEST(CliLine, AMissingOrHeldDeviceEndsWithThree) {
    SimThread sim(Steady());
    const int held = ::open(sim.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    const CliResult busy = RunOnLine(sim, {"signature"});
    EXPECT_EQ(busy.exitCode, 3) << busy.err;
    EXPECT_NE(busy.err.find("cannot open"), std::string::npos) << busy.err;
    ::close(held);
    EXPECT_TRUE(sim.Received().empty());

    const CliResult missing = orbel::test::RunCli(
        {.args = {"signature"}, .env = {"LC_ALL=C.UTF-8", "ORBEL_COM1=/dev/orbel-no-such-device"}});
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_NE(missing.err.find("No such file or directory"), std::string::npos) << missing.err;
    EXPECT_TRUE(missing.out.empty());
}

TEST(CliLine, PortAndModeComeFromUserIniAsTheWindowReadsThem) {
    SimThread sim(Steady());
    const auto dir =
        std::filesystem::temp_directory_path() / ("orbel-cli-ini-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const struct {
        const char* content; // nullptr: no file
        std::string variable;
    } cases[] = {
        {"COM3\r\n0\r\n", "ORBEL_COM3"}, {"COM2\n1", "ORBEL_COM2"},
        {"COM5\r\n1\r\n", "ORBEL_COM1"}, // only COM1 to COM4 count
        {"COM3 \r\n", "ORBEL_COM1"},     {nullptr, "ORBEL_COM1"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(dir / "user.ini");
        if (c.content != nullptr) {
            std::ofstream(dir / "user.ini", std::ios::binary) << c.content;
        }
        sim.ClearFrames();
        const CliResult result = orbel::test::RunCli(
            {.args = {"signature"}, .env = {c.variable + "=" + sim.DevicePath()}, .cwd = dir});
        EXPECT_EQ(result.exitCode, 0) << c.variable << "\n" << result.err;
        EXPECT_EQ(sim.Received().size(), 1U) << c.variable;
    }
    std::filesystem::remove_all(dir);
}

// A reply's last byte comes after the read has ended and waits for the next
// request: the software mode discards it, the system-bus mode's pre-read takes
// it, and the trace says which, as the window's does.
TEST(CliLine, ModeComesFromUserIniAndTheTraceShowsIt) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("orbel-cli-mode-" + std::to_string(::getpid()));
    const std::string discarded = "; 1 late bytes discarded";
    const std::string preRead = " RX [";
    const struct {
        const char* ini; // nullptr: no file
        std::vector<std::string> args;
        const std::string& trace;
    } cases[] = {
        {nullptr, {}, discarded},
        {"COM1\r\n1\r\n", {}, discarded},
        {"COM1\r\n0\r\n", {}, preRead},
        {"COM1", {}, preRead}, // a missing line 2 is the system bus
        {"COM1\r\n0\r\n", {"--mode", "software"}, discarded},
        {nullptr, {"--mode", "system"}, preRead},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        if (c.ini != nullptr) {
            std::ofstream(dir / "user.ini", std::ios::binary) << c.ini;
        }
        SimThread sim(Steady([](auto& o) { o.lateLastMs = 200; }));
        std::vector<std::string> args{"--trace", "t.log",   "readings", "--count",
                                      "2",       "--every", "500"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliResult result = orbel::test::RunCli(
            {.args = args, .env = {"ORBEL_COM1=" + sim.DevicePath()}, .cwd = dir});
        const std::string name = (c.ini != nullptr ? c.ini : "none") + std::string(" ") +
                                 (c.args.empty() ? "" : c.args.back());
        EXPECT_EQ(result.exitCode, 1) << name << "\n" << result.err;
        std::ifstream in(dir / "t.log");
        const std::string trace{std::istreambuf_iterator<char>(in), {}};
        EXPECT_NE(trace.find(c.trace), std::string::npos) << name << "\n" << trace;
        EXPECT_EQ(trace.find(&c.trace == &discarded ? preRead : discarded), std::string::npos)
            << name << "\n"
            << trace;
    }
    std::filesystem::remove_all(dir);
}

// At the budget's edge every byte the line carried is in the trace, in order:
// the reply's read (RX) or the late bytes read before the next request (LATE,
// as many as that record counts); a frame cut short is told as incomplete.
TEST(CliLine, TheTraceHoldsEveryByteAtTheBudgetsEdge) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("orbel-cli-edge-" + std::to_string(::getpid()) + ".log");
    const std::function<void(SimThread::Options&)> edges[] = {[](auto& o) { o.delayMs = 125; },
                                                              [](auto& o) { o.lateLastMs = 140; }};
    for (const auto& edge : edges) {
        std::filesystem::remove(path);
        SimThread sim(Steady(edge));
        const CliResult result = RunOnLine(
            sim, {"--trace", path.string(), "readings", "--count", "4", "--every", "300"});
        EXPECT_EQ(result.exitCode, 1) << result.err;
        ASSERT_TRUE(sim.WaitForSent(4));
        std::ifstream in(path);
        const std::string trace{std::istreambuf_iterator<char>(in), {}};
        std::vector<std::uint8_t> sent;
        for (const auto& frame : sim.Sent()) {
            sent.insert(sent.end(), frame.bytes.begin(), frame.bytes.end());
        }
        static const std::regex line(R"((RX|LATE)((?: [0-9A-F]{2})*)\n|; (\d+) late bytes)");
        std::vector<std::uint8_t> traced;
        std::size_t late = 0;
        std::size_t counted = 0;
        for (std::sregex_iterator m(trace.begin(), trace.end(), line), end; m != end; ++m) {
            if ((*m)[3].matched) {
                counted += std::stoul((*m)[3]);
                continue;
            }
            const std::string hex = (*m)[2];
            for (std::size_t i = 1; i < hex.size(); i += 3) {
                traced.push_back(
                    static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
            }
            late += (*m)[1] == "LATE" ? hex.size() / 3 : 0;
        }
        // The last reply's late part has no request after it to read it.
        EXPECT_GE(traced.size() + 15, sent.size()) << trace;
        ASSERT_LE(traced.size(), sent.size()) << trace;
        EXPECT_TRUE(std::equal(traced.begin(), traced.end(), sent.begin())) << trace;
        EXPECT_GT(late, 0U) << trace;
        EXPECT_EQ(late, counted) << trace;
        EXPECT_EQ(trace.find("bad CRC"), std::string::npos) << trace;
    }
    std::filesystem::remove(path);
}

TEST(CliLine, APortThatCannotOpenIsToldInTheLocalesLanguage) {
    struct Case {
        const char* language;
        const char* port;
        const char* line;
    };
    const Case cases[] = {
        {"", "/dev/orbel-no-such-device",
         "orbel-cli: cannot open /dev/orbel-no-such-device: Unable to open com port (system "
         "error code: 2)\n"},
        {"ru", "/dev/orbel-no-such-device",
         "orbel-cli: Не могу открыть /dev/orbel-no-such-device: Не удаётся открыть COM-порт (код "
         "ошибки системы: 2)\n"},
        // No ORBEL_COM0 exists to be set.
        {"", "COM0",
         "serial: cannot open COM0 (/dev/COM0): No such file or directory\n"
         "orbel-cli: cannot open COM0: Unable to open com port (system error code: 2)\n"},
    };
    for (const Case& c : cases) {
        const CliResult result =
            orbel::test::RunCli({.args = {"--port", c.port, "signature"},
                                 .env = {"LC_ALL=C.UTF-8", std::string("LANGUAGE=") + c.language}});
        EXPECT_EQ(result.exitCode, 3);
        EXPECT_TRUE(result.err.ends_with(c.line)) << result.err;
    }
}

TEST(CliLine, InterruptEndsTheLoopAfterTheRequestUnderWay) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SimThread sim(Steady());
        CliProcess cli({.args = {"--port", sim.DevicePath(), "--json", "readings", "--count", "0",
                                 "--every", "100"}});
        ASSERT_TRUE(sim.WaitForSent(2));
        cli.Signal(signal);
        const auto start = std::chrono::steady_clock::now();
        const CliResult result = cli.Finish(std::chrono::seconds(3));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        EXPECT_EQ(result.exitCode, 0) << result.err;
        // Every request answered and printed whole, and no request after the stop.
        const auto lines = std::count(result.out.begin(), result.out.end(), '\n');
        EXPECT_EQ(static_cast<std::size_t>(lines), sim.Sent().size());
        EXPECT_EQ(result.out.back(), '\n');
    }
}

TEST(CliLine, AReaderThatGoesAwayEndsNoRun) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("orbel-cli-fifo-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string fifo = (dir / "trace").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    {
        // The trace's reader leaves once the first record is in: the run goes on.
        const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        SimThread sim(Steady());
        CliProcess cli({.args = {"--port", sim.DevicePath(), "--trace", fifo, "readings", "--count",
                                 "4", "--every", "100", "--csv"}});
        ASSERT_TRUE(sim.WaitForReceived(2));
        ::close(reader);
        const CliResult result = cli.Finish();
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 5) << result.out;
    }
    {
        // The answers' reader leaves: the endless run ends instead of polling for nobody.
        SimThread sim(Steady());
        CliProcess cli({.args = {"--port", sim.DevicePath(), "readings", "--count", "0", "--every",
                                 "50", "--csv"}});
        ASSERT_TRUE(sim.WaitForSent(2));
        cli.CloseOutput();
        EXPECT_EQ(cli.Finish(std::chrono::seconds(3)).exitCode, 0);
    }
    std::filesystem::remove_all(dir);
}

TEST(CliLine, HelpVersionAndUsage) {
    const CliResult help = orbel::test::RunCli({.args = {"readings", "--help"}});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("Usage: orbel-cli [--port NAME] [--mode software|system] [--json] "
                             "[--trace FILE] COMMAND [ARGS]",
                             0),
              0U);
    for (const char* asked : {"-h", "/?"}) {
        const CliResult other = orbel::test::RunCli({.args = {asked}});
        EXPECT_EQ(other.exitCode, 0) << asked;
        EXPECT_EQ(other.out, help.out) << asked;
    }
    const CliResult version = orbel::test::RunCli({.args = {"--version"}});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("orbel-cli ", 0), 0U);
    const CliResult none = orbel::test::RunCli({});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_TRUE(none.out.empty());
    EXPECT_NE(none.err.find("--help"), std::string::npos);
}
