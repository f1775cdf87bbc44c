// The journal's tamper evidence and the bytes at its end. Every entry carries
// the SHA-256 of the line before it in the file (whatever that line holds,
// a torn one included); the first line of a file carries ChainStart.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orbel {

inline constexpr std::string_view ChainStart =
    "0000000000000000000000000000000000000000000000000000000000000000";

// The SHA-256 of `bytes` in lower-case hexadecimal.
std::string Sha256Hex(std::string_view bytes);

// Every entry begins with these bytes: what a writer looks for at the start
// of a file before it appends to it.
inline constexpr std::string_view EntryOpening = R"({"time":")";

// True when a file that begins with `head` may be appended to: it is empty,
// or it begins as an entry does (or as much of it as a torn first write left).
bool LooksLikeJournal(std::string_view head);

// What a writer needs of the file's end: the last line (without its line
// feed) and whether the file ends with a line feed.
struct TJournalEnd {
    std::string lastLine;
    bool endsWithLineFeed = true; // false: a torn last line, or an empty file's none
    bool empty = true;
};

// The end of a file from its last bytes `tail`; `wholeFile` when `tail` is
// the whole file. Nothing when `tail` does not reach back to the line's
// start (the caller reads more).
std::optional<TJournalEnd> JournalEndIn(std::string_view tail, bool wholeFile);

// The bytes to append for an entry after a file's end: a line feed first when
// the last line is torn, so that the entry starts a line of its own.
std::string AppendedBytes(const TJournalEnd& end, std::string_view entryLine);

} // namespace orbel
