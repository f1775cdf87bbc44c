#include "serial/platform/win32/Win32ComPlatform.h"

#include "serial/platform/PortDiagnosticSink.h"
#include "serial/platform/win32/Win32DeviceControl.h"
#include "serial/platform/win32/Win32Diagnostics.h"
#include "serial/platform/win32/Win32Errors.h"
#include "serial/platform/win32/Win32Open.h"

namespace orbel {

IComPlatform& SystemComPlatform() {
    // Never destroyed: a component may still close its port during exit.
    static auto* platform = new TWin32ComPlatform(Win32Environment, ProcessWin32Calls());
    return *platform;
}

TWin32ComPlatform::TWin32ComPlatform(Win32EnvironmentLookup lookup, IWin32Calls& calls)
    : lookup_(std::move(lookup)), calls_(calls) {}

TWin32ComPlatform::~TWin32ComPlatform() {
    for (const auto& device : devices_.TakeAll()) {
        device->Close();
        timer_.Release();
    }
}

ComResult TWin32ComPlatform::Noted(TWin32Device& device, ComResult result) {
    if (result.Fault == ComFault::DeviceLost && device.FirstLoss()) {
        PortDiagnostic(Win32LostLine(device.Name(), static_cast<std::uint32_t>(result.SystemCode)));
    }
    return result;
}

ComResult TWin32ComPlatform::InvalidHandle() noexcept {
    return Win32Result(ERROR_INVALID_HANDLE);
}

std::shared_ptr<TWin32Device> TWin32ComPlatform::Find(ComHandle handle) const {
    return devices_.Find(handle);
}

std::size_t TWin32ComPlatform::OpenDevices() const {
    return devices_.Size();
}

ComResult TWin32ComPlatform::Open(const std::string& name, ComHandle& handle) {
    handle = InvalidComHandle;
    const std::wstring path = ResolveWin32DeviceName(name, lookup_);
    DWORD code = ERROR_FILE_NOT_FOUND;
    const HANDLE system = path.empty() ? INVALID_HANDLE_VALUE : OpenWin32Port(calls_, path, code);
    if (system == INVALID_HANDLE_VALUE) {
        PortDiagnostic(Win32OpenFailureLine(name, path, code));
        return Win32OpenResult(code);
    }
    std::shared_ptr<TWin32Device> device;
    try {
        device = std::make_shared<TWin32Device>(calls_, system, name);
    } catch (...) {
        calls_.CloseHandle(system);
        throw;
    }
    device->NoteOpened(path, calls_.PortPresent(path.c_str()) == 1);
    if (path != ResolveWin32DeviceName(name, {})) { // ORBEL_COMn named another port
        PortDiagnostic(Win32ResolvedLine(name, path));
    }
    // From here the device owns the system handle and closes it on its way out.
    timer_.Acquire();
    handle = devices_.Add(std::move(device));
    return ComResult::Success();
}

ComResult TWin32ComPlatform::Close(ComHandle handle) {
    const auto device = devices_.Take(handle);
    if (!device) {
        return InvalidHandle();
    }
    device->Close();
    timer_.Release();
    return ComResult::Success();
}

ComResult TWin32ComPlatform::SetQueueSizes(ComHandle handle, std::uint32_t input,
                                           std::uint32_t output) {
    return UseDevice(handle, [&](const DevicePtr& device) {
        return device->Calls().SetupComm(device->Handle(), input, output) ? ComResult::Success()
                                                                          : Win32LastError();
    });
}

ComResult TWin32ComPlatform::SetDeviceControl(ComHandle handle, const TComDeviceControl& control) {
    return UseDevice(handle, [&](const DevicePtr& device) {
        // The driver's own record first, then the fields changed: some
        // virtual ports refuse a record built from nothing with 87.
        DCB held{};
        held.DCBlength = sizeof held;
        if (!device->Calls().GetCommState(device->Handle(), &held)) {
            held = DCB{};
        }
        DCB dcb = ToDcb(control, held);
        dcb.DCBlength = sizeof dcb;
        if (!device->Calls().SetCommState(device->Handle(), &dcb)) {
            return Win32LastError();
        }
        device->NoteBaudRate(dcb.BaudRate);
        // Some drivers take the record and keep what they cannot do: say so.
        DCB got{};
        got.DCBlength = sizeof got;
        if (device->Calls().GetCommState(device->Handle(), &got)) {
            if (const std::string line = Win32RefusedLine(device->Name(), dcb, got);
                !line.empty()) {
                PortDiagnostic(line);
            }
        }
        return ComResult::Success();
    });
}

ComResult TWin32ComPlatform::GetDeviceControl(ComHandle handle, TComDeviceControl& control) {
    control = {};
    return UseDevice(handle, [&](const DevicePtr& device) {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (!device->Calls().GetCommState(device->Handle(), &dcb)) {
            return Win32LastError();
        }
        control = FromDcb(dcb);
        return ComResult::Success();
    });
}

ComResult TWin32ComPlatform::SetTimeouts(ComHandle handle, const TComTimeoutRecord& timeouts) {
    return UseDevice(handle, [&](const DevicePtr& device) {
        return device->SetTimeouts(ToCommTimeouts(timeouts)) ? ComResult::Success()
                                                             : Win32LastError();
    });
}

ComResult TWin32ComPlatform::Purge(ComHandle handle, std::uint32_t flags) {
    return UseDevice(handle, [&](const DevicePtr& device) {
        const bool reads = (flags & PurgeFlag::RxAbort) != 0;
        const bool writes = (flags & PurgeFlag::TxAbort) != 0;
        if (reads || writes) {
            // Each running request is ended by itself, so that the abort
            // reaches exactly the requests running now, whatever the driver
            // makes of the abort bits.
            device->Abort(reads, writes);
        }
        return device->Calls().PurgeComm(device->Handle(), flags) ? ComResult::Success()
                                                                  : Win32LastError();
    });
}

ComResult TWin32ComPlatform::ClearErrors(ComHandle handle, std::uint32_t& errors,
                                         TComStat& status) {
    errors = 0;
    status = {};
    return UseDevice(handle, [&](const DevicePtr& device) {
        DWORD bits = 0;
        COMSTAT stat{};
        if (!device->Calls().ClearCommError(device->Handle(), &bits, &stat)) {
            return Win32LastError();
        }
        errors = bits;
        status.InQueue = stat.cbInQue;
        status.OutQueue = stat.cbOutQue;
        return ComResult::Success();
    });
}

ComResult TWin32ComPlatform::GetModemStatus(ComHandle handle, std::uint32_t& status) {
    status = 0;
    return UseDevice(handle, [&](const DevicePtr& device) {
        DWORD lines = 0;
        if (!device->Calls().GetCommModemStatus(device->Handle(), &lines)) {
            const DWORD error = GetLastError();
            // A driver without modem lines (a virtual port) has no such
            // request: none of the lines is on.
            if (error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION) {
                return ComResult::Success();
            }
            return Win32Result(error);
        }
        status = lines & (ModemStatus::CtsOn | ModemStatus::DsrOn | ModemStatus::RingOn |
                          ModemStatus::RlsdOn);
        return ComResult::Success();
    });
}

ComResult TWin32ComPlatform::SetEventMask(ComHandle handle, std::uint32_t mask) {
    return UseDevice(handle, [&](const DevicePtr& device) {
        return device->SetMask(mask) ? ComResult::Success() : Win32LastError();
    });
}

std::string TWin32ComPlatform::SystemErrorText(std::int32_t systemCode) const {
    return Win32ErrorText(static_cast<std::uint32_t>(systemCode));
}

ComResult TWin32ComPlatform::FaultResult(ComFault fault) const {
    return {fault,
            static_cast<std::int32_t>(fault == ComFault::Cancelled ? ERROR_OPERATION_ABORTED
                                                                   : ERROR_INVALID_PARAMETER)};
}

} // namespace orbel
