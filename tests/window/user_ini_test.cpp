#include "ui/UserIni.h"

#include "common/AsOrdinaryUser.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include <sys/wait.h>
#include <unistd.h>
#include <utility>

using namespace orbel;

namespace fs = std::filesystem;

namespace {

struct TLines {
    std::string Port;
    std::string Mode;
};

// Both lines as the window reads them: the second only after a first ended by its LF.
TLines Read(const std::string& content) {
    std::istringstream in(content);
    TLines lines;
    if (ReadUserIniLine(in, lines.Port)) {
        ReadUserIniLine(in, lines.Mode);
    }
    return lines;
}

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class TempDir : public ::testing::Test {
protected:
    fs::path dir;
    void SetUp() override {
        char name[] = "/tmp/orbel-ini-XXXXXX";
        ASSERT_NE(::mkdtemp(name), nullptr);
        dir = name;
    }
    void TearDown() override {
        ::chmod(dir.c_str(), 0755);
        fs::remove_all(dir);
    }
};

} // namespace

TEST(UserIniReading, LinesEndAtLineFeedAndDropOneCarriageReturn) {
    EXPECT_EQ(Read("COM3\r\n1\r\n").Port, "COM3");
    EXPECT_EQ(Read("COM3\r\n1\r\n").Mode, "1");
    EXPECT_EQ(Read("COM3\n0").Mode, "0");
    EXPECT_EQ(Read("COM3 \r\n1\r\n").Port, "COM3 "); // a trailing blank stays: no match
    EXPECT_EQ(Read("COM3\r\r\n").Port, "COM3\r");    // exactly one CR is dropped
    EXPECT_EQ(Read("COM2\r\n").Mode, "");
    EXPECT_EQ(Read("COM3\r").Port, "COM3\r"); // a CR ends nothing without its LF
    EXPECT_EQ(Read("").Port, "");
}

TEST(UserIniReading, HugeOrBinaryContentIsBounded) {
    const std::string huge(10 * 1024 * 1024, 'A');
    const TLines lines = Read(huge + "\n1\n");
    EXPECT_LE(lines.Port.size(), UserIniMaxLine);
    EXPECT_NE(lines.Mode, "1"); // the reader gave up on the endless first line

    std::string binary(300, '\0');
    binary += "\n1\r\n";
    EXPECT_EQ(Read(binary).Port.size(), UserIniMaxLine);
    EXPECT_EQ(Read(binary).Mode, "1");
}

TEST(UserIniReading, OnlyExactPortNamesAndModeOneCount) {
    const std::pair<const char*, int> ports[] = {{"COM1", 1},  {"COM4", 4}, {"COM5", 0},
                                                 {"COM0", 0},  {"com1", 0}, {"COM1 ", 0},
                                                 {"COM12", 0}, {"", 0}};
    for (const auto& [line, number] : ports) {
        EXPECT_EQ(UserIniPortNumber(line), number) << line;
    }
    EXPECT_TRUE(UserIniSoftwareMode("1"));
    for (const char* line : {"0", "", "1 ", "01"}) {
        EXPECT_FALSE(UserIniSoftwareMode(line)) << line;
    }
}

TEST(UserIniWriting, ContentIsTwoCrLfLines) {
    EXPECT_EQ(UserIniContent("COM4", false), "COM4\r\n0\r\n");
    EXPECT_EQ(UserIniContent("COM1", true), "COM1\r\n1\r\n");
}

TEST_F(TempDir, SaveReplacesTheFileAsAWhole) {
    const fs::path file = dir / "user.ini";
    std::ofstream(file) << "COM3\r\n1\r\nleftover line that must go\r\n";
    WriteUserIni(file.string(), UserIniContent("COM2", false));
    EXPECT_EQ(Slurp(file), "COM2\r\n0\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 1);
}

TEST_F(TempDir, FailedSaveLeavesTheOldFileIntact) {
    const fs::path file = dir / "user.ini";
    std::ofstream(file) << "COM3\r\n1\r\n";
    ::chmod(file.c_str(), 0444);
    ::chmod(dir.c_str(), 0755); // no temporary file, and the old file is read-only
    EXPECT_EQ(orbel::test::RunAsOrdinaryUser([&] { WriteUserIni(file.string(), "COM1\r\n0\r\n"); }),
              1);
    EXPECT_EQ(Slurp(file), "COM3\r\n1\r\n");
}

TEST_F(TempDir, WithoutATemporaryFileAWritableFileIsWrittenInPlace) {
    const fs::path file = dir / "user.ini";
    std::ofstream(file) << "COM3\r\n1\r\n";
    ::chmod(file.c_str(), 0666);
    ::chmod(dir.c_str(), 0755);
    EXPECT_EQ(orbel::test::RunAsOrdinaryUser([&] { WriteUserIni(file.string(), "COM2\r\n0\r\n"); }),
              0);
    EXPECT_EQ(Slurp(file), "COM2\r\n0\r\n");
}

TEST_F(TempDir, SaveIntoAMissingFolderFails) {
    EXPECT_THROW(WriteUserIni((dir / "missing" / "user.ini").string(), "COM1\r\n1\r\n"),
                 std::runtime_error);
}
