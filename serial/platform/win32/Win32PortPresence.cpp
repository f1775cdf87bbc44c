// Whether a COM port is still in the device manager's ports class: a USB
// adapter removed without a word to its open handle (reads only time out)
// is gone from the class while the handle lives on.
#include "serial/platform/win32/Win32Calls.h"

#include <setupapi.h>

#include <cwchar>
#include <string>

namespace orbel {

namespace {

// The device manager's class "Ports (COM & LPT)".
constexpr GUID PortsClass = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

std::wstring PortNameOf(HDEVINFO set, SP_DEVINFO_DATA& device) {
    const HKEY key = ::SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) {
        return {};
    }
    wchar_t name[64] = {};
    DWORD size = sizeof name - sizeof(wchar_t);
    DWORD type = 0;
    const LONG read =
        ::RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
    ::RegCloseKey(key);
    return read == ERROR_SUCCESS && type == REG_SZ ? std::wstring(name) : std::wstring{};
}

} // namespace

int SystemPortPresent(LPCWSTR port) {
    std::wstring name = port;
    if (const auto slash = name.rfind(L'\\'); slash != std::wstring::npos) {
        name.erase(0, slash + 1); // "\\.\COM7" -> "COM7"
    }
    const HDEVINFO set = ::SetupDiGetClassDevsW(&PortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) {
        return -1;
    }
    int present = 0;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; present == 0 && ::SetupDiEnumDeviceInfo(set, i, &device) != 0; ++i) {
        present = _wcsicmp(PortNameOf(set, device).c_str(), name.c_str()) == 0 ? 1 : 0;
    }
    ::SetupDiDestroyDeviceInfoList(set);
    return present;
}

} // namespace orbel
