// Line events for an event thread. A first, small version: received
// characters, output empty and modem line changes, looked at on every wake-up
// and on a 10 ms tick. Errors, break and the event character are not reported.
#include "serial/platform/PosixComPlatform.h"

#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>

namespace {

constexpr int TickMs = 10;

TPosixDevice::TEventBaseline Sample(int fd) {
    TPosixDevice::TEventBaseline now;
    ioctl(fd, TIOCINQ, &now.inQueue);
    ioctl(fd, TIOCOUTQ, &now.outQueue);
    ioctl(fd, TIOCMGET, &now.lines); // stays 0 where there are no modem lines
    return now;
}

std::uint32_t EventsBetween(const TPosixDevice::TEventBaseline& before,
                            const TPosixDevice::TEventBaseline& now, std::uint32_t mask) {
    std::uint32_t events = 0;
    if (now.inQueue > before.inQueue) {
        events |= EventMask::RxChar;
    }
    if (before.outQueue > 0 && now.outQueue == 0) {
        events |= EventMask::TxEmpty;
    }
    const int changed = before.lines ^ now.lines;
    events |= (changed & TIOCM_CTS) != 0 ? EventMask::Cts : 0;
    events |= (changed & TIOCM_DSR) != 0 ? EventMask::Dsr : 0;
    events |= (changed & TIOCM_CAR) != 0 ? EventMask::Rlsd : 0;
    events |= (changed & TIOCM_RNG) != 0 ? EventMask::Ring : 0;
    return events & mask;
}

} // namespace

int TPosixComPlatform::SetEventMask(ComHandle handle, std::uint32_t mask) {
    const auto device = Find(handle);
    if (!device) {
        return EBADF;
    }
    device->ExchangeEventBaseline(Sample(device->Fd()));
    device->SetEventMask(mask);
    return 0;
}

int TPosixComPlatform::StartEventWait(ComHandle handle, TComRequest& request) {
    auto device = Find(handle);
    if (!device) {
        return EBADF;
    }
    auto state = std::make_shared<TPosixRequest>();
    TComTimeoutRecord unused;
    if (const int error = device->Enter(state->signal, unused); error != 0) {
        return error;
    }
    state->device = std::move(device);
    state->entered = true;
    state->eventMask = state->device->EventMask();
    int error = 0;
    state->cancel = TAbortSignal::Create(error);
    request.state = state;
    return state->cancel ? ComIoPending : error;
}

int TPosixComPlatform::AwaitEvent(ComHandle, TComRequest& request, std::uint32_t& events) {
    events = 0;
    const auto state = std::static_pointer_cast<TPosixRequest>(request.state);
    if (!state || !state->cancel) {
        return EINVAL;
    }
    TPosixDevice& device = *state->device;
    for (;;) {
        if (state->cancel->Raised() || device.EventMask() != state->eventMask) {
            return 0;
        }
        if (state->signal->Raised()) {
            return ECANCELED;
        }
        const auto now = Sample(device.Fd());
        const auto before = device.ExchangeEventBaseline(now);
        events = EventsBetween(before, now, state->eventMask);
        if (events != 0) {
            return 0;
        }
        // While bytes wait unread the device stays readable: only the tick then.
        const bool watchInput = now.inQueue == 0 && (state->eventMask & EventMask::RxChar) != 0;
        pollfd fds[3] = {{state->cancel->Fd(), POLLIN, 0},
                         {state->signal->Fd(), POLLIN, 0},
                         {device.Fd(), POLLIN, 0}};
        if (poll(fds, watchInput ? 3 : 2, TickMs) < 0 && errno != EINTR) {
            return errno;
        }
        if (watchInput && (fds[2].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            return EIO; // hung up: the device would stay ready for good
        }
    }
}

void TPosixComPlatform::CancelRequest(TComRequest& request) noexcept {
    const auto state = std::static_pointer_cast<TPosixRequest>(request.state);
    if (state && state->cancel) {
        state->cancel->Raise();
    }
}
