#include "loop/PlainMainLoop.h"

#include <iterator>
#include <utility>

namespace orbel {

TPlainMainLoop::TPlainMainLoop() : owner_(std::this_thread::get_id()) {}

void TPlainMainLoop::Post(std::function<void()> call) {
    {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }
    posted_.notify_all();
}

bool TPlainMainLoop::OnMainThread() const {
    return std::this_thread::get_id() == owner_;
}

void TPlainMainLoop::ProcessPending() {
    std::deque<std::function<void()>> due;
    {
        std::lock_guard lock(mutex_);
        due.swap(calls_);
    }
    for (auto it = due.begin(); it != due.end(); ++it) {
        try {
            (*it)();
        } catch (...) {
            // Nothing posted is lost: the rest runs at the next pass.
            std::lock_guard lock(mutex_);
            calls_.insert(calls_.begin(), std::make_move_iterator(std::next(it)),
                          std::make_move_iterator(due.end()));
            throw;
        }
    }
}

bool TPlainMainLoop::WaitAndProcess(std::chrono::milliseconds timeout) {
    {
        std::unique_lock lock(mutex_);
        if (!posted_.wait_for(lock, timeout, [this] { return !calls_.empty(); })) {
            return false;
        }
    }
    ProcessPending();
    return true;
}

} // namespace orbel
