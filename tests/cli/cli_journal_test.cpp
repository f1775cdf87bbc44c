// orbel-cli and the calibration journal, end to end against the simulated
// instrument: what calibrate records, the report's as found and as left,
// --verify on a changed byte, two programs appending at once, and a journal
// that cannot be written.
#include "cli/CliProcess.h"
#include "common/SimThread.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <unistd.h>

using orbel::test::CliCall;
using orbel::test::CliProcess;
using orbel::test::CliResult;
using orbel::test::SimThread;

namespace {

class CliJournal : public ::testing::Test {
protected:
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() /
                 ("orbel-cli-journal-" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder);
        path = (folder / "calibration-journal.jsonl").string();
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    CliCall Call(std::vector<std::string> args, const SimThread* sim = nullptr) const {
        CliCall call;
        if (sim != nullptr) {
            call.args = {"--port", sim->DevicePath()};
        }
        call.args.insert(call.args.end(), args.begin(), args.end());
        call.env = {"LC_ALL=C.UTF-8", "ORBEL_JOURNAL=" + path};
        return call;
    }
    CliResult Run(std::vector<std::string> args, const SimThread* sim = nullptr) const {
        return orbel::test::RunCli(Call(std::move(args), sim));
    }
    std::vector<std::string> Lines() const {
        std::ifstream in(path, std::ios::binary);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    std::filesystem::path folder;
    std::string path;
};

SimThread::Options Instrument(std::uint16_t serial) {
    SimThread::Options options = SimThread::Steady();
    options.serial = serial;
    options.coeffs = {50, 900, 55, 905};
    return options;
}

} // namespace

TEST_F(CliJournal, CalibrateRecordsTheActWithItsReadsAndTheReportShowsThem) {
    SimThread sim(Instrument(4242));
    const CliResult result = Run({"calibrate", "2", "C1", "6,5", "--yes"}, &sim);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 4U);
    const char* const acts[] = {"signature", "coefficients", "calibrate", "coefficients"};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(nlohmann::json::parse(lines[i])["act"], acts[i]) << lines[i];
    }
    const auto act = nlohmann::json::parse(lines[2]);
    for (const char* key : {"time", "offset", "program", "version", "host", "user", "port",
                            "device", "request", "reply", "prev"}) {
        EXPECT_TRUE(act[key].is_string() && !act[key].get<std::string>().empty()) << key;
    }
    EXPECT_EQ(act["program"], "orbel-cli");
    EXPECT_EQ(act["port"], sim.DevicePath());
    EXPECT_EQ(act["channel"], 2);
    EXPECT_EQ(act["point"], "C1");
    EXPECT_EQ(act["value"], 6.5);
    EXPECT_EQ(act["tenths"], 65);
    EXPECT_EQ(act["request"], "FF A4 05 A0 02 00 41 82 DB");
    EXPECT_EQ(act["outcome"], "accepted");
    EXPECT_EQ(act["instrument"]["serial"], 4242);
    EXPECT_EQ(act["asFound"]["channel2"]["C1"], 5.5);
    EXPECT_EQ(nlohmann::json::parse(lines[3])["coefficients"]["channel2"]["C1"], 6.5);

    const CliResult report = Run({"journal", "--report", "--serial", "4242"});
    EXPECT_EQ(report.exitCode, 0) << report.err;
    EXPECT_NE(report.out.find("  4242  2  C1  6.5  accepted  5.5  6.5\n"), std::string::npos)
        << report.out;
    const CliResult russian = orbel::test::RunCli([&] {
        CliCall call = Call({"journal", "--report", "--csv", "regional"});
        call.env[0] = "LC_ALL=ru_RU.UTF-8";
        return call;
    }());
    EXPECT_NE(russian.out.find("как найдено"), std::string::npos) << russian.out;
    EXPECT_EQ(Run({"journal", "--report", "--serial", "1"}).out.find("4242"), std::string::npos);
    EXPECT_EQ(Run({"journal", "--json"}).out, [&] {
        std::string all;
        for (const std::string& line : lines) {
            all += line + "\n";
        }
        return all;
    }());
}

