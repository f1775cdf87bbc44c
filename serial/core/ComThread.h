// The event thread of an open port with a non-empty event set. It sets the
// device's event mask, waits for line events through the platform and hands
// each wait's events to the port by its sync method: a synchronised dispatch
// on the port's thread (smThreadSync), one notification per event to the
// port's notification receiver (smWindowSync), or a dispatch on this thread
// (smNone). An exception from a dispatch ends the thread, without its closing
// steps; the port can still be closed.
#pragma once

#include "serial/platform/ComPlatform.h"
#include "serial/types/ComTypes.h"

#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace orbel {

class TComCallQueue;
class TComNotifyWindow;
class TCustomComPort;

class TComThread {
public:
    // `window` receives the notifications under smWindowSync, and is nullptr
    // otherwise. The owner outlives the thread; a notification running when
    // the port lets its window go keeps it until it returns. The calling
    // thread is the opener: its loop runs the calls the thread hands over.
    TComThread(TCustomComPort& owner, std::shared_ptr<TComNotifyWindow> window);
    // Stops the thread and waits for it to end. On the opener's thread it runs
    // meanwhile the calls the thread hands over (and only those). On any other
    // thread it runs none: the calls still waiting are dropped. Run on the
    // event thread itself (a handler under smNone closing its port) it only
    // stops it.
    ~TComThread();
    TComThread(const TComThread&) = delete;
    TComThread& operator=(const TComThread&) = delete;

    // Ends the wait at once; the thread then takes its closing steps and ends.
    void StopEvent();

    // The events of the last completed wait.
    TComEvents PendingEvents() const;
    bool Finished() const;
    // What ended the thread early, or nullptr.
    std::exception_ptr FatalException() const;

private:
    struct TState;
    static void Execute(const std::shared_ptr<TState>& state);
    static void Loop(TState& state);
    static bool Rest(TState& state, int emptyInARow);
    static void Deliver(TState& state, TComEvents events);

    std::shared_ptr<TState> state_;
    const std::thread::id opener_ = std::this_thread::get_id();
    std::thread thread_;
};

} // namespace orbel
