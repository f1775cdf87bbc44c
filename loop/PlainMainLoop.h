// A main loop without a toolkit: a queue of posted calls that the owning
// thread drains, in ProcessPending or while it waits for the next call.
#pragma once

#include "loop/MainLoop.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace orbel {

class TPlainMainLoop final : public IMainLoop {
public:
    // Served by the constructing thread.
    TPlainMainLoop();

    void Post(std::function<void()> call) override;
    bool OnMainThread() const override;
    // Runs the calls posted before it began; those posted meanwhile wait for
    // the next pass.
    void ProcessPending() override;
    // Owning thread: waits up to `timeout` for a call to be posted, then runs
    // what is queued. False when nothing came.
    bool WaitAndProcess(std::chrono::milliseconds timeout);

private:
    const std::thread::id owner_;
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> calls_;
};

} // namespace orbel
