#include "serial/ports/SerialPorts.h"

#include "serial/platform/PortDiagnosticSink.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace orbel {

namespace {

// "ttyS10" -> {"ttyS", 10}; a name without a number at its end gets -1.
std::pair<std::string, long> NameAndNumber(const std::string& name) {
    std::size_t digits = name.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1])) != 0) {
        --digits;
    }
    const std::string number = name.substr(digits);
    return {name.substr(0, digits), number.empty() || number.size() > 9 ? -1 : std::stol(number)};
}

std::string Hex4(std::uint16_t id) {
    char text[5] = {};
    std::snprintf(text, sizeof text, "%04x", id);
    return text;
}

// "serial: COM1" with the device where the name stood for another.
std::string Subject(const TSerialPortInfo& port, const std::string& portName) {
    return "serial: " + portName + (portName == port.port ? "" : " (" + port.port + ")");
}

} // namespace

void MarkMenuItems(std::vector<TSerialPortInfo>& entries,
                   const std::function<TMenuTarget(int n)>& targetOf) {
    for (int n = 1; n <= 4; ++n) {
        const TMenuTarget target = targetOf(n);
        for (TSerialPortInfo& entry : entries) {
            if (!target.identity.empty() && entry.identity == target.identity) {
                entry.menus.push_back({n, target.throughVariable});
            }
        }
    }
}

void SortByPortName(std::vector<TSerialPortInfo>& entries) {
    std::sort(entries.begin(), entries.end(),
              [](const TSerialPortInfo& a, const TSerialPortInfo& b) {
                  return NameAndNumber(a.port) < NameAndNumber(b.port);
              });
}

std::string UsbIdText(const TSerialPortInfo& port) {
    if (!port.vendorId) {
        return {};
    }
    return Hex4(*port.vendorId) + (port.productId ? ":" + Hex4(*port.productId) : "");
}

std::string StateText(const TSerialPortInfo& port) {
    switch (port.state) {
    case TPortState::Usable:
        return {};
    case TPortState::Disabled:
        return "disabled";
    case TPortState::NotStarted:
        return "not started";
    case TPortState::Failed:
        return "cannot start (Code " + std::to_string(port.problemCode) + ")";
    }
    return {};
}

std::vector<std::string> OpenedNotes(const TSerialPortInfo& port, const std::string& portName) {
    if (!port.latencyTimerMs) {
        return {};
    }
    std::string line =
        Subject(port, portName) + ": latency timer " + std::to_string(*port.latencyTimerMs) + " ms";
    if (const std::string advice = LatencyAdvice(port); !advice.empty()) {
        line += "; " + advice;
    }
    return {line};
}

std::vector<std::string> UnusableNotes(const TSerialPortInfo& port, const std::string& portName) {
    if (port.state == TPortState::Usable) {
        return {};
    }
    return {Subject(port, portName) + ": the device is " + StateText(port) +
            " in the device manager, so it cannot be used" +
            (port.state == TPortState::Disabled ? "; enable it there" : "")};
}

void NotePortOpened(const std::string& portName) {
    if (const std::optional<TSerialPortInfo> port = FindSerialPort(portName)) {
        for (const std::string& line : OpenedNotes(*port, portName)) {
            PortDiagnostic(line);
        }
    }
}

void NotePortUnusable(const std::string& portName) {
    if (const std::optional<TSerialPortInfo> port = FindSerialPort(portName)) {
        for (const std::string& line : UnusableNotes(*port, portName)) {
            PortDiagnostic(line);
        }
    }
}

} // namespace orbel
