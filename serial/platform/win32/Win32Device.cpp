#include "serial/platform/win32/Win32Device.h"

#include <algorithm>
#include <chrono>

namespace orbel {

namespace {

// Requests a driver never gave back, even after the close: the system may
// still write into them, so they are never freed.
void KeepForGood(std::vector<std::shared_ptr<TWin32Request>> requests) {
    static std::mutex mutex;
    static auto* kept = new std::vector<std::shared_ptr<TWin32Request>>;
    std::lock_guard lock(mutex);
    kept->insert(kept->end(), requests.begin(), requests.end());
}

DWORD Sum(std::uint64_t ms) noexcept {
    constexpr std::uint64_t Longest = 0x7FFFFFFF; // a margin can still be added
    return static_cast<DWORD>(std::min(ms, Longest));
}

} // namespace

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
    stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return stop != nullptr;
}

void TWin32Device::NoteOpened(std::wstring path, bool inPortsClass) {
    path_ = std::move(path);
    inPortsClass_ = inPortsClass;
}

bool TWin32Device::DueForHealthCheck() noexcept {
    std::lock_guard lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    if (lastHealthCheck_ != std::chrono::steady_clock::time_point{} &&
        now - lastHealthCheck_ < std::chrono::seconds(1)) {
        return false;
    }
    lastHealthCheck_ = now;
    return true;
}

TWin32Device::~TWin32Device() {
    Close();
}

bool TWin32Device::Enter() noexcept {
    return inside_.Enter();
}

void TWin32Device::Leave() noexcept {
    inside_.Leave();
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

bool TWin32Device::Settle(TWin32Request& request) noexcept {
    DWORD wait = Win32SettleMs;
    {
        std::lock_guard lock(mutex_);
        wait = request.waitedOut ? 0 : Win32SettleMs;
        if (!request.issued || request.finished) {
            return true;
        }
        if (request.ending == TWin32Ending::None) {
            request.ending = TWin32Ending::Cancelled;
        }
        StopIoLocked(request);
    }
    // Ended, or the handle closed: a driver completes the request now, or
    // (one that ignores the cancel) keeps it until the close.
    const bool back = WaitForSingleObject(request.overlapped.hEvent, wait) == WAIT_OBJECT_0;
    std::lock_guard lock(mutex_);
    request.finished = request.finished || back;
    request.waitedOut = !request.finished;
    return request.finished;
}

void TWin32Device::Adopt(std::shared_ptr<TWin32Request> request) {
    std::lock_guard lock(mutex_);
    if (closed_) {
        KeepForGood({std::move(request)});
        return;
    }
    adopted_.push_back(std::move(request));
}

DWORD TWin32Device::NoteAbortedWait(bool atOnce) noexcept {
    std::lock_guard lock(mutex_);
    abortedWaits_ = atOnce ? abortedWaits_ + 1 : 0;
    if (abortedWaits_ <= 1) {
        return 0;
    }
    return static_cast<DWORD>(std::min(10 << std::min(abortedWaits_ - 2, 6), 500));
}

BOOL TWin32Device::SetMask(DWORD mask) noexcept {
    std::lock_guard lock(mutex_);
    const BOOL ok = calls_.SetCommMask(handle_, mask);
    if (ok) {
        mask_ = mask;
    }
    return ok;
}

BOOL TWin32Device::SetTimeouts(COMMTIMEOUTS timeouts) noexcept {
    std::lock_guard lock(mutex_);
    const BOOL ok = calls_.SetCommTimeouts(handle_, &timeouts);
    if (ok) {
        timeouts_ = timeouts;
    }
    return ok;
}

void TWin32Device::NoteBaudRate(DWORD baud) noexcept {
    std::lock_guard lock(mutex_);
    baud_ = baud;
}

DWORD TWin32Device::BudgetOf(TWin32RequestKind kind, DWORD count) noexcept {
    std::lock_guard lock(mutex_);
    const COMMTIMEOUTS& t = timeouts_;
    if (kind == TWin32RequestKind::Read) {
        if (t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == MAXDWORD) {
            return t.ReadTotalTimeoutConstant; // what is there, or the first byte
        }
        if (t.ReadTotalTimeoutMultiplier == 0 && t.ReadTotalTimeoutConstant == 0) {
            // At once, or no total at all: such a read waits for bytes until
            // it is ended from outside.
            return t.ReadIntervalTimeout == MAXDWORD ? 0 : INFINITE;
        }
        return Sum(std::uint64_t{t.ReadTotalTimeoutMultiplier} * count +
                   t.ReadTotalTimeoutConstant);
    }
    if (kind == TWin32RequestKind::Write) {
        if (t.WriteTotalTimeoutMultiplier != 0 || t.WriteTotalTimeoutConstant != 0) {
            return Sum(std::uint64_t{t.WriteTotalTimeoutMultiplier} * count +
                       t.WriteTotalTimeoutConstant);
        }
        // No write time-out: the bytes' time on the line (twelve bits each
        // at most) and a second.
        const std::uint64_t baud = baud_ != 0 ? baud_ : 1200;
        return Sum((std::uint64_t{count} * 12 * 1000 + baud - 1) / baud + 1000);
    }
    return INFINITE; // an event wait lasts until an event or its end
}

void TWin32Device::Close() noexcept {
    if (!inside_.BeginClose()) {
        // Another thread closes it: the handle is closed within a bounded time.
        std::unique_lock lock(mutex_);
        closedChanged_.wait(lock, [&] { return closed_; });
        return;
    }
    {
        std::lock_guard lock(mutex_);
        for (TWin32Request* request : requests_) {
            EndLocked(*request, TWin32Ending::Aborted);
        }
    }
    // The calls inside are short ones on the handle (the waits for requests
    // are not inside); a driver that holds one is not waited for.
    inside_.AwaitIdle(std::chrono::milliseconds(Win32SettleMs));
    std::vector<std::shared_ptr<TWin32Request>> adopted;
    {
        std::lock_guard lock(mutex_);
        // Also what makes a driver end what it still runs for the handle.
        calls_.CloseHandle(handle_);
        closed_ = true;
        adopted.swap(adopted_);
    }
    closedChanged_.notify_all();
    std::vector<std::shared_ptr<TWin32Request>> held;
    for (auto& request : adopted) {
        if (WaitForSingleObject(request->overlapped.hEvent, Win32SettleMs) == WAIT_OBJECT_0) {
            std::lock_guard relock(mutex_);
            request->finished = true;
        } else {
            held.push_back(std::move(request));
        }
    }
    if (!held.empty()) {
        KeepForGood(std::move(held));
    }
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
