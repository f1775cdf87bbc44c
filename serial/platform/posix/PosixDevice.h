// One open terminal device of the POSIX platform, and the state of a request
// running on it.
#pragma once

#include "serial/platform/ComPlatform.h"
#include "serial/platform/DeviceTable.h"
#include "serial/platform/posix/PosixLineChanges.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace orbel {

// Wakes every request that watches it, through an eventfd that ppoll waits on
// beside the device. A raised signal stays raised; the device hands the next
// request a fresh one, so an abort never reaches a request started after it.
class TAbortSignal {
public:
    // nullptr with `error` set when no eventfd can be made.
    static std::shared_ptr<TAbortSignal> Create(int& error);
    ~TAbortSignal();
    TAbortSignal(const TAbortSignal&) = delete;
    TAbortSignal& operator=(const TAbortSignal&) = delete;

    void Raise() noexcept;
    bool Raised() const noexcept { return raised_.load(std::memory_order_acquire); }
    int Fd() const noexcept { return fd_; }

private:
    explicit TAbortSignal(int fd) : fd_(fd) {}
    int fd_;
    std::atomic<bool> raised_{false};
};

class TPosixEventWatch;

class TPosixDevice {
public:
    // `name` is the port name the device was opened by, for diagnostics.
    TPosixDevice(int fd, std::string path, std::string name = {});
    ~TPosixDevice();
    TPosixDevice(const TPosixDevice&) = delete;
    TPosixDevice& operator=(const TPosixDevice&) = delete;

    int Fd() const noexcept { return fd_; }
    const std::string& Path() const noexcept { return path_; }

    // Passes `error` through; the first that says the device is gone is
    // reported on standard error, once for the life of the device.
    int NoteFailure(int error) noexcept;

    // Every call enters before it touches the descriptor and leaves when it is
    // done with it, so that Close waits for it; entering fails once the device
    // is closing. A request starting enters through Enter, which hands out the
    // signal it must watch from then on and the time-outs in force; a started
    // request that comes back to wait enters through Resume, which fails with
    // ECANCELED once the device is closing: a request between its start and
    // its wait holds nothing up, and is cancelled by the close. Any other call
    // enters through Use (EBADF once closing).
    int Enter(std::shared_ptr<TAbortSignal>& signal, TComTimeoutRecord& timeouts);
    int Resume();
    int Use();
    void Leave() noexcept;

    // Ends every request started before it, at its wait.
    void Abort() noexcept;
    // Aborts, waits until every call inside has left, then gives up the
    // exclusive use and closes the descriptor.
    void Close() noexcept;

    void SetTimeouts(const TComTimeoutRecord& timeouts);
    // What event waits watch, for the mask in force (nullptr: no mask). The
    // replaced watch is returned, for its waits to be ended.
    std::shared_ptr<TPosixEventWatch> ExchangeEventWatch(std::shared_ptr<TPosixEventWatch> watch);
    std::shared_ptr<TPosixEventWatch> EventWatch();

    // Keeps `now` and returns the snapshot kept before, to report what changed
    // since; the platform takes the first snapshot at open.
    TErrorCounters ExchangeErrorCounters(const TErrorCounters& now);

private:
    const int fd_;
    const std::string path_;
    const std::string name_;
    std::atomic<bool> lostReported_{false};
    TDeviceCalls calls_;
    std::mutex mutex_;
    std::shared_ptr<TAbortSignal> signal_;
    TComTimeoutRecord timeouts_;
    TErrorCounters counters_;
    std::shared_ptr<TPosixEventWatch> eventWatch_;
};

// Leaves the device at the end of a scope that entered it.
class TDeviceInside {
public:
    explicit TDeviceInside(TPosixDevice& device) noexcept : device_(device) {}
    ~TDeviceInside() { device_.Leave(); }
    TDeviceInside(const TDeviceInside&) = delete;
    TDeviceInside& operator=(const TDeviceInside&) = delete;

private:
    TPosixDevice& device_;
};

// The platform's state in a TComRequest.
struct TPosixRequest {
    std::shared_ptr<TPosixDevice> device;
    std::shared_ptr<TAbortSignal> signal;
    bool started = false;
    bool complete = false;
    bool write = false;
    std::uint8_t* buffer = nullptr;
    std::uint32_t count = 0;
    std::uint32_t done = 0;
    std::uint64_t deadlineNs = 0;
    std::uint32_t intervalMs = 0;
    std::uint64_t lastByteNs = 0;
    // Event waits: what the wait watches, and the stop signal of this one request.
    std::shared_ptr<TPosixEventWatch> watch;
    std::shared_ptr<TAbortSignal> cancel;
};

// Nanoseconds on the monotonic clock.
std::uint64_t MonotonicNs() noexcept;

} // namespace orbel
