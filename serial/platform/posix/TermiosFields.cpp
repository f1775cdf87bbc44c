#include "serial/platform/posix/TermiosFields.h"

#include "base/Text.h"

#include <iterator>

namespace orbel {

namespace {

std::uint32_t DtrControl(std::uint32_t flags) {
    return (flags & DcbFlag::DtrControlMask) >> DcbFlag::DtrControlShift;
}

std::uint32_t RtsControl(std::uint32_t flags) {
    return (flags & DcbFlag::RtsControlMask) >> DcbFlag::RtsControlShift;
}

constexpr std::uint32_t RtsHandshake = 2;

} // namespace

bool MapSpeed(const TComDeviceControl& control, TTermiosPlan& plan) {
    if (control.BaudRate == 0) {
        return false;
    }
    plan.speed = control.BaudRate;
    const speed_t code = StandardSpeedCode(control.BaudRate);
    plan.standardSpeed = code != B0;
    if (plan.standardSpeed) {
        cfsetispeed(&plan.tio, code);
        cfsetospeed(&plan.tio, code);
    }
    return true;
}

bool MapByteSize(const TComDeviceControl& control, TTermiosPlan& plan) {
    constexpr tcflag_t Codes[] = {CS5, CS6, CS7, CS8};
    if (control.ByteSize < 5 || control.ByteSize > 8) {
        return false;
    }
    plan.tio.c_cflag |= Codes[control.ByteSize - 5];
    return true;
}

bool MapParity(const TComDeviceControl& control, TTermiosPlan& plan) {
    constexpr tcflag_t Codes[] = {0, PARENB | PARODD, PARENB, PARENB | CMSPAR | PARODD,
                                  PARENB | CMSPAR};
    if (control.Parity >= std::size(Codes)) {
        return false;
    }
    plan.tio.c_cflag |= Codes[control.Parity];
    return true;
}

bool MapStopBits(const TComDeviceControl& control, TTermiosPlan& plan) {
    if (control.StopBits > 2) {
        return false;
    }
    if (control.StopBits != 0) {
        // The hardware makes 1.5 stop bits of CSTOPB only with 5 data bits.
        plan.tio.c_cflag |= CSTOPB;
        if (control.StopBits == 1 && control.ByteSize != 5) {
            plan.notAvailable.emplace_back("1.5 stop bits (2 used)");
        }
    }
    return true;
}

bool MapHandshake(const TComDeviceControl& control, TTermiosPlan& plan) {
    const bool ctsOut = (control.Flags & DcbFlag::OutxCtsFlow) != 0;
    const bool rtsHandshake = RtsControl(control.Flags) == RtsHandshake;
    if (ctsOut || rtsHandshake) {
        plan.tio.c_cflag |= CRTSCTS;
    }
    if (ctsOut && !rtsHandshake) {
        plan.notAvailable.emplace_back("CTS output flow without RTS handshake (both used)");
    } else if (rtsHandshake && !ctsOut) {
        plan.notAvailable.emplace_back("RTS handshake without CTS output flow (both used)");
    }
    return true;
}

bool MapSoftwareFlow(const TComDeviceControl& control, TTermiosPlan& plan) {
    if ((control.Flags & DcbFlag::OutX) != 0) {
        plan.tio.c_iflag |= IXON;
    }
    if ((control.Flags & DcbFlag::InX) != 0) {
        plan.tio.c_iflag |= IXOFF;
    }
    return true;
}

bool MapParityCheck(const TComDeviceControl& control, TTermiosPlan& plan) {
    // Parity errors are always counted by the driver; characters are replaced
    // (by NUL, the only replacement the line discipline knows) only when asked.
    const std::uint32_t asked = DcbFlag::Parity | DcbFlag::ErrorChar;
    if ((control.Flags & asked) == asked) {
        plan.tio.c_iflag |= INPCK;
        if (control.ErrorChar != 0) {
            plan.notAvailable.push_back("parity error character " + DecimalText(control.ErrorChar) +
                                        " (0 used)");
        }
    }
    return true;
}

bool MapFlowChars(const TComDeviceControl& control, TTermiosPlan& plan) {
    plan.tio.c_cc[VSTART] = static_cast<cc_t>(control.XonChar);
    plan.tio.c_cc[VSTOP] = static_cast<cc_t>(control.XoffChar);
    return true;
}

bool MapLineLevels(const TComDeviceControl& control, TTermiosPlan& plan) {
    const std::uint32_t dtr = DtrControl(control.Flags);
    const std::uint32_t rts = RtsControl(control.Flags);
    if (dtr > 2) {
        return false;
    }
    plan.dtrOn = dtr != 0;
    plan.rtsOn = rts == 1 || rts == RtsHandshake;
    if (dtr == 2) {
        plan.notAvailable.emplace_back("DTR handshake (DTR held on)");
    }
    if (rts == 3) {
        plan.notAvailable.emplace_back("RTS toggle (RTS held off)");
    }
    return true;
}

bool MapUnsupportedFlags(const TComDeviceControl& control, TTermiosPlan& plan) {
    const struct {
        std::uint32_t flag;
        const char* name;
    } unsupported[] = {
        {DcbFlag::OutxDsrFlow, "DSR output flow"},
        {DcbFlag::DsrSensitivity, "DSR sensitivity"},
        {DcbFlag::Null, "discarding null characters"},
        {DcbFlag::AbortOnError, "abort on error"},
    };
    for (const auto& [flag, name] : unsupported) {
        if ((control.Flags & flag) != 0) {
            plan.notAvailable.emplace_back(name);
        }
    }
    return true;
}

} // namespace orbel
