// Serial devices through the Win32 communications calls: CreateFileW with
// FILE_FLAG_OVERLAPPED and no sharing, SetupComm, SetCommState with the
// device control record as its DCB, SetCommTimeouts, overlapped ReadFile,
// WriteFile and WaitCommEvent completed by GetOverlappedResult, PurgeComm,
// ClearCommError and GetCommModemStatus.
//
// Handles are keys into a table of live devices and never come back: a stale
// handle fails cleanly instead of reaching a later device. While any device
// is open the process asks for 1 ms timer resolution.
#pragma once

#include "serial/platform/ComPlatform.h"
#include "serial/platform/win32/Win32Calls.h"
#include "serial/platform/win32/Win32Device.h"
#include "serial/platform/win32/Win32DeviceName.h"
#include "serial/platform/win32/Win32TimerResolution.h"

#include <cstddef>
#include <memory>
#include <mutex>

namespace orbel {

class TWin32ComPlatform : public IComPlatform {
public:
    // Device names look up ORBEL_COMn in `lookup` (the process environment
    // when none is given).
    // Every communications call goes through `calls`.
    explicit TWin32ComPlatform(Win32EnvironmentLookup lookup = Win32Environment,
                               IWin32Calls& calls = SystemWin32Calls());
    ~TWin32ComPlatform() override;

    ComResult Open(const std::string& name, ComHandle& handle) override;
    ComResult Close(ComHandle handle) override;

    ComResult SetQueueSizes(ComHandle handle, std::uint32_t input, std::uint32_t output) override;
    ComResult SetDeviceControl(ComHandle handle, const TComDeviceControl& control) override;
    ComResult SetTimeouts(ComHandle handle, const TComTimeoutRecord& timeouts) override;

    ComResult StartRead(ComHandle handle, void* buffer, std::uint32_t count, TComRequest& request,
                        std::uint32_t& done) override;
    ComResult StartWrite(ComHandle handle, const void* buffer, std::uint32_t count,
                         TComRequest& request, std::uint32_t& done) override;
    ComResult AwaitRequest(ComHandle handle, TComRequest& request,
                           std::uint32_t& transferred) override;
    void ReleaseRequest(TComRequest& request) noexcept override;

    ComResult Purge(ComHandle handle, std::uint32_t flags) override;
    ComResult ClearErrors(ComHandle handle, std::uint32_t& errors, TComStat& status) override;
    ComResult GetModemStatus(ComHandle handle, std::uint32_t& status) override;

    ComResult SetEventMask(ComHandle handle, std::uint32_t mask) override;
    ComResult StartEventWait(ComHandle handle, TComRequest& request) override;
    ComResult AwaitEvent(ComHandle handle, TComRequest& request, std::uint32_t& events) override;
    void CancelRequest(TComRequest& request) noexcept override;

    std::string SystemErrorText(std::int32_t systemCode) const override;
    ComResult FaultResult(ComFault fault) const override;

    // Beyond the interface, for diagnostics and tests: the record the driver
    // holds now (GetCommState), the number of open devices, and whether the
    // process holds the fine timer resolution.
    ComResult GetDeviceControl(ComHandle handle, TComDeviceControl& control);
    std::size_t OpenDevices() const;
    bool FineTimerHeld() const noexcept { return timer_.Users() != 0; }

private:
    using DevicePtr = std::shared_ptr<TWin32Device>;
    DevicePtr Find(ComHandle handle) const;
    // Runs `action` on the device of `handle` while the device counts it as
    // inside, so that a close waits for it; an unknown or closing handle
    // fails as the system fails an invalid handle.
    template <typename Action> ComResult UseDevice(ComHandle handle, Action&& action) {
        const auto device = Find(handle);
        if (!device || !device->Enter()) {
            return InvalidHandle();
        }
        const TWin32Inside inside(*device);
        return Noted(*device, action(device));
    }
    // Says once per device that it was lost, when `result` says so.
    static ComResult Noted(TWin32Device& device, ComResult result);
    static ComResult InvalidHandle() noexcept;
    static ComResult Overrun(TWin32Device& device);
    static ComResult Completed(TWin32Request& state, std::uint32_t& transferred);
    static DWORD LossOf(TWin32Device& device, bool modem);
    ComResult StartTransfer(ComHandle handle, void* buffer, std::uint32_t count,
                            TWin32RequestKind kind, TComRequest& request, std::uint32_t& done);

    const Win32EnvironmentLookup lookup_;
    IWin32Calls& calls_;
    TDeviceTable<TWin32Device> devices_;
    TWin32TimerResolution timer_;
};

} // namespace orbel
