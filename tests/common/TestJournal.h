// Test programs and the programs they start keep their calibration journal
// out of the user's data: in the temporary folder, unless ORBEL_JOURNAL names
// another. Tests that read a journal name their own.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

inline void KeepJournalOutOfUserData() {
    if (const char* given = std::getenv("ORBEL_JOURNAL"); given != nullptr && *given != '\0') {
        return;
    }
    const std::string path = (std::filesystem::temp_directory_path() / "orbel-test-journal" /
                              "calibration-journal.jsonl")
                                 .string();
#ifdef _WIN32
    _putenv_s("ORBEL_JOURNAL", path.c_str());
#else
    setenv("ORBEL_JOURNAL", path.c_str(), 1);
#endif
}
