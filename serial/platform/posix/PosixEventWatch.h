// What an event wait watches on one terminal for one event mask. Received
// bytes and drained output wake it through an edge-triggered epoll set on the
// descriptor: each arrival wakes it once, whether or not earlier bytes are
// still unread, and the wait never reads a byte itself. Each look takes a
// snapshot of the driver's state and compares it with the previous one
// (PosixLineChanges). Modem lines (TIOCMGET) and line errors (TIOCGICOUNT)
// are looked at on a 10 ms tick, but only where the driver keeps them: a driver that answers
// ENOTTY (every pseudo-terminal) can report no such event, and none is ever
// reported then. The event character cannot be seen without reading the
// bytes, so it is never reported either.
#pragma once

#include "serial/platform/posix/PosixDevice.h"

#include <cstdint>
#include <memory>
#include <mutex>

namespace orbel {

class TPosixEventWatch {
public:
    // nullptr with `error` set when no epoll set or eventfd can be made.
    static std::shared_ptr<TPosixEventWatch> Create(int deviceFd, std::uint32_t mask, int& error);
    ~TPosixEventWatch();
    TPosixEventWatch(const TPosixEventWatch&) = delete;
    TPosixEventWatch& operator=(const TPosixEventWatch&) = delete;

    std::uint32_t Mask() const { return mask_; }
    // Raised when the mask is replaced: a wait on this watch ends with no events.
    TAbortSignal& Retired() { return *retired_; }
    // Readable once something woke the device since the last look.
    int PollFd() const { return epoll_; }
    // The wait before the next look: -1 (none) or the tick in milliseconds.
    int NextLookMs() const;

    // The EventMask bits of what happened since the last look; `hungUp` when
    // the device says the other side is gone.
    std::uint32_t Look(bool& hungUp);

    static constexpr int TickMs = 10;

private:
    TPosixEventWatch(int deviceFd, std::uint32_t mask) : fd_(deviceFd), mask_(mask) {}

    const int fd_;
    const std::uint32_t mask_;
    int epoll_ = -1;
    std::shared_ptr<TAbortSignal> retired_;
    bool hasLines_ = false;    // the driver reports modem lines
    bool hasCounters_ = false; // the driver counts line errors

    mutable std::mutex mutex_;
    TLineSnapshot last_;
};

} // namespace orbel
