#include "serial/platform/win32/Win32Open.h"

#include <chrono>
#include <thread>

namespace orbel {

namespace {

using Clock = std::chrono::steady_clock;

HANDLE OpenOnce(IWin32Calls& calls, const std::wstring& path, DWORD& error) {
    const HANDLE handle = calls.CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    error = handle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    return handle;
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
