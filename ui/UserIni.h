// The two-line settings file "user.ini" in the current directory: line 1 the
// port name, line 2 "1" for the software timeout mode or "0" for system bus.
#pragma once

#include <cstddef>
#include <istream>
#include <string>

// Longest line kept; the reader never looks at more than two such lines, so a
// huge or binary file cannot stall start-up.
constexpr std::size_t UserIniMaxLine = 256;

struct TUserIniLines {
    std::string Port; // line 1, empty when missing
    std::string Mode; // line 2, empty when missing
};

// The path of the file: the current directory, a separator, "user.ini".
std::string UserIniPath();

// Reads one line of at most UserIniMaxLine bytes: up to LF or the end of the
// input; one CR right before the LF is dropped. True when the line ended at
// its LF, so that another line may follow. Throws std::runtime_error when the
// input cannot be read.
bool ReadUserIniLine(std::istream& in, std::string& line);

// Reads at most two lines of at most UserIniMaxLine bytes each. A line ends at
// LF (or at the end of the input); exactly one CR before the LF is dropped.
// A longer line is cut, and the rest of it skipped up to its LF; a first line
// that runs on without LF for 16 times that length ends the reading, and the
// second line is then missing.
TUserIniLines ReadUserIniLines(std::istream& in);

// The file's content: both lines ended by CR LF.
std::string UserIniContent(const std::string& port, bool softwareMode);

// Saves the file through WriteFileAtomically: a new file renamed over the old
// one, or, where the folder takes no new file, the old regular file rewritten
// in place (never through a link). Throws EFileWrite (a std::runtime_error
// naming the path and the reason) when the file cannot be written.
void WriteUserIni(const std::string& path, const std::string& content);
