// Where the window's diagnostic lines go on Windows, which gives a window
// program no standard error: a size-capped log in the user's local
// application data, %LOCALAPPDATA%\ОРБЕЛ\orbel.log (1 MiB, one older file
// kept as orbel.old.log).
#pragma once

#include <filesystem>

namespace orbel {

// The log's file; empty when the system names no such folder.
std::filesystem::path WindowLogFile();

// Sends the platforms' diagnostic lines to the log from here on.
void SendDiagnosticsToLog();

} // namespace orbel
