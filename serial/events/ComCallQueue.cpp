#include "serial/events/ComCallQueue.h"

#include "base/CatchAll.h"
#include "loop/MainLoop.h"
#include "serial/events/ComEvents.h"

#include <stdexcept>

namespace orbel {

std::shared_ptr<TComCallQueue> TComCallQueue::Create(IMainLoop& loop) {
    std::shared_ptr<TComCallQueue> queue(new TComCallQueue(loop));
    queue->self_ = queue;
    return queue;
}

void TComCallQueue::Hand(std::function<void()> run, TRelease release) {
    auto call = std::make_shared<TCall>();
    call->run = std::move(run);
    call->release = release;
    {
        std::lock_guard lock(mutex_);
        if (stoppedElsewhere_) {
            return; // nobody will run it
        }
        calls_.push_back(call);
    }
    changed_.notify_all(); // a close may be waiting for it
    // The posted call keeps the queue alive; the close may have served it first.
    loop_.Post([queue = self_.lock()] { queue->RunPending(); });

    std::unique_lock lock(mutex_);
    if (release == TRelease::AtStart) {
        changed_.wait(lock, [&] { return call->started || call->dropped; });
        return;
    }
    changed_.wait(lock, [&] {
        return call->finished || call->dropped ||
               (stopping_ && (call->startedBeforeStop || stoppedElsewhere_));
    });
    if (call->dropped) {
        return;
    }
    if (!call->finished) {
        call->abandoned = true;
        return;
    }
    if (call->error) {
        std::rethrow_exception(call->error);
    }
}

void TComCallQueue::RunPending() {
    while (RunNext()) {
    }
}

bool TComCallQueue::RunNext() {
    std::shared_ptr<TCall> call;
    {
        std::lock_guard lock(mutex_);
        if (calls_.empty()) {
            return false;
        }
        call = std::move(calls_.front());
        calls_.pop_front();
        call->started = true;
        call->startedBeforeStop = !stopping_;
    }
    changed_.notify_all();
    std::exception_ptr error;
    try {
        call->run();
    } catch (...) {
        error = std::current_exception();
    }
    call->run = nullptr; // what it holds is let go on this thread
    bool report = false;
    {
        std::lock_guard lock(mutex_);
        call->finished = true;
        call->error = error;
        // Nobody waits for it any more: the failure is not lost.
        report = error && (call->abandoned || call->release == TRelease::AtStart);
    }
    changed_.notify_all();
    if (report) {
        ReportException(error, UnknownHandlerFailure);
    }
    return true;
}

void TComCallQueue::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
}

void TComCallQueue::MarkEnded() {
    {
        std::lock_guard lock(mutex_);
        ended_ = true;
    }
    changed_.notify_all();
}

void TComCallQueue::StopElsewhere() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        stoppedElsewhere_ = true;
        for (const auto& call : calls_) {
            call->dropped = true;
        }
        calls_.clear();
    }
    changed_.notify_all();
}

void TComCallQueue::ServeUntilEnded() {
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return ended_ || !calls_.empty(); });
            if (ended_) {
                return;
            }
        }
        RunNext();
    }
}

} // namespace orbel
