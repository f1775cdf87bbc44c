#include "serial/platform/posix/PosixEventWatch.h"

#include "serial/platform/posix/PosixComPlatform.h"

#include <cerrno>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr std::uint32_t ModemEvents =
    EventMask::Cts | EventMask::Dsr | EventMask::Rlsd | EventMask::Ring;
constexpr std::uint32_t CountedEvents = EventMask::Err | EventMask::Break;
constexpr std::uint32_t InputEvents = EventMask::RxChar | EventMask::Rx80Full;
// 80 % of the terminal layer's input buffer (4096 bytes).
constexpr int Rx80Level = 4096 * 8 / 10;

int QueueLength(int fd, unsigned long request) {
    int n = 0;
    return ioctl(fd, request, &n) == 0 ? n : 0;
}

// Takes the edges that have come since the last call.
void TakeEdges(int epoll, bool& input, bool& output, bool& hungUp) {
    epoll_event ready[4];
    const int n = epoll_wait(epoll, ready, 4, 0);
    for (int i = 0; i < n; ++i) {
        input = input || (ready[i].events & EPOLLIN) != 0;
        output = output || (ready[i].events & EPOLLOUT) != 0;
        hungUp = hungUp || (ready[i].events & (EPOLLHUP | EPOLLERR)) != 0;
    }
}

} // namespace

std::shared_ptr<TPosixEventWatch> TPosixEventWatch::Create(int deviceFd, std::uint32_t mask,
                                                           int& error) {
    std::shared_ptr<TPosixEventWatch> watch(new TPosixEventWatch(deviceFd, mask));
    watch->retired_ = TAbortSignal::Create(error);
    if (!watch->retired_) {
        return nullptr;
    }
    watch->epoll_ = epoll_create1(EPOLL_CLOEXEC);
    if (watch->epoll_ < 0) {
        error = errno;
        return nullptr;
    }
    std::uint32_t interest = 0;
    if ((mask & (InputEvents | CountedEvents)) != 0) {
        interest |= EPOLLIN;
    }
    if ((mask & EventMask::TxEmpty) != 0) {
        interest |= EPOLLOUT;
    }
    if (interest != 0) {
        epoll_event event{};
        event.events = interest | EPOLLET;
        event.data.fd = deviceFd;
        // A device that cannot be watched this way still gets its ticks.
        epoll_ctl(watch->epoll_, EPOLL_CTL_ADD, deviceFd, &event);
    }
    watch->hasLines_ = ioctl(deviceFd, TIOCMGET, &watch->lines_) == 0;
    watch->hasCounters_ = ReadErrorCounters(deviceFd, watch->counters_);
    watch->inQueue_ = QueueLength(deviceFd, TIOCINQ);
    watch->outQueue_ = QueueLength(deviceFd, TIOCOUTQ);
    // What was ready before the mask was set is no event of this watch.
    bool unused = false;
    TakeEdges(watch->epoll_, unused, unused, unused);
    return watch;
}

TPosixEventWatch::~TPosixEventWatch() {
    if (epoll_ >= 0) {
        close(epoll_);
    }
}

int TPosixEventWatch::NextLookMs() const {
    std::lock_guard lock(mutex_);
    const bool tick = (hasLines_ && (mask_ & ModemEvents) != 0) ||
                      (hasCounters_ && (mask_ & CountedEvents) != 0) ||
                      ((mask_ & EventMask::TxEmpty) != 0 && outQueue_ > 0);
    return tick ? TickMs : -1;
}

std::uint32_t TPosixEventWatch::Look(bool& hungUp) {
    std::lock_guard lock(mutex_);
    bool input = false;
    bool output = false;
    hungUp = false;
    TakeEdges(epoll_, input, output, hungUp);
    std::uint32_t events = 0;

    if ((mask_ & InputEvents) != 0) {
        const int waiting = QueueLength(fd_, TIOCINQ);
        // Only bytes still there count: woken by a change of the settings, or
        // with the bytes already read by someone else, there is nothing to say.
        events |= input && waiting > 0 ? EventMask::RxChar : 0;
        events |= waiting >= Rx80Level && inQueue_ < Rx80Level ? EventMask::Rx80Full : 0;
        inQueue_ = waiting;
    }
    if ((mask_ & EventMask::TxEmpty) != 0) {
        const int queued = QueueLength(fd_, TIOCOUTQ);
        events |= queued == 0 && (output || outQueue_ > 0) ? EventMask::TxEmpty : 0;
        outQueue_ = queued;
    }
    if (hasLines_ && (mask_ & ModemEvents) != 0) {
        int now = 0;
        if (ioctl(fd_, TIOCMGET, &now) == 0) {
            const int changed = now ^ lines_;
            events |= (changed & TIOCM_CTS) != 0 ? EventMask::Cts : 0;
            events |= (changed & TIOCM_DSR) != 0 ? EventMask::Dsr : 0;
            events |= (changed & TIOCM_CAR) != 0 ? EventMask::Rlsd : 0;
            events |= (changed & now & TIOCM_RNG) != 0 ? EventMask::Ring : 0;
            lines_ = now;
        }
    }
    if (hasCounters_ && (mask_ & CountedEvents) != 0) {
        if (TErrorCounters now; ReadErrorCounters(fd_, now)) {
            const bool errors = now.frame != counters_.frame || now.overrun != counters_.overrun ||
                                now.parity != counters_.parity ||
                                now.bufOverrun != counters_.bufOverrun;
            events |= errors ? EventMask::Err : 0;
            events |= now.brk != counters_.brk ? EventMask::Break : 0;
            counters_ = now;
        }
    }
    return events & mask_;
}
