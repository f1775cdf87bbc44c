#include "serial/platform/win32/Win32Device.h"

#include <algorithm>

namespace orbel {

TWin32Request::TWin32Request(std::shared_ptr<TWin32Device> owner, TWin32RequestKind requestKind)
    : device(std::move(owner)), kind(requestKind) {}

TWin32Request::~TWin32Request() {
    if (overlapped.hEvent != nullptr) {
        CloseHandle(overlapped.hEvent);
    }
    if (stop != nullptr) {
        CloseHandle(stop);
    }
}

bool TWin32Request::MakeEvents() noexcept {
    // Manual reset, as overlapped I/O requires; unnamed.
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (overlapped.hEvent == nullptr) {
        return false;
    }
    if (kind == TWin32RequestKind::EventWait) {
        stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        return stop != nullptr;
    }
    return true;
}

TWin32Device::~TWin32Device() {
    Close();
}

bool TWin32Device::Enter() noexcept {
    std::lock_guard lock(mutex_);
    if (closing_) {
        return false;
    }
    ++inside_;
    return true;
}

void TWin32Device::Leave() noexcept {
    std::lock_guard lock(mutex_);
    if (--inside_ == 0) {
        idle_.notify_all();
    }
}

void TWin32Device::Track(TWin32Request& request) {
    std::lock_guard lock(mutex_);
    requests_.push_back(&request);
}

void TWin32Device::Untrack(TWin32Request& request) noexcept {
    std::lock_guard lock(mutex_);
    std::erase(requests_, &request);
}

void TWin32Device::MarkIssued(TWin32Request& request) noexcept {
    std::lock_guard lock(mutex_);
    request.issued = true;
    if (request.ending != TWin32Ending::None) {
        StopIoLocked(request); // it was ended before the system had it
    }
}

void TWin32Device::MarkFinished(TWin32Request& request) noexcept {
    std::lock_guard lock(mutex_);
    request.finished = true;
}

bool TWin32Device::WasIssued(const TWin32Request& request) noexcept {
    std::lock_guard lock(mutex_);
    return request.issued;
}

TWin32Ending TWin32Device::EndingOf(const TWin32Request& request) noexcept {
    std::lock_guard lock(mutex_);
    return request.ending;
}

void TWin32Device::Cancel(TWin32Request& request) noexcept {
    std::lock_guard lock(mutex_);
    EndLocked(request, TWin32Ending::Cancelled);
}

void TWin32Device::Abort(bool reads, bool writes) noexcept {
    std::lock_guard lock(mutex_);
    for (TWin32Request* request : requests_) {
        const bool ends = request->kind == TWin32RequestKind::EventWait ||
                          (request->kind == TWin32RequestKind::Read && reads) ||
                          (request->kind == TWin32RequestKind::Write && writes);
        if (ends) {
            EndLocked(*request, TWin32Ending::Aborted);
        }
    }
}

void TWin32Device::Settle(TWin32Request& request) noexcept {
    {
        std::lock_guard lock(mutex_);
        if (!request.issued || request.finished) {
            return;
        }
        if (request.ending == TWin32Ending::None) {
            request.ending = TWin32Ending::Cancelled;
        }
        StopIoLocked(request);
    }
    // Ended, or the handle closed: the system completes the request now.
    WaitForSingleObject(request.overlapped.hEvent, INFINITE);
    std::lock_guard lock(mutex_);
    request.finished = true;
}

BOOL TWin32Device::SetMask(DWORD mask) noexcept {
    std::lock_guard lock(mutex_);
    const BOOL ok = calls_.SetCommMask(handle_, mask);
    if (ok) {
        mask_ = mask;
    }
    return ok;
}

void TWin32Device::Close() noexcept {
    std::unique_lock lock(mutex_);
    if (closing_) {
        idle_.wait(lock, [&] { return closed_; });
        return;
    }
    closing_ = true;
    for (TWin32Request* request : requests_) {
        EndLocked(*request, TWin32Ending::Aborted);
    }
    idle_.wait(lock, [&] { return inside_ == 0; });
    calls_.CloseHandle(handle_); // also ends what the system still runs for it
    closed_ = true;
    idle_.notify_all();
}

void TWin32Device::EndLocked(TWin32Request& request, TWin32Ending how) noexcept {
    if (request.ending != TWin32Ending::None) {
        return;
    }
    request.ending = how;
    if (request.stop != nullptr) {
        SetEvent(request.stop);
    }
    if (request.issued && !request.finished) {
        StopIoLocked(request);
    }
}

void TWin32Device::StopIoLocked(TWin32Request& request) noexcept {
    if (closed_ || request.finished) {
        return;
    }
    if (!calls_.CancelIoEx(handle_, &request.overlapped) &&
        request.kind == TWin32RequestKind::EventWait) {
        // A driver that cannot cancel a running WaitCommEvent still ends it
        // when the event mask is set.
        calls_.SetCommMask(handle_, mask_);
    }
}

} // namespace orbel
