// Reading the two-line settings file "user.ini" in the current directory:
// line 1 the port name, line 2 "1" for the software timeout mode or "0" for
// system bus. Pure reading over a stream, shared by both front ends.
#pragma once

#include <cstddef>
#include <istream>
#include <string>

namespace orbel {

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

// The port a line 1 names: 1 to 4 for exactly "COM1" to "COM4", else 0.
int UserIniPortNumber(const std::string& line);

// Line 2: only "1" is the software mode; anything else, a missing line
// included, is the system bus.
bool UserIniSoftwareMode(const std::string& line);

} // namespace orbel
