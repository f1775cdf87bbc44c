// The POSIX platform as the component sees it: the calls of TPosixComPlatform
// with their errno values turned into portable results. The errno stays the
// system code beside the kind of failure.
#pragma once

#include "serial/platform/ComPlatform.h"
#include "serial/platform/posix/PosixComPlatform.h"

// The result of a POSIX call: 0, PosixIoPending or an errno value. A missing
// device at an open is no device; the same codes later mean it went away.
ComResult PosixResult(int error, bool opening = false);

class TPosixComAdapter final : public IComPlatform {
public:
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
    // strerror's text.
    std::string SystemErrorText(std::int32_t systemCode) const override;
    ComResult FaultResult(ComFault fault) const override;

private:
    TPosixComPlatform posix_;
};
