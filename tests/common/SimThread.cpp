#include "common/SimThread.h"

#include <algorithm>
#include <exception>

namespace orbel::test {

using orbel::sim::Direction;

SimThread::SimThread(Options options) : simulator_(std::move(options)) {
    simulator_.SetObserver([this](const FrameRecord& record) {
        {
            std::lock_guard lock(mutex_);
            frames_.push_back(record);
        }
        changed_.notify_all();
    });
    simulator_.Start();
    thread_ = std::thread([this] {
        bool hungUp = false;
        std::string error;
        try {
            hungUp = simulator_.Run() == orbel::sim::Simulator::RunResult::HungUp;
        } catch (const std::exception& e) {
            error = e.what();
        }
        {
            std::lock_guard lock(mutex_);
            hungUp_ = hungUp;
            ended_ = true;
            error_ = error;
        }
        changed_.notify_all();
    });
}

SimThread::~SimThread() {
    Stop();
}

void SimThread::Stop() {
    simulator_.Stop();
    if (thread_.joinable()) {
        thread_.join();
    }
}

std::vector<SimThread::FrameRecord> SimThread::Frames() const {
    std::lock_guard lock(mutex_);
    return frames_;
}

std::vector<SimThread::FrameRecord> SimThread::Received() const {
    std::lock_guard lock(mutex_);
    std::vector<FrameRecord> out;
    std::ranges::copy_if(frames_, std::back_inserter(out),
                         [](const FrameRecord& r) { return r.direction == Direction::Rx; });
    return out;
}

std::vector<SimThread::FrameRecord> SimThread::Sent() const {
    std::lock_guard lock(mutex_);
    std::vector<FrameRecord> out;
    std::ranges::copy_if(frames_, std::back_inserter(out),
                         [](const FrameRecord& r) { return r.direction == Direction::Tx; });
    return out;
}

void SimThread::ClearFrames() {
    std::lock_guard lock(mutex_);
    frames_.clear();
}

std::size_t SimThread::Count(Direction direction) const {
    return static_cast<std::size_t>(std::ranges::count_if(
        frames_, [direction](const FrameRecord& r) { return r.direction == direction; }));
}

bool SimThread::WaitFor(const std::function<bool()>& done,
                        std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, done);
}

bool SimThread::WaitForReceived(std::size_t count, std::chrono::milliseconds timeout) const {
    return WaitFor([&] { return Count(Direction::Rx) >= count; }, timeout);
}

bool SimThread::WaitForSent(std::size_t count, std::chrono::milliseconds timeout) const {
    return WaitFor([&] { return Count(Direction::Tx) >= count; }, timeout);
}

bool SimThread::HungUp() const {
    std::lock_guard lock(mutex_);
    return hungUp_;
}

bool SimThread::WaitForHangup(std::chrono::milliseconds timeout) const {
    WaitFor([&] { return ended_; }, timeout);
    return HungUp();
}

std::string SimThread::Error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

} // namespace orbel::test
