// What the Windows tests need around a real port: the COM port names mapped
// to simulated instruments, a fresh line before each open, whether the
// program runs under Wine, and the process's handle count.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

// The port named by the environment variable (for example ORBEL_TEST_SIM_PORT
// = "COM1"), as the platform is given it ("\\.\COM1"); none when unset.
std::optional<std::string> MappedPort(const char* variable);

// Under Wine a COM port may be a pseudo-terminal of the Linux host; after a
// mark-parity setting that terminal keeps parity bits that make the next
// setting fail. When ORBEL_TEST_PTY_<PORT> names the terminal, its line is
// made fresh from the host's side (stty). Does nothing elsewhere.
void RestoreFreshLine(const std::string& port);

bool RunningUnderWine();

// Handles the process holds: GetProcessHandleCount, or where that reports
// none (Wine), the process's entries in the system's handle table; 0 when
// neither can tell.
std::size_t ProcessHandleCount();
