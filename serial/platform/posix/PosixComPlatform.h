// Serial devices through POSIX terminals: termios for the line, ppoll on a
// monotonic clock for the time-outs, an eventfd beside the device for aborts.
// The calls are those of the platform interface, speaking errno: 0 on
// success, the errno of the failure, or PosixIoPending while a started
// request still runs. TPosixComAdapter presents them to the component.
#pragma once

#include "serial/platform/ComPlatform.h"
#include "serial/platform/posix/PosixDevice.h"

#include <cerrno>
#include <map>
#include <memory>
#include <mutex>

// Returned by StartRead / StartWrite / StartEventWait while the request runs.
inline constexpr int PosixIoPending = -1;

class TPosixComPlatform {
public:
    int Open(const std::string& name, ComHandle& handle);
    int Close(ComHandle handle);

    int SetQueueSizes(ComHandle handle, std::uint32_t input, std::uint32_t output);
    int SetDeviceControl(ComHandle handle, const TComDeviceControl& control);
    int SetTimeouts(ComHandle handle, const TComTimeoutRecord& timeouts);

    int StartRead(ComHandle handle, void* buffer, std::uint32_t count, TComRequest& request,
                  std::uint32_t& done);
    int StartWrite(ComHandle handle, const void* buffer, std::uint32_t count, TComRequest& request,
                   std::uint32_t& done);
    int AwaitRequest(ComHandle handle, TComRequest& request, std::uint32_t& transferred);
    void ReleaseRequest(TComRequest& request) noexcept;

    int Purge(ComHandle handle, std::uint32_t flags);
    int ClearErrors(ComHandle handle, std::uint32_t& errors, TComStat& status);
    int GetModemStatus(ComHandle handle, std::uint32_t& status);

    int SetEventMask(ComHandle handle, std::uint32_t mask);
    int StartEventWait(ComHandle handle, TComRequest& request);
    int AwaitEvent(ComHandle handle, TComRequest& request, std::uint32_t& events);
    void CancelRequest(TComRequest& request) noexcept;

private:
    // Opens the device at `path` for exclusive use; `port` is the name the
    // lost-device line shows. 0 or the errno.
    int OpenPath(const std::string& path, const std::string& port, ComHandle& handle);
    std::shared_ptr<TPosixDevice> Find(ComHandle handle);
    // Runs `action` on the device of `handle` while the device counts it as a
    // user of its descriptor, so that a close waits for it; EBADF for an
    // unknown handle, the device's refusal once its closing has begun.
    template <typename Action> int UseDevice(ComHandle handle, Action&& action) {
        const auto device = Find(handle);
        if (!device) {
            return EBADF;
        }
        if (const int error = device->Use(); error != 0) {
            return error;
        }
        const TDeviceInside inside(*device);
        return device->NoteFailure(action(*device));
    }
    int StartTransfer(ComHandle handle, std::uint8_t* buffer, std::uint32_t count, bool write,
                      TComRequest& request, std::uint32_t& done);

    std::mutex mutex_;
    std::map<ComHandle, std::shared_ptr<TPosixDevice>> devices_;
    ComHandle nextHandle_ = 1;
};

// Driver-level pieces kept apart from the platform class.
// Applies a device control record to an open descriptor; 0 or the errno.
int ConfigureTerminal(int fd, const std::string& path, const TComDeviceControl& control);
// Asks the driver for low latency where it has such a setting; never fails.
void RequestLowLatency(int fd) noexcept;
// The driver's error counters; false when the driver keeps none.
bool ReadErrorCounters(int fd, TErrorCounters& counters) noexcept;
