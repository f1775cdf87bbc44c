#include "serial/platform/win32/Win32Open.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

namespace orbel {

namespace {

using Clock = std::chrono::steady_clock;

// One CreateFileW on a thread of its own; whoever comes last (the opener or
// the thread) decides what becomes of the handle, so that an open that ends
// after its caller gave up closes what it got. The end is told through an
// event of the system's: a condition variable of mingw-w64's threads lost an
// end now and then among a thousand opens.
struct TOpenAttempt {
    TOpenAttempt() : done(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~TOpenAttempt() {
        if (done != nullptr) {
            ::CloseHandle(done);
        }
    }
    TOpenAttempt(const TOpenAttempt&) = delete;
    TOpenAttempt& operator=(const TOpenAttempt&) = delete;

    std::mutex mutex;
    HANDLE done;
    bool finished = false;
    bool abandoned = false;
    HANDLE handle = INVALID_HANDLE_VALUE;
    DWORD error = ERROR_SUCCESS;
};

HANDLE OpenOnce(IWin32Calls& calls, const std::wstring& path, DWORD& error) {
    auto attempt = std::make_shared<TOpenAttempt>();
    if (attempt->done == nullptr) { // no event to be told by: open here, unbounded
        const HANDLE handle =
            calls.CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
        error = handle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
        return handle;
    }
    std::thread([&calls, path, attempt] {
        const HANDLE handle =
            calls.CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
        const DWORD code = handle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
        std::lock_guard lock(attempt->mutex);
        if (attempt->abandoned) {
            if (handle != INVALID_HANDLE_VALUE) {
                calls.CloseHandle(handle);
            }
            return;
        }
        attempt->handle = handle;
        attempt->error = code;
        attempt->finished = true;
        SetEvent(attempt->done);
    }).detach();
    WaitForSingleObject(attempt->done, Win32OpenLimitMs);
    std::lock_guard lock(attempt->mutex);
    if (!attempt->finished) {
        attempt->abandoned = true;
        error = ERROR_SEM_TIMEOUT;
        return INVALID_HANDLE_VALUE;
    }
    error = attempt->error;
    return attempt->handle;
}

} // namespace

HANDLE OpenWin32Port(IWin32Calls& calls, const std::wstring& path, DWORD& error) {
    const auto until = Clock::now() + std::chrono::milliseconds(Win32BusyRetryMs);
    for (;;) {
        const HANDLE handle = OpenOnce(calls, path, error);
        if (handle != INVALID_HANDLE_VALUE || error != ERROR_ACCESS_DENIED ||
            Clock::now() >= until) {
            return handle;
        }
        // Retried at a tenth of a second: no event tells when it is free.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

} // namespace orbel
