// Serial devices through POSIX terminals: termios for the line, ppoll on a
// monotonic clock for the time-outs, an eventfd beside the device for aborts.
// Inside, the platform speaks errno (0, the errno of a failure, or
// PosixIoPending while a started request still runs); each call of the
// interface turns it into its result through PosixResult.
#pragma once

#include "serial/platform/ComPlatform.h"
#include "serial/platform/posix/PosixDevice.h"

#include <cerrno>
#include <map>
#include <memory>
#include <mutex>

namespace orbel {

// Returned inside by the starts of transfers and event waits while the request runs.
inline constexpr int PosixIoPending = -1;

// The result of 0, PosixIoPending or an errno value (ErrnoResult's map).
ComResult PosixResult(int error, bool opening = false);

class TPosixComPlatform final : public IComPlatform {
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
    // Opens the device at `path` for exclusive use; `port` is the name the
    // lost-device line shows. 0 or the errno.
    int OpenPath(const std::string& path, const std::string& port, ComHandle& handle);
    std::shared_ptr<TPosixDevice> Find(ComHandle handle);
    // Runs `action` on the device of `handle` while the device counts it as a
    // user of its descriptor, so that a close waits for it; EBADF for an
    // unknown handle, the device's refusal once its closing has begun.
    // `action` answers in errno.
    template <typename Action> ComResult UseDevice(ComHandle handle, Action&& action) {
        const auto device = Find(handle);
        if (!device) {
            return PosixResult(EBADF);
        }
        if (const int error = device->Use(); error != 0) {
            return PosixResult(error);
        }
        const TDeviceInside inside(*device);
        return PosixResult(device->NoteFailure(action(*device)));
    }
    int StartTransfer(ComHandle handle, std::uint8_t* buffer, std::uint32_t count, bool write,
                      TComRequest& request, std::uint32_t& done);

    TDeviceTable<TPosixDevice> devices_;
};

// Driver-level pieces kept apart from the platform class.
// Applies a device control record to an open descriptor; 0 or the errno.
int ConfigureTerminal(int fd, const std::string& path, const TComDeviceControl& control);
// Asks the driver for low latency where it has such a setting; never fails.
void RequestLowLatency(int fd) noexcept;
// The driver's error counters; false when the driver keeps none.
bool ReadErrorCounters(int fd, TErrorCounters& counters) noexcept;

} // namespace orbel
