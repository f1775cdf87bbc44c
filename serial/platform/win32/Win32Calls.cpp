#include "serial/platform/win32/Win32Calls.h"

#include <atomic>

namespace orbel {

namespace {

class TSystemWin32Calls final : public IWin32Calls {
public:
    HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                       DWORD disposition, DWORD flags, HANDLE templateFile) override {
        return ::CreateFileW(name, access, share, security, disposition, flags, templateFile);
    }
    BOOL CloseHandle(HANDLE handle) override { return ::CloseHandle(handle); }
    BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD count, LPDWORD done,
                  LPOVERLAPPED overlapped) override {
        return ::ReadFile(handle, buffer, count, done, overlapped);
    }
    BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD count, LPDWORD done,
                   LPOVERLAPPED overlapped) override {
        return ::WriteFile(handle, buffer, count, done, overlapped);
    }
    BOOL WaitCommEvent(HANDLE handle, LPDWORD events, LPOVERLAPPED overlapped) override {
        return ::WaitCommEvent(handle, events, overlapped);
    }
    BOOL GetOverlappedResult(HANDLE handle, LPOVERLAPPED overlapped, LPDWORD done,
                             BOOL wait) override {
        return ::GetOverlappedResult(handle, overlapped, done, wait);
    }
    BOOL CancelIoEx(HANDLE handle, LPOVERLAPPED overlapped) override {
        return ::CancelIoEx(handle, overlapped);
    }
    BOOL SetCommMask(HANDLE handle, DWORD mask) override { return ::SetCommMask(handle, mask); }
    BOOL PurgeComm(HANDLE handle, DWORD flags) override { return ::PurgeComm(handle, flags); }
    BOOL ClearCommError(HANDLE handle, LPDWORD errors, LPCOMSTAT status) override {
        return ::ClearCommError(handle, errors, status);
    }
    BOOL GetCommModemStatus(HANDLE handle, LPDWORD status) override {
        return ::GetCommModemStatus(handle, status);
    }
    BOOL GetCommState(HANDLE handle, LPDCB dcb) override { return ::GetCommState(handle, dcb); }
    BOOL SetCommState(HANDLE handle, LPDCB dcb) override { return ::SetCommState(handle, dcb); }
    BOOL SetCommTimeouts(HANDLE handle, LPCOMMTIMEOUTS timeouts) override {
        return ::SetCommTimeouts(handle, timeouts);
    }
    BOOL SetupComm(HANDLE handle, DWORD input, DWORD output) override {
        return ::SetupComm(handle, input, output);
    }
    int PortPresent(LPCWSTR port) override { return SystemPortPresent(port); }
};

std::atomic<IWin32Calls*> replacement{nullptr};

} // namespace

IWin32Calls& SystemWin32Calls() {
    static TSystemWin32Calls calls;
    return calls;
}

IWin32Calls& ProcessWin32Calls() {
    IWin32Calls* calls = replacement.load();
    return calls != nullptr ? *calls : SystemWin32Calls();
}

void ReplaceProcessWin32Calls(IWin32Calls* calls) {
    replacement.store(calls);
}

} // namespace orbel
