#include "journal/JournalSystem.h"

#include "base/WideText.h"
#include "serial/platform/win32/Win32DeviceName.h"

#include <windows.h>

namespace orbel {

std::string JournalHostName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return ::GetComputerNameW(name, &size) ? Utf8FromWide(std::wstring_view(name, size)) : "";
}

std::string JournalUserName() {
    wchar_t name[257] = {};
    DWORD size = 257;
    return ::GetUserNameW(name, &size) && size > 0 ? Utf8FromWide(std::wstring_view(name, size - 1))
                                                   : "";
}

std::int64_t JournalProcessId() {
    return ::GetCurrentProcessId();
}

std::string JournalPortDevice(const std::string& port) {
    const std::wstring device = ResolveWin32DeviceName(port, Win32Environment);
    return device.empty() ? port : Utf8FromWide(device);
}

bool JournalSpeaksRussian() {
    return PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_RUSSIAN;
}

} // namespace orbel
