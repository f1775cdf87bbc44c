// Opening and closing the device, and turning the settings into the device's
// configuration.
#include "serial/core/CustomComPort.h"

#include "serial/errors/EComPort.h"

#include <exception>

namespace orbel {

void TCustomComPort::OpenPort() {
    if (connected_.load()) {
        return;
    }
    FireBeforeOpen();
    OpenDevice();
    connected_ = true;
    try {
        ConfigureDevice();
    } catch (...) {
        CloseDevice();
        connected_ = false;
        throw;
    }
    monitorRunning_ = false;
    if (!events_.Empty()) {
        try {
            StartMonitor();
        } catch (...) {
            // No thread could be made: the port is not left open half-way.
            CloseDevice();
            connected_ = false;
            throw;
        }
    }
    FireAfterOpen();
    // Each reads the lines afresh, whatever the event set holds.
    FireCTSChange(LineSignals().Contains(sgCTS));
    FireDSRChange(LineSignals().Contains(sgDSR));
    FireRLSDChange(LineSignals().Contains(sgRLSD));
}

class TCustomComPort::TCloseScope {
public:
    explicit TCloseScope(TCustomComPort& port) : port_(port) {}
    ~TCloseScope() {
        port_.refusingTransfers_ = false;
        port_.closing_ = false;
    }
    TCloseScope(const TCloseScope&) = delete;
    TCloseScope& operator=(const TCloseScope&) = delete;

private:
    TCustomComPort& port_;
};

void TCustomComPort::ClosePort() {
    // Claimed once: a handler that closes its port while the close runs (from
    // the close's own events, or served while the event thread stops) finds
    // it under way and leaves it to finish.
    if (!connected_.load() || closing_.exchange(true)) {
        return;
    }
    // A failed abort (a driver whose device is gone fails every control
    // call) still closes: a port that cannot be closed could never be opened
    // again. The failure is raised once the port is closed.
    std::exception_ptr abortFailure;
    {
        const TCloseScope scope(*this);
        FireCTSChange(false);
        FireDSRChange(false);
        FireRLSDChange(false);
        FireBeforeClose();
        // Whatever starts from here on would only hold the close up: a
        // handler served while the event thread stops must not start a read
        // that waits out its whole budget.
        refusingTransfers_ = true;
        try {
            AbortTransfers();
        } catch (const EComPort&) {
            abortFailure = std::current_exception();
        }
        if (monitorRunning_) {
            StopMonitor();
            monitorRunning_ = false;
        }
        CloseDevice();
        connected_ = false;
    }
    FireAfterClose();
    if (abortFailure) {
        std::rethrow_exception(abortFailure);
    }
}

void TCustomComPort::OpenDevice() {
    ComHandle handle = InvalidComHandle;
    if (const ComResult error = platform_->Open(std::string(DeviceNamePrefix) + port_, handle);
        !error.Ok()) {
        throw EComPort(CError_OpenFailed, error);
    }
    handle_ = handle;
}

void TCustomComPort::CloseDevice() {
    const ComHandle handle = handle_.exchange(InvalidComHandle);
    if (handle != InvalidComHandle) {
        platform_->Close(handle);
    }
}

void TCustomComPort::ConfigureDevice() {
    ApplyQueueSizes();
    ApplyLineSettings();
    ApplyTimeoutSettings();
}

TComDeviceControl TCustomComPort::DeviceControl() const {
    TComDeviceControl control;
    control.BaudRate = baudRate_ == brCustom ? static_cast<std::uint32_t>(customBaudRate_)
                                             : BaudRateSpeed(baudRate_);
    const bool replace = parity_.Check() && parity_.Replace();
    std::uint32_t flags = DcbFlag::Binary;
    flags |= parity_.Check() ? DcbFlag::Parity : 0;
    flags |= flowControl_.OutCTSFlow() ? DcbFlag::OutxCtsFlow : 0;
    flags |= flowControl_.OutDSRFlow() ? DcbFlag::OutxDsrFlow : 0;
    flags |= static_cast<std::uint32_t>(flowControl_.ControlDTR()) << DcbFlag::DtrControlShift;
    flags |= flowControl_.DSRSensitivity() ? DcbFlag::DsrSensitivity : 0;
    flags |= flowControl_.TxContinueOnXoff() ? DcbFlag::TxContinueOnXoff : 0;
    flags |= flowControl_.XonXoffOut() ? DcbFlag::OutX : 0;
    flags |= flowControl_.XonXoffIn() ? DcbFlag::InX : 0;
    flags |= replace ? DcbFlag::ErrorChar : 0;
    flags |= discardNull_ ? DcbFlag::Null : 0;
    flags |= static_cast<std::uint32_t>(flowControl_.ControlRTS()) << DcbFlag::RtsControlShift;
    control.Flags = flags;
    // A quarter of the input queue, truncated toward zero and kept to 16 bits.
    control.XonLim = static_cast<std::uint16_t>(buffer_.InputSize() / 4);
    control.XoffLim = control.XonLim;
    control.ByteSize = static_cast<std::uint8_t>(5 + dataBits_);
    control.Parity = parity_.Bits();
    control.StopBits = stopBits_;
    control.XonChar = flowControl_.XonChar();
    control.XoffChar = flowControl_.XoffChar();
    control.ErrorChar = replace ? parity_.ReplaceChar() : 0;
    control.EofChar = 0;
    control.EvtChar = eventChar_;
    return control;
}

TComTimeoutRecord TCustomComPort::TimeoutRecord() const {
    // Bit for bit: -1 is passed as all ones.
    return TComTimeoutRecord{static_cast<std::uint32_t>(timeouts_.ReadInterval()),
                             static_cast<std::uint32_t>(timeouts_.ReadTotalMultiplier()),
                             static_cast<std::uint32_t>(timeouts_.ReadTotalConstant()),
                             static_cast<std::uint32_t>(timeouts_.WriteTotalMultiplier()),
                             static_cast<std::uint32_t>(timeouts_.WriteTotalConstant())};
}

void TCustomComPort::ApplyLineSettings() {
    if (!Live()) {
        return;
    }
    if (const ComResult error = platform_->SetDeviceControl(handle_.load(), DeviceControl());
        !error.Ok()) {
        throw EComPort(CError_SetStateFailed, error);
    }
}

void TCustomComPort::ApplyTimeoutSettings() {
    if (!Live()) {
        return;
    }
    if (const ComResult error = platform_->SetTimeouts(handle_.load(), TimeoutRecord());
        !error.Ok()) {
        throw EComPort(CError_TimeoutsFailed, error);
    }
}

void TCustomComPort::ApplyQueueSizes() {
    if (!Live()) {
        return;
    }
    const ComResult error =
        platform_->SetQueueSizes(handle_.load(), static_cast<std::uint32_t>(buffer_.InputSize()),
                                 static_cast<std::uint32_t>(buffer_.OutputSize()));
    if (!error.Ok()) {
        throw EComPort(CError_SetupComFailed, error);
    }
}

} // namespace orbel
