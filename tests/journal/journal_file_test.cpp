// Appending to a real file: whole chained lines, a torn last line left as it
// is, files and folders that refuse, two writers at once, the journal's place.
#include "JournalTestEntries.h"
#include "base/WideText.h"
#include "journal/JournalAppend.h"
#include "journal/JournalChain.h"
#include "journal/JournalPlace.h"
#include "journal/JournalRead.h"
#include "journal/JournalRecorder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <thread>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace orbel;
using orbel::test::SomeEntry;

namespace {

class JournalFile : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = std::filesystem::temp_directory_path() /
                 PathFromUtf8(std::string("orbel-журнал-") + info->name());
        std::filesystem::remove_all(folder);
        path = Utf8FromPath(folder / "sub" / "calibration-journal.jsonl");
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    std::string Append() {
        return AppendToJournal(path, [](std::string_view prev) { return SomeEntry(prev); });
    }
    std::string Content() const {
        std::ifstream in(PathFromUtf8(path), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    void Write(const std::string& bytes) const {
        std::ofstream(PathFromUtf8(path), std::ios::binary) << bytes;
    }

    std::filesystem::path folder;
    std::string path;
};

// Every line whole and chained, `count` of them.
void ExpectWholeChain(const std::string& text, std::size_t count) {
    const auto records = ReadJournal(text);
    EXPECT_EQ(records.size(), count);
    for (const TJournalRecord& r : records) {
        EXPECT_TRUE(r.IsEntry()) << "line " << r.line << ": " << r.problem;
    }
    EXPECT_FALSE(VerifyChain(records));
    EXPECT_EQ(text.back(), '\n');
}

} // namespace

TEST_F(JournalFile, EntriesAreAppendedWholeAndChainedInAFolderMadeForThem) {
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(Append(), "");
    }
    ExpectWholeChain(Content(), 3);
}

TEST_F(JournalFile, ATornLastLineStaysAndTheNextEntryStartsALineOfItsOwn) {
    ASSERT_EQ(Append(), "");
    const std::string torn = Content() + R"({"time":"2026-12-08T0)";
    Write(torn);
    ASSERT_EQ(Append(), "");
    const std::string text = Content();
    EXPECT_EQ(text.substr(0, torn.size()), torn);
    const auto records = ReadJournal(text);
    ASSERT_EQ(records.size(), 3U);
    EXPECT_EQ(records[1].problem, "not JSON");
    EXPECT_TRUE(records[2].IsEntry());
    EXPECT_FALSE(VerifyChain(records));
}

TEST_F(JournalFile, WhatCannotBeAJournalIsRefusedAndLeftAsItIs) {
    std::filesystem::create_directories(folder / "sub");
    Write("# my notes\n");
    EXPECT_EQ(Append(), "the file is not a calibration journal");
    EXPECT_EQ(Content(), "# my notes\n");

    std::filesystem::remove(PathFromUtf8(path));
    std::filesystem::create_directories(PathFromUtf8(path)); // a folder of its name
    EXPECT_NE(Append(), "");

    std::ofstream(folder / "plain") << "x";
    path = Utf8FromPath(folder / "plain" / "calibration-journal.jsonl"); // under a file
    EXPECT_NE(Append().find("folder cannot be made"), std::string::npos);
}

TEST_F(JournalFile, TwoWritersAtOnceLeaveWholeChainedLines) {
    constexpr int PerWriter = 60;
    const auto writer = [this] {
        int failures = 0;
        for (int i = 0; i < PerWriter; ++i) {
            failures += Append().empty() ? 0 : 1;
        }
        return failures;
    };
    int failures[2] = {};
    std::thread other([&] { failures[1] = writer(); });
    failures[0] = writer();
    other.join();
    EXPECT_EQ(failures[0] + failures[1], 0);
    ExpectWholeChain(Content(), 2 * PerWriter);
}

