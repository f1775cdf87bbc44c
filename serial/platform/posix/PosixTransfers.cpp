// Reads and writes bounded by the time-outs in force: ppoll on the device and
// on the request's abort signal, with the time left to a monotonic deadline.
#include "serial/platform/posix/PosixComPlatform.h"
#include "serial/platform/posix/TransferBudget.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

namespace orbel {

namespace {

constexpr std::uint64_t NsPerMs = 1'000'000;
// The kernel lets a poll sleep 0.1 % of its time-out (and at least the
// thread's timer slack, 50 us by default) past it. Long waits therefore end
// this much before the deadline and the rest is waited with a fine slack.
constexpr std::uint64_t FinalStageNs = NsPerMs;
// How often a write looks whether the driver has sent its output queue.
constexpr std::uint64_t DrainPollNs = NsPerMs;

// Narrows the calling thread's timer slack for one short wait.
class FineTimerSlack {
public:
    FineTimerSlack() : previous_(prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0)) {
        prctl(PR_SET_TIMERSLACK, 1, 0, 0, 0);
    }
    ~FineTimerSlack() {
        if (previous_ > 0) {
            prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(previous_), 0, 0, 0);
        }
    }
    FineTimerSlack(const FineTimerSlack&) = delete;
    FineTimerSlack& operator=(const FineTimerSlack&) = delete;

private:
    const int previous_;
};

