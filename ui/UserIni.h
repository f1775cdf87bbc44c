// The two-line settings file "user.ini" in the current directory: line 1 the
// port name, line 2 "1" for the software timeout mode or "0" for system bus.
#pragma once

#include <cstddef>
#include <istream>
#include <string>

// Longest line kept; the reader never looks at more than two such lines, so a
// huge or binary file cannot stall start-up.
constexpr std::size_t UserIniMaxLine = 256;

// The path of the file: the current directory, a separator, "user.ini".
std::string UserIniPath();

// Reads one line of at most UserIniMaxLine bytes: up to LF or the end of the
// input; one CR right before the LF is dropped. True when the line ended at
// its LF, so that another line may follow. Throws std::runtime_error when the
// input cannot be read.
bool ReadUserIniLine(std::istream& in, std::string& line);

// The file's content: both lines ended by CR LF.
std::string UserIniContent(const std::string& port, bool softwareMode);

// Replaces the file as a whole: writes a temporary file in the same directory
// and renames it over the old one, so a failed save leaves the old file intact.
// Where no temporary file can be made there, writes the file in place.
// Throws std::runtime_error when the file cannot be written.
void WriteUserIni(const std::string& path, const std::string& content);
