#include "base/DiagnosticLog.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

using namespace orbel;

namespace {

std::string Slurp(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

TEST(DiagnosticLog, LinesAreStampedAndTheFileTurnsOverAtItsCapKeepingOneOlder) {
    const auto folder = std::filesystem::temp_directory_path() / "orbel-log-test" / "ОРБЕЛ";
    std::filesystem::remove_all(folder.parent_path());
    // Each stamped line is 20 + 17 bytes: two fit under the cap, a third does not.
    TDiagnosticLog log(folder / "orbel.log", 80);
    EXPECT_EQ(log.OlderFile(), folder / "orbel.old.log");
    log.Write("serial: line one\n");
    log.Write("serial: line two");
    const std::string stamp = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d )";
    EXPECT_TRUE(std::regex_match(Slurp(log.File()), std::regex(stamp + "serial: line one\n" +
                                                               stamp + "serial: line two\n")));
    log.Write("serial: line 3");
    log.Write("serial: line 4");
    log.Write("serial: line 5");
    EXPECT_TRUE(std::regex_match(Slurp(log.OlderFile()), std::regex(stamp + "serial: line 3\n" +
                                                                    stamp + "serial: line 4\n")));
    EXPECT_TRUE(std::regex_match(Slurp(log.File()), std::regex(stamp + "serial: line 5\n")));
    std::filesystem::remove_all(folder.parent_path());
}
