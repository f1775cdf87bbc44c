// A scripted stand-in for the Win32 communications calls: one USB serial
// adapter that can be unplugged and plugged again, answering as a real
// driver does (not as Wine does, whose calls run on Linux terminals). What
// each driver does at a surprise removal is a profile; the odd drivers'
// habits are switches. Every behaviour names where it was reported.
#pragma once

#include "serial/platform/win32/Win32Calls.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace orbel;

// What a driver does once its device is gone.
struct TDriverProfile {
    const char* name;
    DWORD callError;   // every later call on the old handle but the close
    DWORD readError;   // a read pending at the removal ends with this
    DWORD writeError;  // a write pending at the removal
    DWORD waitError;   // an event wait pending at the removal (0: ends with waitEvents)
    DWORD waitEvents;  // what a wait ended without error reports
    DWORD reopenError; // CreateFileW while the old handle is still open
};

// The four adapters technicians plug in most.
const std::vector<TDriverProfile>& DriverProfiles();

class TScriptedWin32Calls final : public IWin32Calls {
public:
    // `port` is the only device there is ("\\.\COM1"): CreateFileW of any
    // other name fails as no such file.
    explicit TScriptedWin32Calls(std::wstring port = L"\\\\.\\COM1");
    ~TScriptedWin32Calls() override;

    // The instrument: its answer to each request written (none: silent).
    std::function<std::vector<std::uint8_t>(const std::vector<std::uint8_t>&)> answer;

    // The odd drivers' habits, off until set.
    bool clearCommErrorFails = false; // always ERROR_INVALID_PARAMETER
    bool cancelNeverEndsWait = false; // CancelIoEx takes a wait's cancel and never ends it
    bool purgeFails = false;          // PurgeComm fails with ERROR_GEN_FAILURE
    bool writesPend = false;          // a write stays pending until something ends it
    // A driver that does not keep its own time-outs: a read stays pending
    // past them until something ends it (Windows-iotcore-samples issue 365).
    bool readsNeverEnd = false;
    // CancelIoEx is taken and ends nothing, whatever the request; only the
    // close does (CancelIoEx's documentation: the driver decides; libserialport
    // pull request 20).
    bool cancelsIgnored = false;
    // A change of the event mask does not end a running wait either.
    bool maskChangeIgnored = false;
    // A write ends as success with fewer bytes than asked, as a write
    // time-out ends it (COMMTIMEOUTS' documentation): this many bytes.
    int shortWriteBytes = -1;
    // This many reads end with `spuriousCode` while the device is well:
    // 995 as usbser on Windows 11 does (libserialport pull request 17), or
    // 31, the generic failure.
    int spuriousFailures = 0;
    DWORD spuriousCode = ERROR_OPERATION_ABORTED;
    // SetCommState refuses with 87 a record that is not the one the driver
    // gave (one built from nothing), as some virtual ports do
    // (node-serialport issues 817 and 824).
    bool foreignDcbRefused = false;
    // Every WaitCommEvent ends at once with 995 (a re-issued wait failing at
    // once: juce_serialport issue 11).
    bool waitsAbortAtOnce = false;
    // CreateFileW blocks this long and then fails with 121, as a Bluetooth
    // port whose far end does not answer.
    int openBlocksMs = 0;
    // This many opens fail with 5 after a replug (sigrok-pico issue 7).
    int busyOpens = 0;

    // How a reply's bytes reach the input queue: all at once inside the
    // write; at the line's pace after the request's own bytes (eleven bits
    // a byte at the DCB's rate); or as an FTDI chip hands them over, in
    // bursts when its latency timer of `burstMs` runs out (FTDI AN232B-04).
    enum class TPace { AtOnce, Line, Bursts };
    TPace pace = TPace::AtOnce;
    int burstMs = 16;
    // WaitCommEvent calls made so far.
    int WaitCalls();

    // Every habit below off, the first profile, replies at once.
    void ResetHabits();
    void UseProfile(const TDriverProfile& profile);
    void Unplug();
    void Replug();
    // A removal nobody tells the handle of: every call still succeeds and
    // reads only time out, while the port leaves the ports class (usbser on
    // Windows 7 and 8: node-serialport issue 1270; Arduino issue 11599).
    void SilentlyRemove();
    // The ports class cannot be read (as under Wine): PortPresent says -1.
    bool portsClassUnreadable = false;

