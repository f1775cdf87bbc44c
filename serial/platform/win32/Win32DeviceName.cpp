#include "serial/platform/win32/Win32DeviceName.h"

#include "base/WideText.h"
#include "serial/platform/ComPlatform.h"
#include "serial/platform/PortVariable.h"
#include "serial/platform/win32/Win32Errors.h"

#include <windows.h>

#include <string_view>

namespace orbel {

namespace {

const std::wstring DevicePrefix(DeviceNamePrefix.begin(), DeviceNamePrefix.end());

// The n of "COMn" in any letter case, or 0 when the name is no such port.
unsigned ComNumber(std::wstring_view name) {
    if (name.size() < 4 || name.size() > 6) {
        return 0;
    }
    for (std::size_t i = 0; i < 3; ++i) {
        if ((name[i] & ~0x20) != L"COM"[i]) {
            return 0;
        }
    }
    unsigned n = 0;
    for (const wchar_t c : name.substr(3)) {
        if (c < L'0' || c > L'9') {
            return 0;
        }
        n = n * 10 + static_cast<unsigned>(c - L'0');
    }
    return n;
}

std::wstring WithPrefix(std::wstring_view name) {
    if (name.substr(0, 2) == L"\\\\") {
        return std::wstring(name);
    }
    return std::wstring(DevicePrefix) + std::wstring(name);
}

} // namespace

std::wstring ResolveWin32DeviceName(const std::string& name, const Win32EnvironmentLookup& lookup) {
    const std::wstring wide = WideFromUtf8(name);
    std::wstring_view port = wide;
    if (port.substr(0, DevicePrefix.size()) == DevicePrefix) {
        port.remove_prefix(DevicePrefix.size());
    }
    if (port.empty()) {
        return {};
    }
    if (const unsigned n = ComNumber(port); n != 0 && lookup) {
        if (auto value = lookup(PortVariableWide(n)); value && !value->empty()) {
            return WithPrefix(*value);
        }
    }
    return std::wstring(DevicePrefix) + std::wstring(port);
}

std::optional<std::wstring> Win32Environment(const std::wstring& variable) {
    std::wstring value(64, L'\0');
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD length = GetEnvironmentVariableW(variable.c_str(), value.data(),
                                                     static_cast<DWORD>(value.size()));
        if (length == 0) {
            if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
                return std::nullopt;
            }
            return std::wstring();
        }
        if (length < value.size()) {
            value.resize(length);
            return value;
        }
        value.resize(length); // too small: length includes the terminator
    }
}

} // namespace orbel
