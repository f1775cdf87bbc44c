#include "serial/ports/DevicePorts.h"

#include "base/WideText.h"
#include "serial/platform/PortVariable.h"
#include "serial/platform/win32/Win32DeviceName.h"

#include <windows.h>

#include <cfgmgr32.h>
#include <setupapi.h>

namespace orbel {

namespace {

// The device manager's class "Ports (COM & LPT)".
constexpr GUID PortsClassGuid = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

// A text property of a device (the first of a list), or empty.
std::string DeviceText(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    wchar_t text[512] = {};
    if (::SetupDiGetDeviceRegistryPropertyW(set, &device, property, nullptr,
                                            reinterpret_cast<BYTE*>(text),
                                            sizeof text - sizeof(wchar_t), nullptr) == 0) {
        return {};
    }
    return Utf8FromWide(text);
}

std::string RegistryText(HKEY key, const wchar_t* value) {
    wchar_t text[256] = {};
    DWORD size = sizeof text - sizeof(wchar_t);
    DWORD type = 0;
    if (::RegQueryValueExW(key, value, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return {};
    }
    return Utf8FromWide(text);
}

std::optional<unsigned> RegistryNumber(HKEY key, const wchar_t* value) {
    DWORD number = 0;
    DWORD size = sizeof number;
    DWORD type = 0;
    if (::RegQueryValueExW(key, value, nullptr, &type, reinterpret_cast<BYTE*>(&number), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD) {
        return std::nullopt;
    }
    return number;
}

// The system's calls, read only: the registry is never written here.
class TSystemDeviceQuery final : public IDeviceQuery {
public:
    std::vector<TDeviceRecord> PortsClass() const override {
        std::vector<TDeviceRecord> records;
        const HDEVINFO set =
            ::SetupDiGetClassDevsW(&PortsClassGuid, nullptr, nullptr, DIGCF_PRESENT);
        if (set == INVALID_HANDLE_VALUE) {
            return records;
        }
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        for (DWORD i = 0; ::SetupDiEnumDeviceInfo(set, i, &device) != 0; ++i) {
            TDeviceRecord record;
            // The device's parameters: its port name and an FTDI adapter's timer.
            const HKEY key =
                ::SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
            if (key != INVALID_HANDLE_VALUE) {
                record.portName = RegistryText(key, L"PortName");
                record.latencyTimer = RegistryNumber(key, L"LatencyTimer");
                ::RegCloseKey(key);
            }
            record.friendlyName = DeviceText(set, device, SPDRP_FRIENDLYNAME);
            record.description = DeviceText(set, device, SPDRP_DEVICEDESC);
            record.manufacturer = DeviceText(set, device, SPDRP_MFG);
            record.service = DeviceText(set, device, SPDRP_SERVICE);
            record.hardwareId = DeviceText(set, device, SPDRP_HARDWAREID);
            wchar_t instance[MAX_DEVICE_ID_LEN] = {};
            if (::CM_Get_Device_IDW(device.DevInst, instance, MAX_DEVICE_ID_LEN, 0) == CR_SUCCESS) {
                record.instanceId = Utf8FromWide(instance);
            }
            ULONG status = 0;
            ULONG problem = 0;
            record.present =
                ::CM_Get_DevNode_Status(&status, &problem, device.DevInst, 0) == CR_SUCCESS;
            record.status = status;
            record.problem = problem;
            records.push_back(record);
        }
        ::SetupDiDestroyDeviceInfoList(set);
        return records;
    }

    std::vector<TSerialCommValue> SerialComm() const override {
        std::vector<TSerialCommValue> values;
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ,
                            &key) != ERROR_SUCCESS) {
            return values;
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
            if (type != REG_SZ) {
                continue;
            }
            wchar_t target[512] = {};
            values.push_back({Utf8FromWide(name), Utf8FromWide(port),
                              ::QueryDosDeviceW(port, target, 512) != 0});
        }
        ::RegCloseKey(key);
        return values;
    }
};

} // namespace

TMenuTarget MenuTarget(int n) {
    const auto value = Win32Environment(PortVariableWide(static_cast<unsigned>(n)));
    const std::wstring path = ResolveWin32DeviceName("COM" + std::to_string(n), Win32Environment);
    return TMenuTarget{ComIdentity(Utf8FromWide(path)), value && !value->empty()};
}

std::vector<TSerialPortInfo> ListSerialPorts() {
    std::vector<TSerialPortInfo> entries = PortsFromDevices(TSystemDeviceQuery());
    MarkMenuItems(entries, MenuTarget);
    return entries;
}

std::optional<TSerialPortInfo> FindSerialPort(const std::string& portName) {
    const std::string identity =
        ComIdentity(Utf8FromWide(ResolveWin32DeviceName(portName, Win32Environment)));
    for (TSerialPortInfo& entry : PortsFromDevices(TSystemDeviceQuery())) {
        if (!identity.empty() && entry.identity == identity) {
            return std::move(entry);
        }
    }
    return std::nullopt;
}

std::string LatencyAdvice(const TSerialPortInfo& port) {
    if (!port.latencyTimerMs || *port.latencyTimerMs <= LatencyAdviceAboveMs) {
        return {};
    }
    return "replies wait up to " + std::to_string(*port.latencyTimerMs) +
           " ms in the adapter; lower it to 1 ms: Device Manager, " + port.port +
           ", Properties, Port Settings, Advanced, Latency Timer (an administrator's change, "
           "taken when the adapter is plugged in again)";
}

} // namespace orbel