timespec ToTimespec(std::uint64_t ns) {
    return timespec{static_cast<time_t>(ns / 1'000'000'000u),
                    static_cast<long>(ns % 1'000'000'000u)};
}

// ppoll's result, or -errno.
int Poll(pollfd* fds, nfds_t count, const timespec* timeout) {
    const int ready = ppoll(fds, count, timeout, nullptr);
    return ready < 0 ? -errno : ready;
}

// Waits for `events` on the device (or only for the signal when `events` is 0)
// until `deadlineNs`. Returns the device's revents, 0 on time-out, or -errno;
// ECANCELED when the signal was raised.
int WaitDevice(const TPosixRequest& request, short events, std::uint64_t deadlineNs) {
    pollfd fds[2] = {{request.signal->Fd(), POLLIN, 0}, {request.device->Fd(), events, 0}};
    const nfds_t count = events != 0 ? 2 : 1;
    for (;;) {
        if (request.signal->Raised()) {
            return -ECANCELED;
        }
        const std::uint64_t now = MonotonicNs();
        if (deadlineNs != NoDeadline && now >= deadlineNs) {
            return 0;
        }
        int ready = 0;
        if (deadlineNs == NoDeadline) {
            ready = Poll(fds, count, nullptr);
        } else if (const std::uint64_t left = deadlineNs - now; left > 2 * FinalStageNs) {
            const timespec wait = ToTimespec(left - FinalStageNs);
            ready = Poll(fds, count, &wait);
        } else {
            const timespec wait = ToTimespec(left);
            const FineTimerSlack fine;
            ready = Poll(fds, count, &wait);
        }
        if (ready == -EINTR) {
            continue;
        }
        if (ready < 0) {
            return ready;
        }
        if (fds[0].revents != 0 || request.signal->Raised()) {
            return -ECANCELED;
        }
        if (count == 2 && fds[1].revents != 0) {
            return fds[1].revents;
        }
        // Woken with nothing to report: look at the clock again.
    }
}

// One read of what is waiting: 0 when bytes came or none were there, else the
// errno. `got` is the byte count the read returned (-1 when it failed). With
// VMIN = VTIME = 0 a terminal reads 0 bytes both when nothing is waiting and
// when the other side has hung up; the caller knows whether the device had
// said it was readable.
int ReadWaiting(TPosixRequest& request, ssize_t& got) {
    got = read(request.device->Fd(), request.buffer + request.done, request.count - request.done);
    if (got > 0) {
        request.done += static_cast<std::uint32_t>(got);
        request.lastByteNs = MonotonicNs();
        return 0;
    }
    if (got == 0) {
        return 0;
    }
    return errno == EAGAIN || errno == EINTR ? 0 : errno;
}

int WriteWaiting(TPosixRequest& request, bool& gotNothing) {
    const ssize_t n =
        write(request.device->Fd(), request.buffer + request.done, request.count - request.done);
    gotNothing = n <= 0;
    if (n > 0) {
        request.done += static_cast<std::uint32_t>(n);
        return 0;
    }
    if (n == 0) {
        return 0;
    }
    return errno == EAGAIN || errno == EINTR ? 0 : errno;
}

// Bytes still in the driver's output queue; 0 for a driver that cannot tell.
int OutputQueued(int fd, std::uint32_t& queued) {
    int n = 0;
    if (ioctl(fd, TIOCOUTQ, &n) != 0) {
        queued = 0;
        return errno == ENOTTY || errno == EINVAL ? 0 : errno;
    }
    queued = static_cast<std::uint32_t>(std::max(n, 0));
    return 0;
}

int RunRead(TPosixRequest& request) {
    // The last read found nothing although the device had said it was readable.
    bool emptyBefore = false;
    for (;;) {
        if (request.done == request.count) {
            return 0;
        }
        std::uint64_t deadline = request.deadlineNs;
        if (request.intervalMs != 0 && request.done > 0) {
            deadline = std::min(deadline, DeadlineNs(request.lastByteNs, request.intervalMs));
        }
        const int revents = WaitDevice(request, POLLIN, deadline);
        if (revents < 0) {
            return -revents;
        }
        if (revents == 0) {
            return 0; // time-out: a short count is no error
        }
        if ((revents & POLLNVAL) != 0) {
            return EBADF;
        }
        ssize_t got = 0;
        if (const int error = ReadWaiting(request, got); error != 0) {
            return error;
        }
        if (got > 0) {
            emptyBefore = false;
            continue;
        }
        // Nothing read from a device that says the other side is gone: lost.
        if ((revents & (POLLHUP | POLLERR)) != 0) {
            return EIO;
        }
        // Readable with nothing to read and no hang-up: a purge of the input
        // took the bytes (or a signal came). Wait again; should the driver
        // keep saying so, pause on the abort signal so as not to spin.
        if (emptyBefore) {
            const std::uint64_t pause = std::min(deadline, MonotonicNs() + NsPerMs);
            if (const int woken = WaitDevice(request, 0, pause); woken < 0) {
                return -woken;
            }
        }
        emptyBefore = true;
    }
}

// After a time-out the bytes still queued are discarded, so that the count
// reported is the count that went out.
void CountOnlySent(TPosixRequest& request) {
    std::uint32_t queued = 0;
    if (OutputQueued(request.device->Fd(), queued) == 0 && queued > 0) {
        tcflush(request.device->Fd(), TCOFLUSH);
        request.done -= std::min(queued, request.done);
    }
}

int RunWrite(TPosixRequest& request) {
    const int fd = request.device->Fd();
    while (request.done < request.count) {
        const int revents = WaitDevice(request, POLLOUT, request.deadlineNs);
        if (revents < 0) {
            return -revents;
        }
        if (revents == 0) {
            CountOnlySent(request);
            return 0;
        }
        if ((revents & POLLNVAL) != 0) {
            return EBADF;
        }
        bool gotNothing = false;
        if (const int error = WriteWaiting(request, gotNothing); error != 0) {
            return error;
        }
        if (gotNothing && (revents & (POLLHUP | POLLERR)) != 0) {
            return EIO;
        }
    }
    // Written to the driver: wait until it has sent them.
    for (;;) {
        std::uint32_t queued = 0;
        if (const int error = OutputQueued(fd, queued); error != 0) {
            return error;
        }
        if (queued == 0) {
            return 0;
        }
        const std::uint64_t now = MonotonicNs();
        if (request.deadlineNs != NoDeadline && now >= request.deadlineNs) {
            CountOnlySent(request);
            return 0;
        }
        const int woken = WaitDevice(request, 0, std::min(request.deadlineNs, now + DrainPollNs));
        if (woken < 0) {
            return -woken;
        }
    }
}

std::shared_ptr<TPosixRequest> StateOf(TComRequest& request) {
    return std::static_pointer_cast<TPosixRequest>(request.state);
}

} // namespace

int TPosixComPlatform::StartTransfer(ComHandle handle, std::uint8_t* buffer, std::uint32_t count,
                                     bool write, TComRequest& request, std::uint32_t& done) {
    done = 0;
    auto device = Find(handle);
    if (!device) {
        return EBADF;
    }
    auto state = std::make_shared<TPosixRequest>();
    TComTimeoutRecord timeouts;
    if (const int error = device->Enter(state->signal, timeouts); error != 0) {
        return error;
    }
    const TDeviceInside inside(*device);
    state->device = std::move(device);
    state->started = true;
    state->write = write;
    state->buffer = buffer;
    state->count = count;
    request.state = state;

    const std::uint64_t now = MonotonicNs();
    bool immediate = false;
    if (write) {
        state->deadlineNs = DeadlineNs(now, WriteBudgetMs(timeouts, count));
    } else {
        const TReadBudget budget = ReadBudget(timeouts, count);
        state->deadlineNs = DeadlineNs(now, budget.totalMs);
        state->intervalMs = budget.intervalMs;
        immediate = budget.immediate;
    }

    // A short write goes straight into an empty queue; a read that may not
    // wait takes what is there. Other reads go to their wait at once, where
    // bytes already waiting end the poll without delay.
    if (count > 0 && (write || immediate)) {
        bool unusedFlag = false;
        ssize_t unusedCount = 0;
        const int error =
            write ? WriteWaiting(*state, unusedFlag) : ReadWaiting(*state, unusedCount);
        if (error != 0) {
            return state->device->NoteFailure(error);
        }
    }
    if (write && state->done == count) {
        std::uint32_t queued = 0;
        if (const int error = OutputQueued(state->device->Fd(), queued); error != 0) {
            return state->device->NoteFailure(error);
        }
        state->complete = queued == 0;
    } else {
        state->complete = state->done == count || immediate;
    }
    if (!state->complete) {
        return PosixIoPending;
    }
    done = state->done;
    return 0;
}

ComResult TPosixComPlatform::StartRead(ComHandle handle, void* buffer, std::uint32_t count,
                                       TComRequest& request, std::uint32_t& done) {
    return PosixResult(
        StartTransfer(handle, static_cast<std::uint8_t*>(buffer), count, false, request, done));
}

ComResult TPosixComPlatform::StartWrite(ComHandle handle, const void* buffer, std::uint32_t count,
                                        TComRequest& request, std::uint32_t& done) {
    // The buffer is only read from on the write path.
    auto* bytes = static_cast<std::uint8_t*>(const_cast<void*>(buffer));
    return PosixResult(StartTransfer(handle, bytes, count, true, request, done));
}

ComResult TPosixComPlatform::AwaitRequest(ComHandle, TComRequest& request,
                                          std::uint32_t& transferred) {
    transferred = 0;
    const auto state = StateOf(request);
    if (!state || !state->started) {
        return PosixResult(EINVAL);
    }
    // Once the device is closing the request is cancelled, done or not: its
    // descriptor is no longer there to ask.
    if (const int error = state->device->Resume(); error != 0) {
        return PosixResult(error);
    }
    const TDeviceInside inside(*state->device);
    if (!state->complete) {
        const int error = state->write ? RunWrite(*state) : RunRead(*state);
        state->complete = true;
        if (error != 0) {
            return PosixResult(state->device->NoteFailure(error));
        }
    }
    transferred = state->done;
    return ComResult::Success();
}

void TPosixComPlatform::ReleaseRequest(TComRequest& request) noexcept {
    request.state.reset();
}

} // namespace orbel
