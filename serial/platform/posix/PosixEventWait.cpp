// Event waits on a terminal: the wait blocks in ppoll on its own stop signal,
// the device's abort signal, the watch's retirement and the watch's epoll set,
// with a timeout only while the watch needs its tick.
#include "serial/platform/posix/PosixComPlatform.h"
#include "serial/platform/posix/PosixEventWatch.h"

#include <cerrno>
#include <poll.h>

namespace orbel {

ComResult TPosixComPlatform::SetEventMask(ComHandle handle, std::uint32_t mask) {
    return UseDevice(handle, [&](TPosixDevice& device) {
        std::shared_ptr<TPosixEventWatch> watch;
        if (mask != 0) {
            int error = 0;
            watch = TPosixEventWatch::Create(device.Fd(), mask, error);
            if (!watch) {
                return error;
            }
        }
        if (const auto replaced = device.ExchangeEventWatch(std::move(watch))) {
            replaced->Retired().Raise();
        }
        return 0;
    });
}

ComResult TPosixComPlatform::StartEventWait(ComHandle handle, TComRequest& request) {
    auto device = Find(handle);
    if (!device) {
        return PosixResult(EBADF);
    }
    auto watch = device->EventWatch();
    if (!watch) {
        return PosixResult(EINVAL); // no event mask: nothing to wait for
    }
    auto state = std::make_shared<TPosixRequest>();
    TComTimeoutRecord unused;
    if (const int error = device->Enter(state->signal, unused); error != 0) {
        return PosixResult(error);
    }
    device->Leave(); // the wait touches the descriptor only in AwaitEvent
    state->device = std::move(device);
    state->started = true;
    state->watch = std::move(watch);
    int error = 0;
    state->cancel = TAbortSignal::Create(error);
    request.state = state;
    return PosixResult(state->cancel ? PosixIoPending : error);
}

ComResult TPosixComPlatform::AwaitEvent(ComHandle, TComRequest& request, std::uint32_t& events) {
    events = 0;
    const auto state = std::static_pointer_cast<TPosixRequest>(request.state);
    if (!state || !state->cancel || !state->watch) {
        return PosixResult(EINVAL);
    }
    if (const int error = state->device->Resume(); error != 0) {
        return PosixResult(error);
    }
    const TDeviceInside inside(*state->device);
    TPosixEventWatch& watch = *state->watch;
    for (;;) {
        if (state->cancel->Raised() || watch.Retired().Raised()) {
            return ComResult::Success();
        }
        if (state->signal->Raised()) {
            return PosixResult(ECANCELED);
        }
        bool hungUp = false;
        events = watch.Look(hungUp);
        if (events != 0) {
            return ComResult::Success();
        }
        if (hungUp) {
            return PosixResult(EIO); // the other side is gone: nothing more will come
        }
        pollfd fds[4] = {{state->cancel->Fd(), POLLIN, 0},
                         {state->signal->Fd(), POLLIN, 0},
                         {watch.Retired().Fd(), POLLIN, 0},
                         {watch.PollFd(), POLLIN, 0}};
        const int tickMs = watch.NextLookMs();
        const timespec tick{0, static_cast<long>(tickMs) * 1'000'000};
        if (ppoll(fds, 4, tickMs < 0 ? nullptr : &tick, nullptr) < 0 && errno != EINTR) {
            return PosixResult(errno);
        }
    }
}

void TPosixComPlatform::CancelRequest(TComRequest& request) noexcept {
    const auto state = std::static_pointer_cast<TPosixRequest>(request.state);
    if (state && state->cancel) {
        state->cancel->Raise();
    }
}

} // namespace orbel
