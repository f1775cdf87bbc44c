// Saving a settings file replaces a symbolic link instead of writing through
// it (POSIX links: the Windows build leaves this out).
#include "serial/storage/IniFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using namespace orbel;

TEST(IniFile, SavingNeverWritesThroughALink) {
    char name[] = "/tmp/orbel-settings-XXXXXX";
    ASSERT_NE(::mkdtemp(name), nullptr);
    const std::filesystem::path dir = name;
    const auto outside = dir / "outside";
    std::ofstream(outside) << "precious\n";
    // The file itself a link, and a link planted where a fixed temporary name would go.
    for (const char* file : {"linked.ini", "planted.ini"}) {
        const auto path = dir / file;
        const bool linked = std::string(file) == "linked.ini";
        std::filesystem::create_symlink(outside, linked ? path : dir / "planted.ini.tmp");
        TIniFile ini(path.string());
        ini.WriteString("ComPort1", "Port", "COM3");
        ini.UpdateFile();
        EXPECT_EQ(std::filesystem::symlink_status(path).type(),
                  std::filesystem::file_type::regular);
        EXPECT_EQ(TIniFile(path.string()).ReadString("ComPort1", "Port", ""), "COM3");
        std::ifstream in(outside);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "precious\n") << file;
    }
    std::filesystem::remove_all(dir);
}
