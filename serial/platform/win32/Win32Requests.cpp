// Requests of the Win32 platform: overlapped reads and writes, and event
// waits, each on its own OVERLAPPED record and event, completed by
// GetOverlappedResult.
#include "serial/platform/win32/Win32ComPlatform.h"

#include "serial/platform/win32/Win32Errors.h"

#include <algorithm>
#include <chrono>

namespace orbel {

namespace {

std::shared_ptr<TWin32Request> StateOf(const TComRequest& request) noexcept {
    return std::static_pointer_cast<TWin32Request>(request.state);
}

ComResult Cancelled() noexcept {
    return Win32Result(ERROR_OPERATION_ABORTED);
}

// A new request on `device`, tracked by the device and held by
// `request` from here on.
ComResult Prepare(const std::shared_ptr<TWin32Device>& device, TWin32RequestKind kind,
                  TComRequest& request, std::shared_ptr<TWin32Request>& state) {
    state = std::make_shared<TWin32Request>(device, kind);
    if (!state->MakeEvents()) {
        return Win32LastError();
    }
    device->Track(*state);
    request.state = state;
    return ComResult::Success();
}

} // namespace

ComResult TWin32ComPlatform::StartRead(ComHandle handle, void* buffer, std::uint32_t count,
                                       TComRequest& request, std::uint32_t& done) {
    return StartTransfer(handle, buffer, count, TWin32RequestKind::Read, request, done);
}

ComResult TWin32ComPlatform::StartWrite(ComHandle handle, const void* buffer, std::uint32_t count,
                                        TComRequest& request, std::uint32_t& done) {
    // WriteFile only reads from the buffer.
    return StartTransfer(handle, const_cast<void*>(buffer), count, TWin32RequestKind::Write,
                         request, done);
}

ComResult TWin32ComPlatform::StartTransfer(ComHandle handle, void* buffer, std::uint32_t count,
                                           TWin32RequestKind kind, TComRequest& request,
                                           std::uint32_t& done) {
    done = 0;
    ReleaseRequest(request);
    return UseDevice(handle, [&](const DevicePtr& device) {
        std::shared_ptr<TWin32Request> state;
        if (const ComResult made = Prepare(device, kind, request, state); !made.Ok()) {
            return made;
        }
        // The system moves the bytes through the request's own buffer, which
        // outlives the caller's if the driver holds the request too long.
        const auto* from = static_cast<const std::uint8_t*>(buffer);
        if (kind == TWin32RequestKind::Read) {
            state->bytes.resize(count);
            state->destination = buffer;
        } else {
            state->bytes.assign(from, from + count);
        }
        state->budgetMs = device->BudgetOf(kind, count);
        DWORD moved = 0;
        const BOOL ok = kind == TWin32RequestKind::Read
                            ? device->Calls().ReadFile(device->Handle(), state->bytes.data(), count,
                                                       &moved, &state->overlapped)
                            : device->Calls().WriteFile(device->Handle(), state->bytes.data(),
                                                        count, &moved, &state->overlapped);
        if (ok) {
            // The count a start gives is not to be trusted for an overlapped
            // transfer (WriteFile's and ReadFile's documentation; Wine gives
            // 0): the record's own count is.
            if (DWORD counted = 0; device->Calls().GetOverlappedResult(
                    device->Handle(), &state->overlapped, &counted, FALSE)) {
                moved = counted;
            }
            state->completedAtStart = true;
            state->doneAtStart = moved;
            done = moved;
            if (kind == TWin32RequestKind::Read && moved != 0) {
                std::copy_n(state->bytes.data(), moved, static_cast<std::uint8_t*>(buffer));
            }
            return ComResult::Success();
        }
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING) {
            return Win32Result(error);
        }
        device->MarkIssued(*state);
        return ComResult::StillPending();
    });
}

