#include "serial/platform/posix/TermiosMapping.h"

#include "serial/platform/posix/TermiosFields.h"

#include <array>
#include <cerrno>
#include <utility>

namespace orbel {

namespace {

constexpr std::array<std::pair<std::uint32_t, speed_t>, 31> SpeedCodes = {{
    {50, B50},
    {75, B75},
    {110, B110},
    {134, B134},
    {150, B150},
    {200, B200},
    {300, B300},
    {600, B600},
    {1200, B1200},
    {1800, B1800},
    {2400, B2400},
    {4800, B4800},
    {9600, B9600},
    {19200, B19200},
    {38400, B38400},
    {57600, B57600},
    {115200, B115200},
    {230400, B230400},
    {460800, B460800},
    {500000, B500000},
    {576000, B576000},
    {921600, B921600},
    {1000000, B1000000},
    {1152000, B1152000},
    {1500000, B1500000},
    {2000000, B2000000},
    {2500000, B2500000},
    {3000000, B3000000},
    {3500000, B3500000},
    {4000000, B4000000},
    {0, B0},
}};

const char* ParityName(tcflag_t cflag) {
    if ((cflag & PARENB) == 0) {
        return "no";
    }
    const bool odd = (cflag & PARODD) != 0;
    if ((cflag & CMSPAR) != 0) {
        return odd ? "mark" : "space";
    }
    return odd ? "odd" : "even";
}

int DataBits(tcflag_t cflag) {
    switch (cflag & CSIZE) {
    case CS5:
        return 5;
    case CS6:
        return 6;
    case CS7:
        return 7;
    default:
        return 8;
    }
}

} // namespace

speed_t StandardSpeedCode(std::uint32_t speed) {
    for (const auto& [value, code] : SpeedCodes) {
        if (value == speed) {
            return code;
        }
    }
    return B0;
}

TTermiosPlan MapDeviceControl(const TComDeviceControl& control) {
    TTermiosPlan plan;
    // Raw mode: no input or output processing, no line discipline, and reads
    // that wait for nothing (the transfers keep their own time).
    plan.tio.c_cflag = CLOCAL | CREAD;
    plan.tio.c_cc[VMIN] = 0;
    plan.tio.c_cc[VTIME] = 0;
    for (const TFieldMapper map : FieldMappers) {
        if (!map(control, plan)) {
            TTermiosPlan refused;
            refused.error = EINVAL;
            return refused;
        }
    }
    return plan;
}

std::vector<std::string> RefusedSettings(const TLineState& wanted, const TLineState& got) {
    std::vector<std::string> refused;
    const auto differs = [&](tcflag_t w, tcflag_t g, tcflag_t mask) {
        return (w & mask) != (g & mask);
    };
    if (wanted.speed != 0) {
        const std::uint64_t w = wanted.speed;
        const std::uint64_t g = got.speed;
        const std::uint64_t diff = w > g ? w - g : g - w;
        if (diff * 50 > w) {
            refused.push_back(std::to_string(wanted.speed) + " baud");
        }
    }
    if (differs(wanted.cflag, got.cflag, CSIZE)) {
        refused.push_back(std::to_string(DataBits(wanted.cflag)) + " data bits");
    }
    const bool parityAsked = (wanted.cflag & PARENB) != 0;
    if (differs(wanted.cflag, got.cflag, PARENB) ||
        (parityAsked && differs(wanted.cflag, got.cflag, PARODD | CMSPAR))) {
        refused.push_back(std::string(ParityName(wanted.cflag)) + " parity");
    }
    if (differs(wanted.cflag, got.cflag, CSTOPB)) {
        refused.push_back((wanted.cflag & CSTOPB) != 0 ? "2 stop bits" : "1 stop bit");
    }
    if (differs(wanted.cflag, got.cflag, CRTSCTS)) {
        refused.push_back("RTS/CTS flow control");
    }
    if (differs(wanted.iflag, got.iflag, IXON)) {
        refused.push_back("XON/XOFF output flow");
    }
    if (differs(wanted.iflag, got.iflag, IXOFF)) {
        refused.push_back("XON/XOFF input flow");
    }
    if (differs(wanted.iflag, got.iflag, INPCK)) {
        refused.push_back("parity check");
    }
    return refused;
}

std::string ConfigurationWarning(const std::string& device, const std::vector<std::string>& refused,
                                 const std::vector<std::string>& notAvailable) {
    if (refused.empty() && notAvailable.empty()) {
        return {};
    }
    const auto join = [](const std::vector<std::string>& items) {
        std::string text;
        for (const auto& item : items) {
            text += (text.empty() ? "" : ", ") + item;
        }
        return text;
    };
    std::vector<std::string> parts;
    if (!refused.empty()) {
        parts.push_back("the driver did not take " + join(refused));
    }
    if (!notAvailable.empty()) {
        parts.push_back("not available on this system: " + join(notAvailable));
    }
    std::string line = "serial: " + device + ": ";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        line += (i == 0 ? "" : "; ") + parts[i];
    }
    line += "; the port is used as it is\n";
    return line;
}

} // namespace orbel
