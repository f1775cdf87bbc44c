// The Win32 communications calls the platform makes, in one table: the
// system's own in a shipped program, a scripted stand-in in the tests that
// replay what real drivers do (Wine's serial calls run on Linux terminals and
// show none of it). Each entry has the call's own signature and contract; a
// failure leaves its code for GetLastError on the calling thread.
#pragma once

#include <windows.h>

namespace orbel {

class IWin32Calls {
public:
    virtual ~IWin32Calls() = default;

    virtual HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD share,
                               LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                               HANDLE templateFile) = 0;
    virtual BOOL CloseHandle(HANDLE handle) = 0;

    virtual BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD count, LPDWORD done,
                          LPOVERLAPPED overlapped) = 0;
    virtual BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD count, LPDWORD done,
                           LPOVERLAPPED overlapped) = 0;
    virtual BOOL WaitCommEvent(HANDLE handle, LPDWORD events, LPOVERLAPPED overlapped) = 0;
    virtual BOOL GetOverlappedResult(HANDLE handle, LPOVERLAPPED overlapped, LPDWORD done,
                                     BOOL wait) = 0;
    virtual BOOL CancelIoEx(HANDLE handle, LPOVERLAPPED overlapped) = 0;

    virtual BOOL SetCommMask(HANDLE handle, DWORD mask) = 0;
    virtual BOOL PurgeComm(HANDLE handle, DWORD flags) = 0;
    virtual BOOL ClearCommError(HANDLE handle, LPDWORD errors, LPCOMSTAT status) = 0;
    virtual BOOL GetCommModemStatus(HANDLE handle, LPDWORD status) = 0;
    virtual BOOL GetCommState(HANDLE handle, LPDCB dcb) = 0;
    virtual BOOL SetCommState(HANDLE handle, LPDCB dcb) = 0;
    virtual BOOL SetCommTimeouts(HANDLE handle, LPCOMMTIMEOUTS timeouts) = 0;
    virtual BOOL SetupComm(HANDLE handle, DWORD input, DWORD output) = 0;

    // Whether the port ("\\.\COM7" or "COM7") is in the device manager's
    // ports class now: 1 it is, 0 it is not, -1 the class cannot be read.
    virtual int PortPresent(LPCWSTR port) = 0;
};

// The system's answer to PortPresent (SetupAPI).
int SystemPortPresent(LPCWSTR port);

// The system's calls.
IWin32Calls& SystemWin32Calls();

// The table SystemComPlatform() is made with: the system's, unless a test
// program has put its stand-in in place before the platform's first use.
IWin32Calls& ProcessWin32Calls();
void ReplaceProcessWin32Calls(IWin32Calls* calls);

} // namespace orbel
