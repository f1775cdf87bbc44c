// Writing the two-line settings file "user.ini"; its reading is shared with
// the terminal front end.
#pragma once

#include "protocol/UserIniLines.h"

#include <string>

// The file's content: both lines ended by CR LF.
std::string UserIniContent(const std::string& port, bool softwareMode);

// Replaces the file as a whole: writes a temporary file in the same directory
// and renames it over the old one, so a failed save leaves the old file intact.
// Where no temporary file can be made there, writes the file in place.
// Throws std::runtime_error when the file cannot be written.
void WriteUserIni(const std::string& path, const std::string& content);
