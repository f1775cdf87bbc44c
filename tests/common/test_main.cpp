// Main for test programs without a window: the locale the environment names,
// as a program sets it at its start (the port messages follow it), then the
// tests. Their main loop is the plain one, served by this thread.
#include "TestJournal.h"

#include <gtest/gtest.h>

#include <clocale>

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    KeepJournalOutOfUserData();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