TEST_F(CliJournal, WithoutReadbackTheActAloneIsRecordedAndTheReportSaysNotRead) {
    SimThread sim(Instrument(7));
    ASSERT_EQ(Run({"calibrate", "1", "C2", "80", "--yes", "--no-readback"}, &sim).exitCode, 0);
    EXPECT_EQ(sim.Received().size(), 1U);
    EXPECT_EQ(Lines().size(), 1U);
    const CliResult report = Run({"journal", "--report", "--csv"});
    EXPECT_NE(report.out.find(",,1,C2,80.0,accepted,not read,not read\n"), std::string::npos)
        << report.out;
}

TEST_F(CliJournal, VerifyNamesTheEntryWithAChangedByteAndExitsFour) {
    SimThread sim(Instrument(42));
    for (const char* value : {"1", "2"}) {
        ASSERT_EQ(Run({"calibrate", "1", "C1", value, "--yes"}, &sim).exitCode, 0);
    }
    const CliResult intact = Run({"journal", "--verify"});
    EXPECT_EQ(intact.exitCode, 0) << intact.err;
    EXPECT_NE(intact.out.find("8 lines, the chain holds"), std::string::npos) << intact.out;

    std::string text;
    {
        std::ifstream in(path, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const std::size_t value = text.find("\"value\":2");
    ASSERT_NE(value, std::string::npos);
    text[value + 8] = '3'; // the second act's value, line 7
    std::ofstream(path, std::ios::binary) << text;
    const CliResult broken = Run({"journal", "--verify"});
    EXPECT_EQ(broken.exitCode, 4);
    EXPECT_NE(broken.err.find("the chain breaks at line 7"), std::string::npos) << broken.err;
}

TEST_F(CliJournal, TwoProgramsCalibratingAtOnceLeaveWholeChainedLines) {
    SimThread first(Instrument(1));
    SimThread second(Instrument(2));
    constexpr int Rounds = 5;
    std::vector<std::unique_ptr<CliProcess>> running;
    for (int i = 0; i < Rounds; ++i) {
        running.push_back(std::make_unique<CliProcess>(
            Call({"calibrate", "1", "C1", std::to_string(i), "--yes"}, &first)));
        running.push_back(std::make_unique<CliProcess>(
            Call({"calibrate", "2", "C2", std::to_string(i), "--yes"}, &second)));
        for (auto& cli : running) {
            const CliResult result = cli->Finish();
            EXPECT_EQ(result.exitCode, 0) << result.err;
        }
        running.clear();
    }
    const std::vector<std::string> lines = Lines();
    EXPECT_EQ(lines.size(), 4U * 2 * Rounds);
    for (const std::string& line : lines) {
        EXPECT_FALSE(nlohmann::json::parse(line, nullptr, false).is_discarded()) << line;
    }
    EXPECT_EQ(Run({"journal", "--verify"}).exitCode, 0);
}

TEST_F(CliJournal, AnActSentButNotRecordedEndsWithFive) {
    SimThread sim(Instrument(42));
    std::filesystem::create_directories(path); // a folder where the file should be
    const CliResult result = Run({"calibrate", "1", "C1", "5", "--yes", "--no-readback"}, &sim);
    EXPECT_EQ(result.exitCode, 5);
    EXPECT_EQ(sim.Received().size(), 1U);
    EXPECT_NE(result.err.find("sent but not recorded"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("cannot be written"), std::string::npos) << result.err;
}

TEST_F(CliJournal, ForeignLinesAreReportedAndBadFiltersRefused) {
    std::filesystem::create_directories(folder);
    std::ofstream(path, std::ios::binary) << "not json\n";
    const CliResult listed = Run({"journal"});
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_NE(listed.err.find("line 1: not JSON"), std::string::npos) << listed.err;
    EXPECT_EQ(Run({"journal", "--serial", "70000"}).exitCode, 2);
    EXPECT_EQ(Run({"journal", "--since", "yesterday"}).exitCode, 2);
    EXPECT_EQ(Run({"journal", "--report", "--verify"}).exitCode, 2);
    EXPECT_EQ(Run({"signature", "--serial", "1"}).exitCode, 2);
}
