#include "app/cli/PortList.h"

#include "base/WideText.h"
#include "serial/platform/PortVariable.h"
#include "serial/platform/win32/Win32DeviceName.h"

#include <windows.h>

#include <setupapi.h>

#include <algorithm>
#include <cwctype>
#include <optional>

namespace orbel::cli {

namespace {

// The device manager's class "Ports (COM & LPT)".
constexpr GUID PortsClass = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

std::string Upper(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towupper(c)); });
    return Utf8FromWide(text);
}

bool IsComName(const std::wstring& name) {
    return name.size() > 3 && Upper(name.substr(0, 3)) == "COM";
}

// A text property of a device (the first of a list), or empty.
std::wstring DeviceText(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    wchar_t text[512] = {};
    if (::SetupDiGetDeviceRegistryPropertyW(set, &device, property, nullptr,
                                            reinterpret_cast<BYTE*>(text),
                                            sizeof text - sizeof(wchar_t), nullptr) == 0) {
        return {};
    }
    return text;
}

std::optional<std::wstring> RegistryText(HKEY key, const wchar_t* value) {
    wchar_t text[256] = {};
    DWORD size = sizeof text - sizeof(wchar_t);
    DWORD type = 0;
    if (::RegQueryValueExW(key, value, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return std::nullopt;
    }
    return std::wstring(text);
}

// "USB\VID_0403&PID_6001&REV_0600" -> "0403:6001"; empty for anything else.
std::string UsbId(const std::wstring& hardwareId) {
    const std::string id = Upper(hardwareId);
    const std::size_t vid = id.find("VID_");
    const std::size_t pid = id.find("PID_");
    if (vid == std::string::npos || pid == std::string::npos || id.size() < pid + 8) {
        return {};
    }
    std::string usb = id.substr(vid + 4, 4) + ":" + id.substr(pid + 4, 4);
    std::transform(usb.begin(), usb.end(), usb.begin(),
                   [](char c) { return static_cast<char>(std::tolower(c)); });
    return usb;
}

std::vector<TPortEntry> FromDeviceManager() {
    std::vector<TPortEntry> entries;
    const HDEVINFO set = ::SetupDiGetClassDevsW(&PortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) {
        return entries;
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; ::SetupDiEnumDeviceInfo(set, i, &device) != 0; ++i) {
        const HKEY key =
            ::SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE) {
            continue;
        }
        const std::optional<std::wstring> port = RegistryText(key, L"PortName");
        ::RegCloseKey(key);
        if (!port || !IsComName(*port)) {
            continue; // a printer port of the same class
        }
        TPortEntry entry;
        entry.port = Utf8FromWide(*port);
        entry.identity = Upper(*port);
        entry.name = Utf8FromWide(DeviceText(set, device, SPDRP_FRIENDLYNAME));
        entry.vendor = Utf8FromWide(DeviceText(set, device, SPDRP_MFG));
        entry.driver = Utf8FromWide(DeviceText(set, device, SPDRP_SERVICE));
        entry.usbId = UsbId(DeviceText(set, device, SPDRP_HARDWAREID));
        entries.push_back(entry);
    }
    ::SetupDiDestroyDeviceInfoList(set);
    return entries;
}

// The ports the serial drivers have announced, for those the device manager
// does not list (some virtual ports, older drivers): "\Device\Serial0" = "COM1".
void AddSerialComm(std::vector<TPortEntry>& entries) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ,
                        &key) != ERROR_SUCCESS) {
        return;
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256] = {};
        wchar_t port[256] = {};
        DWORD nameLength = 255;
        DWORD portSize = sizeof port - sizeof(wchar_t);
        DWORD type = 0;
        if (::RegEnumValueW(key, i, name, &nameLength, nullptr, &type,
                            reinterpret_cast<BYTE*>(port), &portSize) != ERROR_SUCCESS) {
            break;
        }
        const std::string identity = Upper(port);
        const bool known = std::any_of(entries.begin(), entries.end(),
                                       [&](const TPortEntry& e) { return e.identity == identity; });
        if (type == REG_SZ && IsComName(port) && !known) {
            TPortEntry entry;
            entry.port = Utf8FromWide(port);
            entry.identity = identity;
            entry.name = Utf8FromWide(name);
            entries.push_back(entry);
        }
    }
    ::RegCloseKey(key);
}

} // namespace

std::vector<TPortEntry> ListSerialPorts() {
    std::vector<TPortEntry> entries = FromDeviceManager();
    AddSerialComm(entries);
    SortByPortName(entries);
    MarkMenuItems(entries, [](int n) {
        const std::wstring variable = PortVariableWide(static_cast<unsigned>(n));
        const auto value = Win32Environment(variable);
        std::wstring path = ResolveWin32DeviceName("COM" + std::to_string(n), Win32Environment);
        const std::wstring prefix = L"\\\\.\\";
        if (path.compare(0, prefix.size(), prefix) == 0) {
            path.erase(0, prefix.size());
        }
        return TMenuTarget{Upper(path), value && !value->empty()};
    });
    return entries;
}

} // namespace orbel::cli
