#include "ScriptedWin32Calls.h"

#include <algorithm>

namespace {

constexpr DWORD Never = 0; // no deadline
constexpr WORD DriverMark = 0x5A5A;

} // namespace

const std::vector<TDriverProfile>& DriverProfiles() {
    static const std::vector<TDriverProfile> profiles = {
        // usbser.sys (CDC-ACM), a framework driver from Windows 10 on: its
        // refusal after removal is STATUS_INVALID_DEVICE_STATE, which callers
        // see as ERROR_BAD_COMMAND (the NTSTATUS to Win32 table); repeated read
        // failures with 22, then reopens failing with 2 (sigrok-pico issue 7);
        // what is pending is cancelled at the removal, STATUS_CANCELLED
        // (Microsoft's surprise-removal guidance for drivers).
        {"usbser", ERROR_BAD_COMMAND, ERROR_BAD_COMMAND, ERROR_OPERATION_ABORTED,
         ERROR_OPERATION_ABORTED, 0, ERROR_FILE_NOT_FOUND},
        // FTDI: no removal codes in public reports; the generic failure
        // (STATUS_UNSUCCESSFUL) for calls and a cancelled read nobody asked
        // for. Its idle event wait ends with the CTS-off event the unplug
        // makes (jssc issue 74).
        {"FTDI-like", ERROR_GEN_FAILURE, ERROR_OPERATION_ABORTED, ERROR_OPERATION_ABORTED, 0,
         EV_CTS, ERROR_FILE_NOT_FOUND},
        // Prolific: no removal codes in public reports; the USB stack's
        // STATUS_DEVICE_NOT_CONNECTED for calls and reads, a pending write
        // ending with 2 as GetOverlappedResult gave it after a disconnect
        // (node-serialport issue 95).
        {"Prolific-like", ERROR_DEVICE_NOT_CONNECTED, ERROR_DEVICE_NOT_CONNECTED,
         ERROR_FILE_NOT_FOUND, ERROR_OPERATION_ABORTED, 0, ERROR_FILE_NOT_FOUND},
        // CH340: ReadFile fails with 5 after the unplug (node-serialport issue
        // 1145), "access is denied" everywhere (SerialPortStream issue 143),
        // WriteFile with 5 repeatedly (node-serialport pull request 632): the
        // kernel's STATUS_DELETE_PENDING on a handle whose device is going.
        {"CH340-like", ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED,
         ERROR_ACCESS_DENIED, 0, ERROR_FILE_NOT_FOUND},
    };
    return profiles;
}

TScriptedWin32Calls::TScriptedWin32Calls(std::wstring port)
    : port_(std::move(port)), profile_(DriverProfiles().front()) {
    timer_ = std::thread([this] { Timer(); });
}

TScriptedWin32Calls::~TScriptedWin32Calls() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    timer_.join();
}

void TScriptedWin32Calls::ResetHabits() {
    std::lock_guard lock(mutex_);
    profile_ = DriverProfiles().front();
    clearCommErrorFails = cancelNeverEndsWait = purgeFails = writesPend = false;
    readsNeverEnd = cancelsIgnored = maskChangeIgnored = waitsAbortAtOnce = false;
    foreignDcbRefused = portsClassUnreadable = false;
    shortWriteBytes = -1;
    spuriousFailures = openBlocksMs = busyOpens = 0;
    spuriousCode = ERROR_OPERATION_ABORTED;
    pace = TPace::AtOnce;
    burstMs = 16;
}

void TScriptedWin32Calls::UseProfile(const TDriverProfile& profile) {
    std::lock_guard lock(mutex_);
    profile_ = profile;
}

void TScriptedWin32Calls::Unplug() {
    std::lock_guard lock(mutex_);
    plugged_ = false;
    input_.clear();
    arriving_.clear();
    for (auto& [handle, state] : handles_) {
        state.removed = true;
        // The driver fails what is outstanding (Microsoft's surprise-removal
        // guidance), each kind with the profile's code.
        EndPending(state, TKind::Read, profile_.readError, 0);
        EndPending(state, TKind::Write, profile_.writeError, 0);
        EndPending(state, TKind::Wait, profile_.waitError, profile_.waitEvents);
    }
    changed_.notify_all();
}

void TScriptedWin32Calls::SilentlyRemove() {
    std::lock_guard lock(mutex_);
    silentlyRemoved_ = true;
    input_.clear();
    arriving_.clear();
}