#ifndef _WIN32
TEST_F(JournalFile, TwoProcessesAtOnceLeaveWholeChainedLines) {
    constexpr int PerWriter = 60;
    ASSERT_EQ(Append(), ""); // the folder, before the two race for it
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    int failures = 0;
    for (int i = 0; i < PerWriter; ++i) {
        failures += Append().empty() ? 0 : 1;
    }
    if (child == 0) {
        ::_exit(failures == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(failures, 0);
    ExpectWholeChain(Content(), 2 * PerWriter + 1);
}
#endif

TEST_F(JournalFile, TheRecorderKeepsActsAndReadsButNotRepeatedReads) {
    TJournalRecorder recorder("orbel-test", "1.0", path);
    using orbel::test::CoefficientsAnswer;
    using orbel::test::SignatureAnswer;
    TLinkAnswer notOpen = orbel::test::Answered(ciCalibrateC2Channel2, 10);
    notOpen.kind = TAnswerKind::PortLost;
    notOpen.outcome = EMUL_Functions::TExchangeOutcome::PortNotOpen;
    TLinkAnswer silent = orbel::test::Answered(ciCalibrateC1Channel1, 125);
    silent.kind = TAnswerKind::NoAnswer;
    silent.outcome = EMUL_Functions::TExchangeOutcome::NoReply;
    const struct {
        TLinkAnswer answer;
        bool written;
    } steps[] = {
        {SignatureAnswer(42), true},
        {SignatureAnswer(42), false}, // a cyclic read
        {CoefficientsAnswer({50, 900, 50, 900}), true},
        {CoefficientsAnswer({50, 900, 50, 900}), false},
        {orbel::test::Answered(ciReadings), false},
        {notOpen, false},                               // nothing sent
        {silent, true},                                 // sent: kept whatever came of it
        {CoefficientsAnswer({50, 900, 50, 900}), true}, // its as-left read
        {SignatureAnswer(43), true},                    // another instrument
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        const TJournalWrite write = recorder.Record("COM1", steps[i].answer, 12.5);
        EXPECT_EQ(write.written, steps[i].written) << "step " << i;
        EXPECT_EQ(write.failure, "") << "step " << i;
    }
    const std::string text = Content();
    const auto records = ReadJournal(text);
    ASSERT_EQ(records.size(), 5U);
    const TJournalRecord& act = records[2];
    EXPECT_EQ(act.act, "calibrate");
    EXPECT_EQ(act.outcome, "no reply");
    EXPECT_EQ(act.serial, 42);
    ASSERT_TRUE(act.coefficients);
    EXPECT_EQ(act.coefficients->values[1], 90.0);
    EXPECT_EQ(records[4].serial, 43);

    path = Utf8FromPath(folder); // a folder: the failure is said, nothing thrown
    TJournalRecorder failing("orbel-test", "1.0", path);
    EXPECT_NE(failing.Record("COM1", silent, 1.0).failure, "");
}

TEST(JournalPlace, TheVariablesChooseTheFile) {
    using Env = std::map<std::string, std::string>;
    const struct {
        Env env;
        TJournalSystem system;
        const char* path;
    } cases[] = {
        {{{"HOME", "/home/t"}},
         TJournalSystem::Linux,
         "/home/t/.local/share/orbel/calibration-journal.jsonl"},
        {{{"HOME", "/home/t"}, {"XDG_DATA_HOME", "/d"}},
         TJournalSystem::Linux,
         "/d/orbel/calibration-journal.jsonl"},
        {{{"HOME", "/home/t"}, {"XDG_DATA_HOME", "rel"}},
         TJournalSystem::Linux,
         "/home/t/.local/share/orbel/calibration-journal.jsonl"},
        {{{"HOME", "/home/t"}, {"ORBEL_JOURNAL", "/j.jsonl"}}, TJournalSystem::Linux, "/j.jsonl"},
        {{{"HOME", "/home/t"}, {"ORBEL_JOURNAL", ""}},
         TJournalSystem::Linux,
         "/home/t/.local/share/orbel/calibration-journal.jsonl"},
        {{}, TJournalSystem::Linux, ""},
        {{{"LOCALAPPDATA", "C:\\Users\\Иван\\AppData\\Local"}},
         TJournalSystem::Windows,
         "C:\\Users\\Иван\\AppData\\Local\\ОРБЕЛ\\calibration-journal.jsonl"},
        {{{"LOCALAPPDATA", "C:\\L"}, {"ORBEL_JOURNAL", "D:\\j.jsonl"}},
         TJournalSystem::Windows,
         "D:\\j.jsonl"},
    };
    for (const auto& c : cases) {
        const auto lookup = [&](const char* name) -> std::optional<std::string> {
            const auto it = c.env.find(name);
            return it == c.env.end() ? std::nullopt : std::optional(it->second);
        };
        EXPECT_EQ(JournalPathFrom(lookup, c.system), c.path);
    }
}