ComResult TWin32ComPlatform::AwaitRequest(ComHandle, TComRequest& request,
                                          std::uint32_t& transferred) {
    transferred = 0;
    const auto state = StateOf(request);
    if (!state || state->kind == TWin32RequestKind::EventWait) {
        return Win32Result(ERROR_INVALID_PARAMETER);
    }
    if (state->completedAtStart) {
        transferred = state->doneAtStart;
        return ComResult::Success();
    }
    TWin32Device& device = *state->device;
    if (!device.WasIssued(*state)) {
        return Win32Result(ERROR_INVALID_PARAMETER); // its start failed
    }
    // Not inside the device while waiting: the close does not wait for a
    // transfer, it ends it (the stop event) and closes the handle.
    const DWORD limit =
        state->budgetMs == INFINITE ? INFINITE : state->budgetMs + Win32OverrunMarginMs;
    const HANDLE waits[2] = {state->stop, state->overlapped.hEvent};
    const DWORD which = WaitForMultipleObjects(2, waits, FALSE, limit);
    if (which != WAIT_OBJECT_0 + 1 && !device.Settle(*state)) {
        // Still held by the driver after its cancel: the record stays with
        // the device (ReleaseRequest).
        return which == WAIT_TIMEOUT ? Overrun(device) : Cancelled();
    }
    if (which == WAIT_TIMEOUT) {
        return Overrun(device); // given back to the cancel, past its time-outs
    }
    return Completed(*state, transferred);
}

// A transfer that ran past its own time-outs: a driver that no longer
// honours them has a device that no longer answers.
ComResult TWin32ComPlatform::Overrun(TWin32Device& device) {
    return Noted(device, {ComFault::DeviceLost, static_cast<std::int32_t>(WAIT_TIMEOUT)});
}

ComResult TWin32ComPlatform::Completed(TWin32Request& state, std::uint32_t& transferred) {
    TWin32Device& device = *state.device;
    if (!device.Enter()) {
        return Cancelled(); // the close has begun, and has ended the request
    }
    const TWin32Inside inside(device);
    DWORD moved = 0;
    const BOOL ok =
        device.Calls().GetOverlappedResult(device.Handle(), &state.overlapped, &moved, FALSE);
    const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    if (!ok && error == ERROR_IO_INCOMPLETE) {
        return Cancelled(); // ended, and not given back yet
    }
    device.MarkFinished(state);
    moved = std::min<DWORD>(moved, static_cast<DWORD>(state.bytes.size()));
    transferred = moved;
    if (state.kind == TWin32RequestKind::Read && moved != 0) {
        std::copy_n(state.bytes.data(), moved, static_cast<std::uint8_t*>(state.destination));
    }
    // Some drivers end a read that ran into its time-out with ERROR_TIMEOUT
    // rather than with success: a time-out is no failure either way. But a
    // device removed without a word to its handle shows only time-outs, so
    // such a read asks (at most once a second) whether it is still there.
    if (ok || error == ERROR_TIMEOUT) {
        const bool timedOut = state.kind == TWin32RequestKind::Read && moved < state.bytes.size();
        if (timedOut && device.DueForHealthCheck()) {
            if (const DWORD gone = LossOf(device, false); gone != ERROR_SUCCESS) {
                return Noted(device, {ComFault::DeviceLost, static_cast<std::int32_t>(gone)});
            }
        }
        return ComResult::Success();
    }
    // Aborted while nobody ended it, or a generic failure: drivers end what
    // is pending so when their device goes away, and some (usbser on
    // Windows 11) in normal use too. The device is lost only when a second
    // call on it fails as well; otherwise the transfer moved what it moved.
    const bool unasked =
        error == ERROR_OPERATION_ABORTED && device.EndingOf(state) == TWin32Ending::None;
    if (unasked || error == ERROR_GEN_FAILURE) {
        if (LossOf(device, true) == ERROR_SUCCESS) {
            return ComResult::Success();
        }
        return Noted(device, {ComFault::DeviceLost, static_cast<std::int32_t>(error)});
    }
    return Noted(device, Win32Result(error));
}

// ERROR_SUCCESS while the device is still there; otherwise the code that
// says it is gone: a call that needs no transfer failing as a lost device
// does (ClearCommError; GetCommModemStatus too when `modem`), or the port
// gone from the ports class that listed it at the open. A failure of
// another kind (a virtual port that refuses ClearCommError with 87) says
// nothing about the device.
DWORD TWin32ComPlatform::LossOf(TWin32Device& device, bool modem) {
    const auto lost = [](DWORD code) { return Win32FaultOf(code) == ComFault::DeviceLost; };
    DWORD errors = 0;
    COMSTAT stat{};
    if (!device.Calls().ClearCommError(device.Handle(), &errors, &stat)) {
        if (const DWORD code = GetLastError(); lost(code)) {
            return code;
        }
    }
    DWORD lines = 0;
    if (modem && !device.Calls().GetCommModemStatus(device.Handle(), &lines)) {
        if (const DWORD code = GetLastError(); lost(code)) {
            return code;
        }
    }
    if (device.InPortsClassAtOpen() && device.Calls().PortPresent(device.Path().c_str()) == 0) {
        return ERROR_DEVICE_NOT_CONNECTED;
    }
    return ERROR_SUCCESS;
}

