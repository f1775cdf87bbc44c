#include "serial/ports/DevicePorts.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace orbel {

namespace {

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    });
    return text;
}

bool IsComName(const std::string& name) {
    return name.size() > 3 && Upper(name.substr(0, 3)) == "COM";
}

// The four hex digits after "VID_" or "PID_" in a hardware id.
std::optional<std::uint16_t> IdAfter(const std::string& hardwareId, const char* key) {
    const std::string id = Upper(hardwareId);
    const std::size_t at = id.find(key);
    if (at == std::string::npos || id.size() < at + 8) {
        return std::nullopt;
    }
    unsigned value = 0;
    const char* first = id.data() + at + 4;
    const auto [end, ec] = std::from_chars(first, first + 4, value, 16);
    if (ec != std::errc() || end != first + 4) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

// A USB device's instance id ends in its serial number; one Windows made up
// for a device without a serial number has '&' in it.
std::string SerialNumber(const std::string& instanceId) {
    if (Upper(instanceId.substr(0, 4)) != "USB\\") {
        return {};
    }
    const std::string last = instanceId.substr(instanceId.rfind('\\') + 1);
    return last.find('&') == std::string::npos ? last : std::string();
}

void SetState(const TDeviceRecord& device, TSerialPortInfo& entry) {
    if ((device.status & DeviceHasProblem) != 0) {
        entry.state = device.problem == ProblemDisabled ? TPortState::Disabled : TPortState::Failed;
        entry.problemCode = device.problem;
    } else if ((device.status & DeviceStarted) == 0) {
        entry.state = TPortState::NotStarted;
    }
}

} // namespace

std::string ComIdentity(const std::string& path) {
    const std::string prefix = "\\\\.\\";
    return Upper(path.compare(0, prefix.size(), prefix) == 0 ? path.substr(prefix.size()) : path);
}

std::vector<TSerialPortInfo> PortsFromDevices(const IDeviceQuery& query) {
    std::vector<TSerialPortInfo> entries;
    for (const TDeviceRecord& device : query.PortsClass()) {
        if (!device.present || !IsComName(device.portName)) {
            continue; // gone meanwhile, or a printer port of the same class
        }
        TSerialPortInfo entry;
        entry.port = device.portName;
        entry.identity = ComIdentity(device.portName);
        entry.name = device.friendlyName.empty() ? device.description : device.friendlyName;
        entry.manufacturer = device.manufacturer;
        entry.driver = device.service;
        entry.vendorId = IdAfter(device.hardwareId, "VID_");
        entry.productId = entry.vendorId ? IdAfter(device.hardwareId, "PID_") : std::nullopt;
        entry.serialNumber = SerialNumber(device.instanceId);
        if (device.latencyTimer && *device.latencyTimer <= 255) {
            entry.latencyTimerMs = static_cast<int>(*device.latencyTimer);
        }
        SetState(device, entry);
        entries.push_back(entry);
    }
    // The ports the serial drivers have announced, for those the class does
    // not list (some virtual ports, older drivers). The list is not mended
    // when a device goes while open: only a name that still leads somewhere.
    for (const TSerialCommValue& value : query.SerialComm()) {
        const std::string identity = ComIdentity(value.port);
        const bool known = std::any_of(entries.begin(), entries.end(),
                                       [&](const auto& e) { return e.identity == identity; });
        if (value.present && IsComName(value.port) && !known) {
            TSerialPortInfo entry;
            entry.port = value.port;
            entry.identity = identity;
            entry.name = value.device;
            entries.push_back(entry);
        }
    }
    SortByPortName(entries);
    return entries;
}

} // namespace orbel
