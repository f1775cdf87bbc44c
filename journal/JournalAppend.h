// Appending one entry to the journal, the same on every system: the folder
// made when missing, the file opened under its lock, checked to be a journal,
// its last line found and hashed, the entry written whole and brought to the
// disk before the lock goes.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace orbel {

// Makes the entry's line (without its line feed) from the SHA-256 of the
// line before it.
using TEntryMaker = std::function<std::string(std::string_view prev)>;

// Empty when the entry is on the disk; else why it is not.
std::string AppendToJournal(const std::string& path, const TEntryMaker& entryLine);

} // namespace orbel
