#include "serial/platform/win32/Win32DeviceControl.h"

namespace orbel {

namespace {

constexpr DWORD Bit(std::uint32_t flags, std::uint32_t bit) {
    return (flags & bit) != 0 ? 1 : 0;
}

constexpr std::uint32_t Field(std::uint32_t flags, std::uint32_t mask, std::uint32_t shift) {
    return (flags & mask) >> shift;
}

} // namespace

DCB ToDcb(const TComDeviceControl& control, DCB base) noexcept {
    DCB dcb = base;
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = control.BaudRate;
    const std::uint32_t f = control.Flags;
    dcb.fBinary = Bit(f, DcbFlag::Binary);
    dcb.fParity = Bit(f, DcbFlag::Parity);
    dcb.fOutxCtsFlow = Bit(f, DcbFlag::OutxCtsFlow);
    dcb.fOutxDsrFlow = Bit(f, DcbFlag::OutxDsrFlow);
    dcb.fDtrControl = Field(f, DcbFlag::DtrControlMask, DcbFlag::DtrControlShift);
    dcb.fDsrSensitivity = Bit(f, DcbFlag::DsrSensitivity);
    dcb.fTXContinueOnXoff = Bit(f, DcbFlag::TxContinueOnXoff);
    dcb.fOutX = Bit(f, DcbFlag::OutX);
    dcb.fInX = Bit(f, DcbFlag::InX);
    dcb.fErrorChar = Bit(f, DcbFlag::ErrorChar);
    dcb.fNull = Bit(f, DcbFlag::Null);
    dcb.fRtsControl = Field(f, DcbFlag::RtsControlMask, DcbFlag::RtsControlShift);
    dcb.fAbortOnError = Bit(f, DcbFlag::AbortOnError);
    dcb.XonLim = control.XonLim;
    dcb.XoffLim = control.XoffLim;
    dcb.ByteSize = control.ByteSize;
    dcb.Parity = control.Parity;
    dcb.StopBits = control.StopBits;
    dcb.XonChar = static_cast<char>(control.XonChar);
    dcb.XoffChar = static_cast<char>(control.XoffChar);
    dcb.ErrorChar = static_cast<char>(control.ErrorChar);
    dcb.EofChar = static_cast<char>(control.EofChar);
    dcb.EvtChar = static_cast<char>(control.EvtChar);
    return dcb;
}

TComDeviceControl FromDcb(const DCB& dcb) noexcept {
    TComDeviceControl control;
    control.BaudRate = dcb.BaudRate;
    std::uint32_t f = 0;
    f |= dcb.fBinary ? DcbFlag::Binary : 0;
    f |= dcb.fParity ? DcbFlag::Parity : 0;
    f |= dcb.fOutxCtsFlow ? DcbFlag::OutxCtsFlow : 0;
    f |= dcb.fOutxDsrFlow ? DcbFlag::OutxDsrFlow : 0;
    f |= static_cast<std::uint32_t>(dcb.fDtrControl) << DcbFlag::DtrControlShift;
    f |= dcb.fDsrSensitivity ? DcbFlag::DsrSensitivity : 0;
    f |= dcb.fTXContinueOnXoff ? DcbFlag::TxContinueOnXoff : 0;
    f |= dcb.fOutX ? DcbFlag::OutX : 0;
    f |= dcb.fInX ? DcbFlag::InX : 0;
    f |= dcb.fErrorChar ? DcbFlag::ErrorChar : 0;
    f |= dcb.fNull ? DcbFlag::Null : 0;
    f |= static_cast<std::uint32_t>(dcb.fRtsControl) << DcbFlag::RtsControlShift;
    f |= dcb.fAbortOnError ? DcbFlag::AbortOnError : 0;
    control.Flags = f;
    control.XonLim = dcb.XonLim;
    control.XoffLim = dcb.XoffLim;
    control.ByteSize = dcb.ByteSize;
    control.Parity = dcb.Parity;
    control.StopBits = dcb.StopBits;
    control.XonChar = static_cast<std::uint8_t>(dcb.XonChar);
    control.XoffChar = static_cast<std::uint8_t>(dcb.XoffChar);
    control.ErrorChar = static_cast<std::uint8_t>(dcb.ErrorChar);
    control.EofChar = static_cast<std::uint8_t>(dcb.EofChar);
    control.EvtChar = static_cast<std::uint8_t>(dcb.EvtChar);
    return control;
}

COMMTIMEOUTS ToCommTimeouts(const TComTimeoutRecord& timeouts) noexcept {
    return COMMTIMEOUTS{timeouts.ReadIntervalTimeout, timeouts.ReadTotalTimeoutMultiplier,
                        timeouts.ReadTotalTimeoutConstant, timeouts.WriteTotalTimeoutMultiplier,
                        timeouts.WriteTotalTimeoutConstant};
}

} // namespace orbel
