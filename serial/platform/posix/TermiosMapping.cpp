#include "serial/platform/posix/TermiosMapping.h"

#include <array>
#include <cerrno>
#include <utility>

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

constexpr tcflag_t DataBitsCode(std::uint8_t byteSize) {
    switch (byteSize) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

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
    const std::uint32_t flags = control.Flags;
    const std::uint32_t dtr = (flags & DcbFlag::DtrControlMask) >> DcbFlag::DtrControlShift;
    const std::uint32_t rts = (flags & DcbFlag::RtsControlMask) >> DcbFlag::RtsControlShift;

    if (control.BaudRate == 0 || control.ByteSize < 5 || control.ByteSize > 8 ||
        control.Parity > 4 || control.StopBits > 2 || dtr > 2) {
        plan.error = EINVAL;
        return plan;
    }

    termios& tio = plan.tio;
    tio.c_cflag = CLOCAL | CREAD | DataBitsCode(control.ByteSize);
    switch (control.Parity) {
    case 1:
        tio.c_cflag |= PARENB | PARODD;
        break;
    case 2:
        tio.c_cflag |= PARENB;
        break;
    case 3:
        tio.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case 4:
        tio.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    if (control.StopBits != 0) {
        // The hardware makes 1.5 stop bits of CSTOPB only with 5 data bits.
        tio.c_cflag |= CSTOPB;
        if (control.StopBits == 1 && control.ByteSize != 5) {
            plan.notAvailable.emplace_back("1.5 stop bits (2 used)");
        }
    }
    // The terminal has one switch for both directions of RTS/CTS flow.
    const bool ctsOut = (flags & DcbFlag::OutxCtsFlow) != 0;
    if (ctsOut || rts == 2) {
        tio.c_cflag |= CRTSCTS;
    }
    if (ctsOut && rts != 2) {
        plan.notAvailable.emplace_back("CTS output flow without RTS handshake (both used)");
    } else if (rts == 2 && !ctsOut) {
        plan.notAvailable.emplace_back("RTS handshake without CTS output flow (both used)");
    }

    if ((flags & DcbFlag::OutX) != 0) {
        tio.c_iflag |= IXON;
    }
    if ((flags & DcbFlag::InX) != 0) {
        tio.c_iflag |= IXOFF;
    }
    // Parity errors are always counted by the driver; characters are replaced
    // (by NUL, the only replacement the line discipline knows) only when asked.
    if ((flags & DcbFlag::Parity) != 0 && (flags & DcbFlag::ErrorChar) != 0) {
        tio.c_iflag |= INPCK;
        if (control.ErrorChar != 0) {
            plan.notAvailable.emplace_back("parity error character " +
                                           std::to_string(control.ErrorChar) + " (0 used)");
        }
    }
    tio.c_oflag = 0;
    tio.c_lflag = 0;
    tio.c_cc[VSTART] = static_cast<cc_t>(control.XonChar);
    tio.c_cc[VSTOP] = static_cast<cc_t>(control.XoffChar);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;

    plan.speed = control.BaudRate;
    const speed_t code = StandardSpeedCode(control.BaudRate);
    plan.standardSpeed = code != B0;
    if (plan.standardSpeed) {
        cfsetispeed(&tio, code);
        cfsetospeed(&tio, code);
    }

    plan.dtrOn = dtr != 0;
    plan.rtsOn = rts == 1 || rts == 2;
    if (dtr == 2) {
        plan.notAvailable.emplace_back("DTR handshake (DTR held on)");
    }
    if (rts == 3) {
        plan.notAvailable.emplace_back("RTS toggle (RTS held off)");
    }
    if ((flags & DcbFlag::OutxDsrFlow) != 0) {
        plan.notAvailable.emplace_back("DSR output flow");
    }
    if ((flags & DcbFlag::DsrSensitivity) != 0) {
        plan.notAvailable.emplace_back("DSR sensitivity");
    }
    if ((flags & DcbFlag::Null) != 0) {
        plan.notAvailable.emplace_back("discarding null characters");
    }
    if ((flags & DcbFlag::AbortOnError) != 0) {
        plan.notAvailable.emplace_back("abort on error");
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
