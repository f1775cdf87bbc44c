#include "serial/platform/posix/PosixEventWatch.h"

#include "serial/platform/posix/PosixComPlatform.h"

#include <cerrno>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace orbel {

namespace {

constexpr std::uint32_t ModemEvents =
    EventMask::Cts | EventMask::Dsr | EventMask::Rlsd | EventMask::Ring;
constexpr std::uint32_t CountedEvents = EventMask::Err | EventMask::Break;
constexpr std::uint32_t InputEvents = EventMask::RxChar | EventMask::Rx80Full;

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
    TLineSnapshot& first = watch->last_;
    int lines = 0;
    watch->hasLines_ = ioctl(deviceFd, TIOCMGET, &lines) == 0;
    first.modem = ModemStatusOfLines(lines);
    watch->hasCounters_ = ReadErrorCounters(deviceFd, first.counters);
    first.inQueue = QueueLength(deviceFd, TIOCINQ);
    first.outQueue = QueueLength(deviceFd, TIOCOUTQ);
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
                      ((mask_ & EventMask::TxEmpty) != 0 && last_.outQueue > 0);
    return tick ? TickMs : -1;
}

std::uint32_t TPosixEventWatch::Look(bool& hungUp) {
    std::lock_guard lock(mutex_);
    TLineWake woke;
    hungUp = false;
    TakeEdges(epoll_, woke.input, woke.output, hungUp);
    TLineSnapshot now = last_;
    if ((mask_ & InputEvents) != 0) {
        now.inQueue = QueueLength(fd_, TIOCINQ);
    }
    if ((mask_ & EventMask::TxEmpty) != 0) {
        now.outQueue = QueueLength(fd_, TIOCOUTQ);
    }
    if (int lines = 0;
        hasLines_ && (mask_ & ModemEvents) != 0 && ioctl(fd_, TIOCMGET, &lines) == 0) {
        now.modem = ModemStatusOfLines(lines);
    }
    if (hasCounters_ && (mask_ & CountedEvents) != 0) {
        ReadErrorCounters(fd_, now.counters); // leaves them as they were on failure
    }
    const std::uint32_t events = LineEvents(last_, now, woke);
    last_ = now;
    return events & mask_;
}

} // namespace orbel