int TScriptedWin32Calls::PortPresent(LPCWSTR port) {
    std::lock_guard lock(mutex_);
    if (portsClassUnreadable) {
        return -1;
    }
    const std::wstring name = port;
    const bool ours = name == port_ || port_.ends_with(L"\\" + name);
    return ours && plugged_ && !silentlyRemoved_ ? 1 : 0;
}

void TScriptedWin32Calls::Replug() {
    std::lock_guard lock(mutex_);
    plugged_ = true;
    silentlyRemoved_ = false;
    writes_ = 0;
}

bool TScriptedWin32Calls::AwaitPending(TKind kind) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [&] {
        return std::any_of(handles_.begin(), handles_.end(), [&](const auto& entry) {
            const auto& pending = entry.second.pending;
            return std::any_of(pending.begin(), pending.end(),
                               [&](const TPending& p) { return p.kind == kind; });
        });
    });
}

bool TScriptedWin32Calls::AwaitPurgeAfterWrite() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10),
                             [&] { return writes_ > 0 && purges_ > purgesAtWrite_; });
}

int TScriptedWin32Calls::WaitCalls() {
    std::lock_guard lock(mutex_);
    return waitCalls_;
}

int TScriptedWin32Calls::OpenHandles() {
    std::lock_guard lock(mutex_);
    return static_cast<int>(handles_.size());
}

BOOL TScriptedWin32Calls::Fail(DWORD error) {
    ::SetLastError(error);
    return FALSE;
}

TScriptedWin32Calls::THandle* TScriptedWin32Calls::Live(HANDLE handle, DWORD& error) {
    const auto it = handles_.find(handle);
    if (it == handles_.end()) {
        error = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    if (it->second.removed) {
        // Every request but close and clean-up fails once the device is
        // gone (Microsoft's surprise-removal guidance); a re-issued
        // WaitCommEvent fails at once too (juce_serialport issue 11).
        error = profile_.callError;
        return nullptr;
    }
    return &it->second;
}

void TScriptedWin32Calls::Complete(const TPending& pending, DWORD error, DWORD bytes) {
    done_[pending.overlapped] = {error, bytes};
    ::SetEvent(pending.overlapped->hEvent);
}

void TScriptedWin32Calls::EndPending(THandle& state, TKind kind, DWORD error, DWORD events) {
    auto& pending = state.pending;
    for (auto it = pending.begin(); it != pending.end();) {
        if (it->kind != kind) {
            ++it;
            continue;
        }
        if (it->events != nullptr) {
            *it->events = events;
        }
        Complete(*it, error, 0);
        it = pending.erase(it);
    }
}

bool TScriptedWin32Calls::Enough(const THandle& state, DWORD count) const {
    const COMMTIMEOUTS& t = state.timeouts;
    if (t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == 0 &&
        t.ReadTotalTimeoutConstant == 0) {
        return true; // what is there, at once
    }
    if (t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == MAXDWORD) {
        return !input_.empty(); // the first byte ends it
    }
    return input_.size() >= count; // "n bytes, at most this long"
}

void TScriptedWin32Calls::TakeInto(const TPending& pending, DWORD error) {
    const DWORD n = std::min<DWORD>(pending.count, static_cast<DWORD>(input_.size()));
    std::copy_n(input_.begin(), n, pending.buffer);
    input_.erase(input_.begin(), input_.begin() + n);
    Complete(pending, error, n);
}

void TScriptedWin32Calls::Deliver(THandle& state) {
    auto& pending = state.pending;
    for (auto it = pending.begin(); it != pending.end();) {
        if (it->kind == TKind::Read && !input_.empty() && Enough(state, it->count)) {
            TakeInto(*it, ERROR_SUCCESS);
            it = pending.erase(it);
        } else if (it->kind == TKind::Wait && !input_.empty() && (state.mask & EV_RXCHAR) != 0) {
            *it->events = EV_RXCHAR;
            Complete(*it, ERROR_SUCCESS, 0);
            it = pending.erase(it);
        } else {
            ++it;
        }
    }
}

void TScriptedWin32Calls::Arrive(THandle& state, const std::vector<std::uint8_t>& reply,
                                 DWORD requestBytes) {
    if (pace == TPace::AtOnce) {
        input_.insert(input_.end(), reply.begin(), reply.end());
        Deliver(state);
        return;
    }
    // Eleven bits a byte: start, eight data, mark parity, stop.
    const DWORD baud = state.dcb.BaudRate != 0 ? state.dcb.BaudRate : CBR_9600;
    const auto byteTime = std::chrono::microseconds(11'000'000 / baud);
    const auto start = Clock::now();
    for (std::size_t i = 0; i < reply.size(); ++i) {
        auto at = byteTime * (requestBytes + i + 1);
        if (pace == TPace::Bursts) {
            // Held in the chip until its latency timer runs out.
            const auto burst = std::chrono::milliseconds(burstMs);
            at = (at / burst + 1) * burst;
        }
        arriving_.emplace_back(start + at, reply[i]);
    }
    changed_.notify_all();
}

void TScriptedWin32Calls::Timer() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        auto next = Clock::time_point::max();
        const auto now = Clock::now();
        bool arrived = false;
        while (!arriving_.empty() && arriving_.front().first <= now) {
            input_.push_back(arriving_.front().second);
            arriving_.pop_front();
            arrived = true;
        }
        if (!arriving_.empty()) {
            next = arriving_.front().first;
        }
        for (auto& [handle, state] : handles_) {
            if (arrived) {
                Deliver(state);
            }
            auto& pending = state.pending;
            for (auto it = pending.begin(); it != pending.end();) {
                if (it->deadline <= now) {
                    TakeInto(*it, ERROR_SUCCESS); // a read's time-out: what came
                    it = pending.erase(it);
                } else {
                    next = std::min(next, it->deadline);
                    ++it;
                }
            }
        }
        if (next == Clock::time_point::max()) {
            changed_.wait(lock);
        } else {
            changed_.wait_until(lock, next);
        }
    }
}

