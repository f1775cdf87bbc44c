// Calls that an event thread hands to the thread its port lives on (the main
// thread), run there one by one in the order handed. The handing thread blocks
// until its call has started (a notification) or has finished (a synchronised
// dispatch, whose exception it gets back). Each call handed posts RunPending
// to the main thread's loop. While the main thread waits for the event thread
// to end, ServeUntilEnded runs the calls instead: that wait serves this queue
// and nothing else. No data passes through the loop's own queue: everything
// is under this queue's mutex.
// Only the main thread runs calls; a close on any other thread runs none and
// drops what waits.
#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

namespace orbel {

class IMainLoop;

class TComCallQueue {
public:
    enum class TRelease { AtStart, AtEnd };

    // The calls are run from `loop`, the loop of the port's thread.
    static std::shared_ptr<TComCallQueue> Create(IMainLoop& loop);
    TComCallQueue(const TComCallQueue&) = delete;
    TComCallQueue& operator=(const TComCallQueue&) = delete;

    // Event thread: hands `call` over and waits for its start or its end.
    // Rethrows what a call released at its end raised. A call released at its
    // end that is still running when the queue stops is left to finish alone
    // (it is then running further up the main thread's own stack, in the
    // handler that closes the port); what it raises goes to the exception report.
    void Hand(std::function<void()> call, TRelease release);

    // Main thread, from the loop: runs the calls handed so far.
    void RunPending();

    // From then on a waiter whose call has started no longer waits for its end.
    void Stop();
    // Event thread, last act.
    void MarkEnded();
    // Main thread: runs the calls handed until the event thread has ended.
    void ServeUntilEnded();
    // Any other thread, instead of serving: the calls not yet started are
    // dropped, later ones are not taken, and no waiter waits any more for a
    // call's end (what such a call raises goes to the exception report).
    void StopElsewhere();

private:
    explicit TComCallQueue(IMainLoop& loop) : loop_(loop) {}
    // Runs the oldest call handed; false when there was none.
    bool RunNext();

    struct TCall {
        std::function<void()> run;
        TRelease release = TRelease::AtEnd;
        bool started = false;
        bool dropped = false;
        // Started before the stop: then the close is running inside it.
        bool startedBeforeStop = false;
        bool finished = false;
        bool abandoned = false;
        std::exception_ptr error;
    };

    IMainLoop& loop_;
    std::weak_ptr<TComCallQueue> self_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::shared_ptr<TCall>> calls_;
    bool stopping_ = false;
    bool stoppedElsewhere_ = false;
    bool ended_ = false;
};

} // namespace orbel
