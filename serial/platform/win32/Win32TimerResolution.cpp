#include "serial/platform/win32/Win32TimerResolution.h"

#include <windows.h>

#include <timeapi.h>

namespace orbel {

void TWin32TimerResolution::Acquire() noexcept {
    std::lock_guard lock(mutex_);
    if (users_++ == 0) {
        granted_ = timeBeginPeriod(1) == TIMERR_NOERROR;
    }
}

void TWin32TimerResolution::Release() noexcept {
    std::lock_guard lock(mutex_);
    if (users_ == 0) {
        return;
    }
    if (--users_ == 0 && granted_) {
        timeEndPeriod(1);
        granted_ = false;
    }
}

std::size_t TWin32TimerResolution::Users() const noexcept {
    std::lock_guard lock(mutex_);
    return users_;
}

} // namespace orbel
