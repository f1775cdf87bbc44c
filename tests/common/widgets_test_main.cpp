// Shared main for every test program with widgets: one QApplication for the
// whole process, created before any widget. On Linux it is headless unless a
// display was asked for; on Windows it is the system's own platform (under
// Wine, the display scripts/test-windows gives it).
#include "TestJournal.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#ifndef _WIN32
#include <unistd.h>
#endif

int main(int argc, char** argv) {
    KeepJournalOutOfUserData();
#ifndef _WIN32
    // gtest_discover_tests does not pass its environment to the listing run.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    if (std::getenv("XDG_RUNTIME_DIR") == nullptr) {
        std::string dir = "/tmp/orbel-test-runtime-" + std::to_string(getuid());
        std::filesystem::create_directories(dir);
        std::filesystem::permissions(dir, std::filesystem::perms::owner_all);
        setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    }
#endif
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests needs no display.
    if (GTEST_FLAG_GET(list_tests)) {
        return RUN_ALL_TESTS();
    }
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
