// What the Win32 platform tells the technician through the diagnostics' sink,
// as the POSIX platform does on Linux: which device a port name stood for,
// why a port could not be opened, that a device was lost.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace orbel {

// "serial: cannot open \\.\COM9: The system cannot find the file specified."
// (with the device's path when the name stood for another), and a hint where
// the name stood for no device.
std::string Win32OpenFailureLine(const std::string& port, const std::wstring& path,
                                 std::uint32_t code);

// "serial: \\.\COM1 is \\.\COM7" (a name that ORBEL_COM1 maps).
std::string Win32ResolvedLine(const std::string& port, const std::wstring& path);

// "serial: \\.\COM1 lost: The device is not connected. (error 1167)".
std::string Win32LostLine(const std::string& port, std::uint32_t code);

// What the driver did not take of the settings asked for, read back after
// SetCommState: "serial: \\\\.\\COM1: the driver did not take mark parity; the
// port is used as it is"; empty when it took them all.
std::string Win32RefusedLine(const std::string& port, const DCB& wanted, const DCB& got);

} // namespace orbel
