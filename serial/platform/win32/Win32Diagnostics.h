// What the Win32 platform says on standard error: why a port could not be
// opened, with the system's text, as the POSIX platform says it on Linux.
#pragma once

#include <cstdint>
#include <string>

// "serial: cannot open \\.\COM9: The system cannot find the file specified."
// (with the device's path when the name stood for another), and a hint where
// the name stood for no device.
std::string Win32OpenFailureLine(const std::string& port, const std::wstring& path,
                                 std::uint32_t code);

// Writes the line and a line break to standard error in one write.
void Win32Report(const std::string& line);
