#include "serial/platform/posix/PosixComAdapter.h"

#include <cerrno>
#include <cstring>

ComResult PosixResult(int error, bool opening) {
    switch (error) {
    case 0:
        return ComResult::Success();
    case PosixIoPending:
        return ComResult::StillPending();
    case ECANCELED:
        return {ComFault::Cancelled, error};
    case ENOENT:
        return {ComFault::NoDevice, error};
    case ENODEV:
    case ENXIO:
        return {opening ? ComFault::NoDevice : ComFault::DeviceLost, error};
    case EIO:
        return {ComFault::DeviceLost, error};
    case EBUSY:
    case EWOULDBLOCK:
        return {ComFault::Busy, error};
    case EACCES:
    case EPERM:
        return {ComFault::AccessDenied, error};
    case EINVAL:
        return {ComFault::InvalidArgument, error};
    default:
        return {ComFault::Other, error};
    }
}

IComPlatform& SystemComPlatform() {
    // Never destroyed: a component may still close its port during exit.
    static auto* platform = new TPosixComAdapter;
    return *platform;
}

ComResult TPosixComAdapter::Open(const std::string& name, ComHandle& handle) {
    return PosixResult(posix_.Open(name, handle), true);
}

ComResult TPosixComAdapter::Close(ComHandle handle) {
    return PosixResult(posix_.Close(handle));
}

ComResult TPosixComAdapter::SetQueueSizes(ComHandle handle, std::uint32_t input,
                                          std::uint32_t output) {
    return PosixResult(posix_.SetQueueSizes(handle, input, output));
}

ComResult TPosixComAdapter::SetDeviceControl(ComHandle handle, const TComDeviceControl& control) {
    return PosixResult(posix_.SetDeviceControl(handle, control));
}

ComResult TPosixComAdapter::SetTimeouts(ComHandle handle, const TComTimeoutRecord& timeouts) {
    return PosixResult(posix_.SetTimeouts(handle, timeouts));
}

ComResult TPosixComAdapter::StartRead(ComHandle handle, void* buffer, std::uint32_t count,
                                      TComRequest& request, std::uint32_t& done) {
    return PosixResult(posix_.StartRead(handle, buffer, count, request, done));
}

ComResult TPosixComAdapter::StartWrite(ComHandle handle, const void* buffer, std::uint32_t count,
                                       TComRequest& request, std::uint32_t& done) {
    return PosixResult(posix_.StartWrite(handle, buffer, count, request, done));
}

ComResult TPosixComAdapter::AwaitRequest(ComHandle handle, TComRequest& request,
                                         std::uint32_t& transferred) {
    return PosixResult(posix_.AwaitRequest(handle, request, transferred));
}

void TPosixComAdapter::ReleaseRequest(TComRequest& request) noexcept {
    posix_.ReleaseRequest(request);
}

ComResult TPosixComAdapter::Purge(ComHandle handle, std::uint32_t flags) {
    return PosixResult(posix_.Purge(handle, flags));
}

ComResult TPosixComAdapter::ClearErrors(ComHandle handle, std::uint32_t& errors, TComStat& status) {
    return PosixResult(posix_.ClearErrors(handle, errors, status));
}

ComResult TPosixComAdapter::GetModemStatus(ComHandle handle, std::uint32_t& status) {
    return PosixResult(posix_.GetModemStatus(handle, status));
}

ComResult TPosixComAdapter::SetEventMask(ComHandle handle, std::uint32_t mask) {
    return PosixResult(posix_.SetEventMask(handle, mask));
}

ComResult TPosixComAdapter::StartEventWait(ComHandle handle, TComRequest& request) {
    return PosixResult(posix_.StartEventWait(handle, request));
}

ComResult TPosixComAdapter::AwaitEvent(ComHandle handle, TComRequest& request,
                                       std::uint32_t& events) {
    return PosixResult(posix_.AwaitEvent(handle, request, events));
}

void TPosixComAdapter::CancelRequest(TComRequest& request) noexcept {
    posix_.CancelRequest(request);
}

std::string TPosixComAdapter::SystemErrorText(std::int32_t systemCode) const {
    char buffer[256] = {};
    // The GNU strerror_r gives the text, in the buffer or a static string.
    return ::strerror_r(systemCode, buffer, sizeof buffer);
}

ComResult TPosixComAdapter::FaultResult(ComFault fault) const {
    return {fault, fault == ComFault::Cancelled ? ECANCELED : EINVAL};
}
