// One open COM port of the Win32 platform, and the state of a request (a
// transfer or an event wait) running on it.
//
// The device keeps every request from its creation to its release, so that
// an abort or the close ends exactly the requests running at that moment and
// never a later one; a request that is ended before the system has taken it is
// ended again as soon as the system has it. A request's OVERLAPPED record,
// its event and its bytes (a transfer moves them through a buffer of its own)
// are never freed while the system may still write to them: a request the
// system has not given back when its caller lets it go stays with the device
// until the close, and past the close for good if the driver never gives it
// back. No wait of the platform is without a bound.
#pragma once

#include "serial/platform/ComPlatform.h"
#include "serial/platform/DeviceTable.h"
#include "serial/platform/win32/Win32Calls.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace orbel {

// How long past its own budget a transfer may run before it is cancelled as
// overrun, and how long a request that was ended (cancelled, aborted, its
// handle closed) is waited for before the system is left to give it back in
// its own time. Their sum stays well under a second.
inline constexpr DWORD Win32OverrunMarginMs = 400;
inline constexpr DWORD Win32SettleMs = 200;

class TWin32Device;

enum class TWin32RequestKind : std::uint8_t { Read, Write, EventWait };

// How a request was ended from outside.
enum class TWin32Ending : std::uint8_t {
    None,
    Cancelled, // CancelRequest: an event wait then ends with no events
    Aborted,   // a purge with abort bits, or the close: the request fails as cancelled
};

struct TWin32Request {
    TWin32Request(std::shared_ptr<TWin32Device> owner, TWin32RequestKind requestKind);
    ~TWin32Request();
    TWin32Request(const TWin32Request&) = delete;
    TWin32Request& operator=(const TWin32Request&) = delete;

    // Makes the request's events; false with the system's error left set.
    bool MakeEvents() noexcept;

    const std::shared_ptr<TWin32Device> device;
    const TWin32RequestKind kind;
    OVERLAPPED overlapped{};
    HANDLE stop = nullptr; // set when the request is ended from outside
    DWORD events = 0;      // what WaitCommEvent reports
    DWORD doneAtStart = 0; // what a start that completed at once moved
    bool completedAtStart = false;
    std::vector<std::uint8_t> bytes; // what the system reads into or writes from
    void* destination = nullptr;     // reads: the caller's buffer, filled at the end
    DWORD budgetMs = INFINITE;       // how long the time-outs in force let it run
    std::chrono::steady_clock::time_point started{}; // event waits: when it was started

    // Guarded by the device's lock.
    bool issued = false;    // the system holds the OVERLAPPED until it completes
    bool finished = false;  // the system is done with the OVERLAPPED
    bool waitedOut = false; // ended and waited for once in vain: not waited for again
    TWin32Ending ending = TWin32Ending::None;
};

class TWin32Device {
public:
    TWin32Device(IWin32Calls& calls, HANDLE handle, std::string name)
        : calls_(calls), handle_(handle), name_(std::move(name)) {}
    ~TWin32Device();
    TWin32Device(const TWin32Device&) = delete;
    TWin32Device& operator=(const TWin32Device&) = delete;

    HANDLE Handle() const noexcept { return handle_; }
    // The communications calls to make on the handle.
    IWin32Calls& Calls() const noexcept { return calls_; }
    // The port's name as the open was given it.
    const std::string& Name() const noexcept { return name_; }
    // True the first time only: the loss of the device is told once.
    bool FirstLoss() noexcept { return !lossTold_.exchange(true); }

    // The device's path, and whether the ports class listed it at the open
    // (only then does its absence later say it is gone).
    void NoteOpened(std::wstring path, bool inPortsClass);
    const std::wstring& Path() const noexcept { return path_; }
    bool InPortsClassAtOpen() const noexcept { return inPortsClass_; }
    // True at most once a second: a read that ran into its time-out may ask
    // whether the device is still there.
    bool DueForHealthCheck() noexcept;

    // Every call that uses the handle enters first and leaves when it is done
    // with it, so that the close waits for it; entering fails once the close
    // has begun.
    bool Enter() noexcept;
    void Leave() noexcept;

    void Track(TWin32Request& request);
    void Untrack(TWin32Request& request) noexcept;
    // The system took the request's OVERLAPPED (the start is pending), and
    // later gave it back (the request completed).
    void MarkIssued(TWin32Request& request) noexcept;
    void MarkFinished(TWin32Request& request) noexcept;
    bool WasIssued(const TWin32Request& request) noexcept;
    // What ended the request from outside.
    TWin32Ending EndingOf(const TWin32Request& request) noexcept;

    // Ends one request (CancelRequest).
    void Cancel(TWin32Request& request) noexcept;
    // Ends the running reads, writes (as asked) and event waits.
    void Abort(bool reads, bool writes) noexcept;
    // Waits a short while (Win32SettleMs) until the system is done with the
    // request's OVERLAPPED, ending the request first when it still runs;
    // false when the system still holds it.
    bool Settle(TWin32Request& request) noexcept;
    // Keeps a request the system still holds until the system gives it back
    // (at the latest the close's), when its caller lets it go.
    void Adopt(std::shared_ptr<TWin32Request> request);

    // Counts the event waits in a row the driver aborted on its own at once
    // (`atOnce`; any other end resets the count); the pause before the next
    // wait, in milliseconds: none for the first, then 10 doubling to 500.
    DWORD NoteAbortedWait(bool atOnce) noexcept;

    // The event mask in force; setting it ends a running event wait.
    BOOL SetMask(DWORD mask) noexcept;
    // The time-outs in force, and the line's speed, which bound a transfer.
    BOOL SetTimeouts(COMMTIMEOUTS timeouts) noexcept;
    void NoteBaudRate(DWORD baud) noexcept;
    DWORD BudgetOf(TWin32RequestKind kind, DWORD count) noexcept;

    // Ends every request, waits a bounded time for the calls inside to leave,
    // and closes the handle, which makes the driver finish what it still
    // runs; what it still holds of a request is kept, not freed.
    void Close() noexcept;

private:
    void EndLocked(TWin32Request& request, TWin32Ending how) noexcept;
    void StopIoLocked(TWin32Request& request) noexcept;

    IWin32Calls& calls_;
    const HANDLE handle_;
    const std::string name_;
    std::wstring path_;
    bool inPortsClass_ = false;
    std::atomic<bool> lossTold_{false};
    std::chrono::steady_clock::time_point lastHealthCheck_{};
    TDeviceCalls inside_;
    std::mutex mutex_;
    std::condition_variable closedChanged_;
    bool closed_ = false;
    DWORD mask_ = 0;
    COMMTIMEOUTS timeouts_{};
    DWORD baud_ = 0;
    int abortedWaits_ = 0;
    std::vector<TWin32Request*> requests_;
    std::vector<std::shared_ptr<TWin32Request>> adopted_;
};

// Leaves the device at the end of a scope that entered it.
class TWin32Inside {
public:
    explicit TWin32Inside(TWin32Device& device) noexcept : device_(device) {}
    ~TWin32Inside() { device_.Leave(); }
    TWin32Inside(const TWin32Inside&) = delete;
    TWin32Inside& operator=(const TWin32Inside&) = delete;

private:
    TWin32Device& device_;
};

} // namespace orbel
