// What both system platforms keep of their open devices: the table of live
// devices by handle, and the count of the calls inside one device.
#pragma once

#include "serial/platform/ComPlatform.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace orbel {

// The open devices by handle. A handle is never given twice by one table, so
// a stale handle held by another thread finds nothing instead of a device
// opened later.
template <class TDevice> class TDeviceTable {
public:
    using Ptr = std::shared_ptr<TDevice>;

    ComHandle Add(Ptr device) {
        std::lock_guard lock(mutex_);
        devices_.emplace(++last_, std::move(device));
        return last_;
    }
    Ptr Find(ComHandle handle) const {
        std::lock_guard lock(mutex_);
        const auto it = devices_.find(handle);
        return it == devices_.end() ? nullptr : it->second;
    }
    // Takes the device out of the table (nullptr for an unknown handle).
    Ptr Take(ComHandle handle) {
        std::lock_guard lock(mutex_);
        const auto it = devices_.find(handle);
        if (it == devices_.end()) {
            return nullptr;
        }
        Ptr device = std::move(it->second);
        devices_.erase(it);
        return device;
    }
    std::vector<Ptr> TakeAll() {
        std::lock_guard lock(mutex_);
        std::vector<Ptr> all;
        for (auto& [handle, device] : devices_) {
            all.push_back(std::move(device));
        }
        devices_.clear();
        return all;
    }
    std::size_t Size() const {
        std::lock_guard lock(mutex_);
        return devices_.size();
    }

private:
    mutable std::mutex mutex_;
    std::map<ComHandle, Ptr> devices_;
    ComHandle last_ = 0;
};

// The calls inside one device: every call that uses the device enters first
// and leaves when it is done with it; once the close has begun none enters,
// and the close waits for those inside.
class TDeviceCalls {
public:
    bool Enter() noexcept {
        std::lock_guard lock(mutex_);
        if (closing_) {
            return false;
        }
        ++inside_;
        return true;
    }
    void Leave() noexcept {
        std::lock_guard lock(mutex_);
        if (--inside_ == 0) {
            idle_.notify_all();
        }
    }
    bool Closing() const noexcept {
        std::lock_guard lock(mutex_);
        return closing_;
    }
    // Begins the close; false when it had begun already.
    bool BeginClose() noexcept {
        std::lock_guard lock(mutex_);
        return !std::exchange(closing_, true);
    }
    // Waits until no call is inside, at most `limit` when one is given; true
    // when none is.
    bool AwaitIdle(std::optional<std::chrono::milliseconds> limit = std::nullopt) {
        std::unique_lock lock(mutex_);
        const auto idle = [&] { return inside_ == 0; };
        if (!limit) {
            idle_.wait(lock, idle);
            return true;
        }
        return idle_.wait_for(lock, *limit, idle);
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable idle_;
    int inside_ = 0;
    bool closing_ = false;
};

} // namespace orbel
