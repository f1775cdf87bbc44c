// While any port is open the process asks for 1 ms timer resolution, so that
// the system does not round the time-outs of transfers up to its 15.6 ms tick.
#pragma once

#include <cstddef>
#include <mutex>

namespace orbel {

class TWin32TimerResolution {
public:
    // The first user asks for 1 ms; the last one to leave gives it back.
    void Acquire() noexcept;
    void Release() noexcept;
    std::size_t Users() const noexcept;

private:
    mutable std::mutex mutex_;
    std::size_t users_ = 0;
    bool granted_ = false;
};

} // namespace orbel
