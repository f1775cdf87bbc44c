// What an entry tells of the computer it was written on, and the language a
// report speaks. One implementation per system.
#pragma once

#include <cstdint>
#include <string>

namespace orbel {

std::string JournalHostName();
std::string JournalUserName();
std::int64_t JournalProcessId();

// The device a port name stands for (through ORBEL_COMn as the port opens
// it); the name itself when it stands for none.
std::string JournalPortDevice(const std::string& port);

// True when the user's language is Russian (LC_ALL, LC_MESSAGES or LANG on
// Linux; the user's interface language on Windows).
bool JournalSpeaksRussian();

} // namespace orbel