    enum class TKind { Read, Write, Wait };
    // Blocks until a request of that kind is pending (at most 10 s): false
    // when none came.
    bool AwaitPending(TKind kind);
    // Blocks until a write has been made and a purge has followed it (an
    // exchange's end), at most 10 s.
    bool AwaitPurgeAfterWrite();
    // Handles CreateFileW gave that CloseHandle has not taken back.
    int OpenHandles();

    HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                       DWORD disposition, DWORD flags, HANDLE templateFile) override;
    BOOL CloseHandle(HANDLE handle) override;
    BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD count, LPDWORD done,
                  LPOVERLAPPED overlapped) override;
    BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD count, LPDWORD done,
                   LPOVERLAPPED overlapped) override;
    BOOL WaitCommEvent(HANDLE handle, LPDWORD events, LPOVERLAPPED overlapped) override;
    BOOL GetOverlappedResult(HANDLE handle, LPOVERLAPPED overlapped, LPDWORD done,
                             BOOL wait) override;
    BOOL CancelIoEx(HANDLE handle, LPOVERLAPPED overlapped) override;
    BOOL SetCommMask(HANDLE handle, DWORD mask) override;
    BOOL PurgeComm(HANDLE handle, DWORD flags) override;
    BOOL ClearCommError(HANDLE handle, LPDWORD errors, LPCOMSTAT status) override;
    BOOL GetCommModemStatus(HANDLE handle, LPDWORD status) override;
    BOOL GetCommState(HANDLE handle, LPDCB dcb) override;
    BOOL SetCommState(HANDLE handle, LPDCB dcb) override;
    BOOL SetCommTimeouts(HANDLE handle, LPCOMMTIMEOUTS timeouts) override;
    BOOL SetupComm(HANDLE handle, DWORD input, DWORD output) override;
    int PortPresent(LPCWSTR port) override;

private:
    using Clock = std::chrono::steady_clock;
    struct TPending {
        TKind kind;
        OVERLAPPED* overlapped;
        std::uint8_t* buffer; // reads
        DWORD count;
        DWORD* events; // waits
        Clock::time_point deadline;
    };
    struct THandle {
        bool removed = false;
        DWORD mask = 0;
        DCB dcb{};
        COMMTIMEOUTS timeouts{};
        std::vector<TPending> pending;
    };
    struct TDone {
        DWORD error;
        DWORD bytes;
    };

    THandle* Live(HANDLE handle, DWORD& error);
    BOOL Fail(DWORD error);
    // A call on a handle: `apply` answers it while the device is there; a
    // handle whose device is gone fails as the profile says. The caller holds
    // the lock.
    template <class Apply> BOOL OnLive(HANDLE handle, Apply&& apply) {
        DWORD error = ERROR_SUCCESS;
        THandle* state = Live(handle, error);
        return state == nullptr ? Fail(error) : apply(*state);
    }
    void Complete(const TPending& pending, DWORD error, DWORD bytes);
    void EndPending(THandle& state, TKind kind, DWORD error, DWORD events);
    void Deliver(THandle& state);
    void Arrive(THandle& state, const std::vector<std::uint8_t>& reply, DWORD requestBytes);
    bool Enough(const THandle& state, DWORD count) const;
    void TakeInto(const TPending& pending, DWORD error);
    void Timer();

    const std::wstring port_;
    TDriverProfile profile_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool plugged_ = true;
    bool silentlyRemoved_ = false;
    bool stopping_ = false;
    int purges_ = 0;
    int writes_ = 0;
    int purgesAtWrite_ = 0;
    std::uintptr_t next_ = 0x5000;
    std::map<HANDLE, THandle> handles_;
    std::map<OVERLAPPED*, TDone> done_;
    std::deque<std::uint8_t> input_;
    std::deque<std::pair<Clock::time_point, std::uint8_t>> arriving_;
    int waitCalls_ = 0;
    std::thread timer_;
};