HANDLE TScriptedWin32Calls::CreateFileW(LPCWSTR name, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD,
                                        DWORD, HANDLE) {
    std::unique_lock lock(mutex_);
    if (openBlocksMs > 0) {
        const auto blocked = std::chrono::milliseconds(openBlocksMs);
        lock.unlock();
        std::this_thread::sleep_for(blocked); // the driver's own time, not a test's wait
        ::SetLastError(ERROR_SEM_TIMEOUT);
        return INVALID_HANDLE_VALUE;
    }
    DWORD error = ERROR_SUCCESS;
    if (busyOpens > 0 && port_ == name && plugged_) {
        --busyOpens;
        error = ERROR_ACCESS_DENIED;
    } else if (port_ != name || !plugged_) {
        error = ERROR_FILE_NOT_FOUND;
    } else if (std::any_of(handles_.begin(), handles_.end(),
                           [](const auto& entry) { return entry.second.removed; })) {
        // The old instance shadows the replugged one until its handle is
        // closed (pySerial issue 57; Arduino issue 1340).
        error = profile_.reopenError;
    } else if (!handles_.empty()) {
        error = ERROR_ACCESS_DENIED; // opened with share mode 0 (CreateFile's documentation)
    }
    if (error != ERROR_SUCCESS) {
        ::SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    next_ += 4;
    const HANDLE handle = reinterpret_cast<HANDLE>(next_);
    handles_[handle].dcb.DCBlength = sizeof(DCB);
    handles_[handle].dcb.wReserved1 = DriverMark; // the driver's own word
    return handle;
}

BOOL TScriptedWin32Calls::CloseHandle(HANDLE handle) {
    std::lock_guard lock(mutex_);
    const auto it = handles_.find(handle);
    if (it == handles_.end()) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    // The clean-up ends whatever is still pending; the close succeeds even
    // on a removed device (Microsoft's surprise-removal guidance).
    for (const TPending& pending : it->second.pending) {
        Complete(pending, ERROR_OPERATION_ABORTED, 0);
    }
    handles_.erase(it);
    changed_.notify_all();
    return TRUE;
}

BOOL TScriptedWin32Calls::ReadFile(HANDLE handle, LPVOID buffer, DWORD count, LPDWORD done,
                                   LPOVERLAPPED overlapped) {
    std::lock_guard lock(mutex_);
    DWORD error = ERROR_SUCCESS;
    THandle* state = Live(handle, error);
    if (state == nullptr) {
        return Fail(error);
    }
    ::ResetEvent(overlapped->hEvent);
    done_.erase(overlapped); // a record the platform settled without asking
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    const COMMTIMEOUTS& t = state->timeouts;
    if (spuriousFailures > 0) {
        --spuriousFailures;
        Complete({TKind::Read, overlapped, bytes, count, nullptr, {}}, spuriousCode, 0);
        return Fail(ERROR_IO_PENDING);
    }
    if (Enough(*state, count)) {
        const DWORD n = std::min<DWORD>(count, static_cast<DWORD>(input_.size()));
        std::copy_n(input_.begin(), n, bytes);
        input_.erase(input_.begin(), input_.begin() + n);
        *done = n;
        done_[overlapped] = {ERROR_SUCCESS, n}; // the record holds the count too
        ::SetEvent(overlapped->hEvent);
        return TRUE;
    }
    const DWORD budget = t.ReadTotalTimeoutMultiplier == MAXDWORD
                             ? t.ReadTotalTimeoutConstant
                             : t.ReadTotalTimeoutConstant + t.ReadTotalTimeoutMultiplier * count;
    const auto deadline = budget == Never || readsNeverEnd
                              ? Clock::time_point::max()
                              : Clock::now() + std::chrono::milliseconds(budget);
    state->pending.push_back({TKind::Read, overlapped, bytes, count, nullptr, deadline});
    changed_.notify_all();
    return Fail(ERROR_IO_PENDING);
}

BOOL TScriptedWin32Calls::WriteFile(HANDLE handle, LPCVOID buffer, DWORD count, LPDWORD done,
                                    LPOVERLAPPED overlapped) {
    std::lock_guard lock(mutex_);
    DWORD error = ERROR_SUCCESS;
    THandle* state = Live(handle, error);
    if (state == nullptr) {
        return Fail(error);
    }
    ::ResetEvent(overlapped->hEvent);
    done_.erase(overlapped); // a record the platform settled without asking
    ++writes_;
    purgesAtWrite_ = purges_;
    if (writesPend) {
        state->pending.push_back(
            {TKind::Write, overlapped, nullptr, count, nullptr, Clock::time_point::max()});
        changed_.notify_all();
        return Fail(ERROR_IO_PENDING);
    }
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    if (shortWriteBytes >= 0 && static_cast<DWORD>(shortWriteBytes) < count) {
        // Half a request reaches the line: the instrument answers nothing.
        *done = static_cast<DWORD>(shortWriteBytes);
        done_[overlapped] = {ERROR_SUCCESS, *done};
        ::SetEvent(overlapped->hEvent);
        return TRUE;
    }
    if (answer && !silentlyRemoved_) {
        Arrive(*state, answer({bytes, bytes + count}), count);
    }
    *done = count;
    done_[overlapped] = {ERROR_SUCCESS, count};
    ::SetEvent(overlapped->hEvent);
    return TRUE;
}

BOOL TScriptedWin32Calls::WaitCommEvent(HANDLE handle, LPDWORD events, LPOVERLAPPED overlapped) {
    std::lock_guard lock(mutex_);
    DWORD error = ERROR_SUCCESS;
    THandle* state = Live(handle, error);
    if (state == nullptr) {
        return Fail(error);
    }
    if (state->mask == 0) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    ::ResetEvent(overlapped->hEvent);
    done_.erase(overlapped); // a record the platform settled without asking
    *events = 0;
    ++waitCalls_;
    if (waitsAbortAtOnce) {
        Complete({TKind::Wait, overlapped, nullptr, 0, events, {}}, ERROR_OPERATION_ABORTED, 0);
        return Fail(ERROR_IO_PENDING);
    }
    state->pending.push_back(
        {TKind::Wait, overlapped, nullptr, 0, events, Clock::time_point::max()});
    changed_.notify_all();
    return Fail(ERROR_IO_PENDING);
}

BOOL TScriptedWin32Calls::GetOverlappedResult(HANDLE, LPOVERLAPPED overlapped, LPDWORD done, BOOL) {
    std::lock_guard lock(mutex_);
    const auto it = done_.find(overlapped);
    if (it == done_.end()) {
        return Fail(ERROR_IO_INCOMPLETE);
    }
    const TDone result = it->second;
    done_.erase(it);
    *done = result.bytes;
    return result.error == ERROR_SUCCESS ? TRUE : Fail(result.error);
}

BOOL TScriptedWin32Calls::CancelIoEx(HANDLE handle, LPOVERLAPPED overlapped) {
    std::lock_guard lock(mutex_);
    const auto h = handles_.find(handle);
    if (h == handles_.end()) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    auto& pending = h->second.pending;
    const auto it = std::find_if(pending.begin(), pending.end(),
                                 [&](const TPending& p) { return p.overlapped == overlapped; });
    if (it == pending.end()) {
        return Fail(ERROR_NOT_FOUND); // nothing pending (CancelIoEx's documentation)
    }
    if (cancelsIgnored || (it->kind == TKind::Wait && cancelNeverEndsWait)) {
        // The cancel is taken and the driver decides (CancelIoEx's
        // documentation): this one never ends the wait, as a Cypress driver
        // kept a pending WaitCommEvent (libserialport pull request 20).
        return TRUE;
    }
    Complete(*it, ERROR_OPERATION_ABORTED, 0);
    pending.erase(it);
    return TRUE;
}

BOOL TScriptedWin32Calls::SetCommMask(HANDLE handle, DWORD mask) {
    std::lock_guard lock(mutex_);
    return OnLive(handle, [&](THandle& state) {
        // A running wait ends at once with no events (WaitCommEvent's
        // documentation), unless the driver is one that keeps it.
        if (!maskChangeIgnored) {
            EndPending(state, TKind::Wait, ERROR_SUCCESS, 0);
        }
        state.mask = mask;
        return TRUE;
    });
}

BOOL TScriptedWin32Calls::PurgeComm(HANDLE handle, DWORD flags) {
    std::lock_guard lock(mutex_);
    ++purges_;
    changed_.notify_all();
    return OnLive(handle, [&](THandle& state) {
        if (purgeFails) {
            return Fail(ERROR_GEN_FAILURE);
        }
        // The abort flags end the pending transfers (PurgeComm's documentation).
        if ((flags & PURGE_RXABORT) != 0) {
            EndPending(state, TKind::Read, ERROR_OPERATION_ABORTED, 0);
        }
        if ((flags & PURGE_TXABORT) != 0) {
            EndPending(state, TKind::Write, ERROR_OPERATION_ABORTED, 0);
        }
        if ((flags & PURGE_RXCLEAR) != 0) {
            input_.clear();
        }
        return TRUE;
    });
}

BOOL TScriptedWin32Calls::ClearCommError(HANDLE handle, LPDWORD errors, LPCOMSTAT status) {
    std::lock_guard lock(mutex_);
    return OnLive(handle, [&](THandle&) {
        if (clearCommErrorFails) {
            return Fail(ERROR_INVALID_PARAMETER); // a u-blox virtual port (pySerial issue 575)
        }
        *errors = 0;
        *status = COMSTAT{};
        status->cbInQue = static_cast<DWORD>(input_.size());
        return TRUE;
    });
}

BOOL TScriptedWin32Calls::GetCommModemStatus(HANDLE handle, LPDWORD status) {
    std::lock_guard lock(mutex_);
    return OnLive(handle, [&](THandle&) {
        *status = MS_CTS_ON | MS_DSR_ON;
        return TRUE;
    });
}

BOOL TScriptedWin32Calls::GetCommState(HANDLE handle, LPDCB dcb) {
    std::lock_guard lock(mutex_);
    return OnLive(handle, [&](THandle& state) {
        *dcb = state.dcb;
        return TRUE;
    });
}

BOOL TScriptedWin32Calls::SetCommState(HANDLE handle, LPDCB dcb) {
    std::lock_guard lock(mutex_);
    return OnLive(handle, [&](THandle& state) {
        if (foreignDcbRefused && dcb->wReserved1 != DriverMark) {
            return Fail(ERROR_INVALID_PARAMETER);
        }
        state.dcb = *dcb;
        return TRUE;
    });
}

BOOL TScriptedWin32Calls::SetCommTimeouts(HANDLE handle, LPCOMMTIMEOUTS timeouts) {
    std::lock_guard lock(mutex_);
    return OnLive(handle, [&](THandle& state) {
        state.timeouts = *timeouts;
        return TRUE;
    });
}

BOOL TScriptedWin32Calls::SetupComm(HANDLE handle, DWORD, DWORD) {
    std::lock_guard lock(mutex_);
    return OnLive(handle, [](THandle&) { return TRUE; });
}
