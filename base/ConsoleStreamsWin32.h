// The standard streams on a Windows console. The program's text is UTF-8; a
// console shows and reads UTF-16 whatever its code pages, which stay as the
// technician's window had them (other programs in it print in them). Only
// what goes to a console is turned; a file or a pipe gets the bytes.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

namespace orbel {

// True for a handle of a console (not redirected to a file or a pipe).
bool IsConsole(HANDLE handle);

// Writes UTF-8 text to a console as UTF-16, all of it. Returns 0, or the
// system's code of the failure.
int WriteConsoleUtf8(HANDLE console, std::string_view text);

// Gives std::cout, std::cerr and std::cin that stand for a console a buffer
// that writes and reads it in UTF-16; the others stay as they are. When
// standard error is a console the exception report is written to it the same
// way, and the writer of whole lines returned (empty otherwise) is for the
// port's diagnostics (SetPortDiagnosticSink), whose lines come from any thread.
using TConsoleLineWriter = std::function<void(const std::string& line)>;
TConsoleLineWriter UseConsoleStreams();

// Throws away what std::cin's console buffer holds of a line already read
// from the console (the rest of a line typed ahead).
void DropConsoleInput();

} // namespace orbel
