// Where the calibration journal lives: ORBEL_JOURNAL when it is set and not
// empty; else $XDG_DATA_HOME/orbel/calibration-journal.jsonl (an absolute
// XDG_DATA_HOME only, else ~/.local/share) on Linux and
// %LOCALAPPDATA%\ОРБЕЛ\calibration-journal.jsonl on Windows.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace orbel {

using TJournalEnvironment = std::function<std::optional<std::string>(const char* name)>;

enum class TJournalSystem { Linux, Windows };

// The path (UTF-8) from the variables `environment` gives; empty when none
// of them names a folder.
std::string JournalPathFrom(const TJournalEnvironment& environment, TJournalSystem system);

// The path from the process environment for the system built for.
std::string JournalPath();

} // namespace orbel