void TWin32ComPlatform::ReleaseRequest(TComRequest& request) noexcept {
    const auto state = StateOf(request);
    if (!state) {
        return;
    }
    if (!state->device->Settle(*state)) {
        state->device->Adopt(state); // the system still holds it
    }
    state->device->Untrack(*state);
    request.state.reset();
}

void TWin32ComPlatform::CancelRequest(TComRequest& request) noexcept {
    if (const auto state = StateOf(request)) {
        state->device->Cancel(*state);
    }
}

ComResult TWin32ComPlatform::StartEventWait(ComHandle handle, TComRequest& request) {
    ReleaseRequest(request);
    return UseDevice(handle, [&](const DevicePtr& device) {
        std::shared_ptr<TWin32Request> state;
        const ComResult made = Prepare(device, TWin32RequestKind::EventWait, request, state);
        if (!made.Ok()) {
            return made;
        }
        state->started = std::chrono::steady_clock::now();
        if (device->Calls().WaitCommEvent(device->Handle(), &state->events, &state->overlapped)) {
            state->completedAtStart = true; // AwaitEvent hands the events over
            return ComResult::StillPending();
        }
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING) {
            return Win32Result(error);
        }
        device->MarkIssued(*state);
        return ComResult::StillPending();
    });
}

ComResult TWin32ComPlatform::AwaitEvent(ComHandle, TComRequest& request, std::uint32_t& events) {
    events = 0;
    const auto state = StateOf(request);
    if (!state || state->kind != TWin32RequestKind::EventWait) {
        return Win32Result(ERROR_INVALID_PARAMETER);
    }
    if (state->completedAtStart) {
        events = state->events;
        return ComResult::Success();
    }
    TWin32Device& device = *state->device;
    if (!device.WasIssued(*state)) {
        return Win32Result(ERROR_INVALID_PARAMETER);
    }
    // An event wait lasts until an event comes or it is ended from outside;
    // ended, it is given back within a bounded time or left to the device.
    const HANDLE waits[2] = {state->stop, state->overlapped.hEvent};
    const DWORD which = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    if (which != WAIT_OBJECT_0 + 1) {
        device.Settle(*state);
        return device.EndingOf(*state) == TWin32Ending::Aborted ? Cancelled()
                                                                : ComResult::Success();
    }
    if (!device.Enter()) {
        return Cancelled();
    }
    const TWin32Inside inside(device);
    DWORD unused = 0;
    const BOOL ok =
        device.Calls().GetOverlappedResult(device.Handle(), &state->overlapped, &unused, FALSE);
    const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    device.MarkFinished(*state);
    if (ok && state->events != 0) {
        device.NoteAbortedWait(false);
        events = state->events;
        return ComResult::Success();
    }
    if (ok || error == ERROR_OPERATION_ABORTED) {
        // No events: ended by an abort or the close, by CancelRequest, or by
        // a change of the event mask (some drivers report that as aborted).
        // Only the first is a failure. A driver that aborts every wait at
        // once on its own (995 in normal use) is given a growing pause, up
        // to half a second, before the event thread waits again; a cancel
        // or the close ends the pause.
        if (error == ERROR_OPERATION_ABORTED && device.EndingOf(*state) == TWin32Ending::None) {
            const bool atOnce =
                std::chrono::steady_clock::now() - state->started < std::chrono::milliseconds(2);
            WaitForSingleObject(state->stop, device.NoteAbortedWait(atOnce));
        }
        return device.EndingOf(*state) == TWin32Ending::Aborted ? Cancelled()
                                                                : ComResult::Success();
    }
    device.NoteAbortedWait(false);
    return Noted(device, Win32Result(error));
}

} // namespace orbel
