#include "serial/core/ComThread.h"

#include "loop/MainLoop.h"
#include "serial/core/ComNotifyWindow.h"
#include "serial/core/CustomComPort.h"
#include "serial/events/ComCallQueue.h"
#include "serial/events/ComEvents.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace orbel {

// Everything the thread body uses, kept alive by the body itself, so that a
// port closed from a handler on this thread does not pull it away.
struct TComThread::TState {
    TState(TCustomComPort& port, std::shared_ptr<TComNotifyWindow> notify)
        : owner(port), platform(port.Platform()), handle(port.DeviceHandle()),
          sync(port.SyncMethod()), window(std::move(notify)),
          calls(TComCallQueue::Create(MainLoop())) {}

    TCustomComPort& owner;
    IComPlatform& platform;
    // The device the thread was made for: once it is closed, a stale handle
    // fails cleanly instead of reaching a device opened later.
    const ComHandle handle;
    const TSyncMethod sync;
    const std::shared_ptr<TComNotifyWindow> window;
    const std::shared_ptr<TComCallQueue> calls;

    mutable std::mutex mutex;
    std::condition_variable stopped;
    bool stop = false;
    TComRequest* wait = nullptr; // the running event wait, for the stop to cancel
    std::exception_ptr fatal;
    std::atomic<std::uint16_t> pending{0};
    std::atomic<bool> finished{false};
};

TComThread::TComThread(TCustomComPort& owner, std::shared_ptr<TComNotifyWindow> window)
    : state_(std::make_shared<TState>(owner, std::move(window))) {
    // Its failure is of no consequence: the waits then report nothing.
    state_->platform.SetEventMask(state_->handle, EventsToMask(owner.Events()));
    thread_ = std::thread([state = state_] { Execute(state); });
}

TComThread::~TComThread() {
    StopEvent();
    if (thread_.get_id() == std::this_thread::get_id()) {
        thread_.detach(); // it ends by itself once its handler has returned
        return;
    }
    if (std::this_thread::get_id() != opener_) {
        // Handlers run on the opener's thread only: what the thread handed
        // over and the opener's loop has not run yet is dropped.
        state_->calls->StopElsewhere();
        thread_.join();
        return;
    }
    state_->calls->ServeUntilEnded();
    thread_.join();
}

void TComThread::StopEvent() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stop = true;
        if (state_->wait != nullptr) {
            state_->platform.CancelRequest(*state_->wait);
            // And by the wait's own contract: an empty event mask ends a
            // running wait, also on a driver that takes the cancel and never
            // completes it.
            state_->platform.SetEventMask(state_->handle, 0);
        }
    }
    state_->stopped.notify_all();
    state_->calls->Stop();
}

TComEvents TComThread::PendingEvents() const {
    return TComEvents::FromBits(state_->pending.load());
}

bool TComThread::Finished() const {
    return state_->finished.load();
}

std::exception_ptr TComThread::FatalException() const {
    std::lock_guard lock(state_->mutex);
    return state_->fatal;
}

void TComThread::Execute(const std::shared_ptr<TState>& state) {
    try {
        Loop(*state);
        // Closing steps: no more events, and both driver queues discarded.
        state->platform.SetEventMask(state->handle, 0);
        state->platform.Purge(state->handle, PurgeFlag::TxClear | PurgeFlag::RxClear);
    } catch (...) {
        std::lock_guard lock(state->mutex);
        state->fatal = std::current_exception();
    }
    state->finished = true;
    state->calls->MarkEnded();
}

namespace {

// A wait that ends aborted once is ordinary; a driver that ends every wait so
// at once (995 in normal use) would spin the thread. Each further such end in
// a row waits longer before the next wait, up to half a second.
std::chrono::milliseconds EmptyEndPause(int inARow) {
    if (inARow <= 1) {
        return std::chrono::milliseconds(0);
    }
    return std::chrono::milliseconds(std::min(10 << std::min(inARow - 2, 6), 500));
}

} // namespace

// Rests after an empty end; false when the thread is to stop.
bool TComThread::Rest(TState& state, int emptyInARow) {
    std::unique_lock lock(state.mutex);
    return !state.stopped.wait_for(lock, EmptyEndPause(emptyInARow), [&] { return state.stop; });
}

void TComThread::Loop(TState& state) {
    int emptyInARow = 0;
    for (;;) {
        TComRequest request;
        ComResult error;
        {
            std::lock_guard lock(state.mutex);
            if (state.stop) {
                return;
            }
            error = state.platform.StartEventWait(state.handle, request);
            if (error.IsPending()) {
                state.wait = &request;
            }
        }
        std::uint32_t mask = 0;
        if (error.IsPending()) {
            error = state.platform.AwaitEvent(state.handle, request, mask);
            std::lock_guard lock(state.mutex);
            state.wait = nullptr;
        }
        // Released before the delivery: a close from a handler must not wait for it.
        state.platform.ReleaseRequest(request);
        if (error.Fault == ComFault::Cancelled) {
            // The transfers were aborted: wait again, after a pause when it
            // keeps happening.
            if (!Rest(state, ++emptyInARow)) {
                return;
            }
            continue;
        }
        if (!error.Ok()) {
            // The device reports nothing more (hung up, gone): rest until stopped
            // rather than fail the same wait over and over.
            std::unique_lock lock(state.mutex);
            state.stopped.wait(lock, [&] { return state.stop; });
            return;
        }
        emptyInARow = 0;
        if (mask == 0) {
            continue; // cancelled or the mask changed
        }
        const TComEvents events = MaskToEvents(mask);
        state.pending = events.ToBits();
        Deliver(state, events);
    }
}

void TComThread::Deliver(TState& state, TComEvents events) {
    TCustomComPort& owner = state.owner;
    switch (state.sync) {
    case smThreadSync:
        state.calls->Hand([&owner, events] { owner.DispatchEvents(events); },
                          TComCallQueue::TRelease::AtEnd);
        break;
    case smWindowSync:
        for (const TComEvent event : EventServiceOrder) {
            if (events.Contains(event)) {
                const std::uint32_t bit = EventMaskBit(event);
                state.calls->Hand([window = state.window, bit] { window->PortEvent(bit); },
                                  TComCallQueue::TRelease::AtStart);
            }
        }
        break;
    case smNone:
        owner.DispatchEvents(events);
        break;
    }
}

} // namespace orbel
