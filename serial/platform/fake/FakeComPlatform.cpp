#include "serial/platform/fake/FakeComPlatform.h"

#include "serial/platform/ErrnoResult.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace orbel {

namespace {

struct TFakeRequest {
    bool write = false;
    std::uint8_t* buffer = nullptr;
    std::uint32_t count = 0;
    // Event waits: cancelled, and the generations it began under.
    bool cancelled = false;
    std::uint64_t maskGeneration = 0;
    std::uint64_t abortGeneration = 0;
};

std::string Join(std::initializer_list<std::uint64_t> values) {
    std::string text;
    for (const auto value : values) {
        text += (text.empty() ? "" : ", ") + std::to_string(value);
    }
    return text;
}

std::string Hex(std::uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

std::string H(ComHandle handle) {
    return std::to_string(handle);
}

// An errno value as the POSIX platform reports it.
ComResult Failure(int error) {
    return ErrnoResult(error);
}

} // namespace

std::string TFakeComPlatform::Describe(const TComDeviceControl& c) {
    return "BaudRate=" + std::to_string(c.BaudRate) + " Flags=" + Hex(c.Flags, 8) +
           " XonLim=" + std::to_string(c.XonLim) + " XoffLim=" + std::to_string(c.XoffLim) +
           " ByteSize=" + std::to_string(c.ByteSize) + " Parity=" + std::to_string(c.Parity) +
           " StopBits=" + std::to_string(c.StopBits) + " XonChar=" + std::to_string(c.XonChar) +
           " XoffChar=" + std::to_string(c.XoffChar) + " ErrorChar=" + std::to_string(c.ErrorChar) +
           " EofChar=" + std::to_string(c.EofChar) + " EvtChar=" + std::to_string(c.EvtChar);
}

std::vector<std::string> TFakeComPlatform::Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

void TFakeComPlatform::ClearCalls() {
    std::lock_guard lock(mutex_);
    calls_.clear();
}

bool TFakeComPlatform::IsOpen() const {
    std::lock_guard lock(mutex_);
    return open_ != InvalidComHandle;
}

std::optional<TComDeviceControl> TFakeComPlatform::DeviceControl() const {
    std::lock_guard lock(mutex_);
    return control_;
}

std::optional<TComTimeoutRecord> TFakeComPlatform::Timeouts() const {
    std::lock_guard lock(mutex_);
    return timeouts_;
}

std::vector<std::vector<std::uint8_t>> TFakeComPlatform::Written() const {
    std::lock_guard lock(mutex_);
    return written_;
}

void TFakeComPlatform::FailNext(const std::string& call, ComResult failure) {
    std::lock_guard lock(mutex_);
    failures_[call].push_back(failure);
}

void TFakeComPlatform::FailNext(const std::string& call, int error) {
    FailNext(call, Failure(error));
}

void TFakeComPlatform::QueueRead(std::vector<std::uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    reads_.push_back(std::move(bytes));
}

TFakeLine& TFakeComPlatform::UseTimedLine() {
    std::lock_guard lock(mutex_);
    timed_ = true;
    return line_;
}

std::uint64_t TFakeComPlatform::ClockUs() const {
    std::lock_guard lock(mutex_);
    return timed_ ? line_.NowUs() : IComPlatform::ClockUs();
}

void TFakeComPlatform::SetModemStatus(std::uint32_t status) {
    std::lock_guard lock(mutex_);
    modemStatus_ = status;
}

void TFakeComPlatform::SetLineErrors(std::uint32_t errors) {
    std::lock_guard lock(mutex_);
    lineErrors_ = errors;
}

void TFakeComPlatform::SetInQueue(std::uint32_t count) {
    std::lock_guard lock(mutex_);
    inQueue_ = count;
}

void TFakeComPlatform::RaiseEvents(std::uint32_t events) {
    {
        std::lock_guard lock(mutex_);
        raised_.push_back(events);
    }
    eventChanged_.notify_all();
}

int TFakeComPlatform::EventWaits() const {
    std::lock_guard lock(mutex_);
    return eventWaits_;
}

// Called with the mutex held.
ComResult TFakeComPlatform::Enter(const std::string& name, const std::string& arguments,
                                  ComHandle handle) {
    calls_.push_back(name + "(" + arguments + ")");
    if (auto it = failures_.find(name); it != failures_.end() && !it->second.empty()) {
        const ComResult error = it->second.front();
        it->second.pop_front();
        return error;
    }
    return handle == open_ && handle != InvalidComHandle ? ComResult::Success() : Failure(EBADF);
}

ComResult TFakeComPlatform::Open(const std::string& name, ComHandle& handle) {
    std::lock_guard lock(mutex_);
    handle = InvalidComHandle;
    calls_.push_back("Open(" + name + ")");
    if (auto it = failures_.find("Open"); it != failures_.end() && !it->second.empty()) {
        const ComResult error = it->second.front();
        it->second.pop_front();
        return error;
    }
    if (open_ != InvalidComHandle) {
        return Failure(EBUSY);
    }
    open_ = handle = nextHandle_++;
    return ComResult::Success();
}

ComResult TFakeComPlatform::Close(ComHandle handle) {
    std::lock_guard lock(mutex_);
    const ComResult error = Enter("Close", H(handle), handle);
    if (error.Ok()) {
        open_ = InvalidComHandle;
        control_.reset();
        timeouts_.reset();
        ++abortGeneration_;
        eventChanged_.notify_all();
    }
    return error;
}

ComResult TFakeComPlatform::SetQueueSizes(ComHandle handle, std::uint32_t input,
                                          std::uint32_t output) {
    std::lock_guard lock(mutex_);
    return Enter("SetQueueSizes", Join({std::uint64_t(handle), input, output}), handle);
}

ComResult TFakeComPlatform::SetDeviceControl(ComHandle handle, const TComDeviceControl& control) {
    std::lock_guard lock(mutex_);
    const ComResult error = Enter("SetDeviceControl", H(handle) + ", " + Describe(control), handle);
    if (error.Ok()) {
        control_ = control;
    }
    return error;
}

ComResult TFakeComPlatform::SetTimeouts(ComHandle handle, const TComTimeoutRecord& t) {
    std::lock_guard lock(mutex_);
    const ComResult error =
        Enter("SetTimeouts",
              Join({std::uint64_t(handle), t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier,
                    t.ReadTotalTimeoutConstant, t.WriteTotalTimeoutMultiplier,
                    t.WriteTotalTimeoutConstant}),
              handle);
    if (error.Ok()) {
        timeouts_ = t;
    }
    return error;
}

ComResult TFakeComPlatform::StartRead(ComHandle handle, void* buffer, std::uint32_t count,
                                      TComRequest& request, std::uint32_t& done) {
    std::lock_guard lock(mutex_);
    done = 0;
    const ComResult error = Enter("StartRead", Join({std::uint64_t(handle), count}), handle);
    if (!error.Ok()) {
        return error;
    }
    request.state = std::make_shared<TFakeRequest>(
        TFakeRequest{false, static_cast<std::uint8_t*>(buffer), count});
    return ComResult::StillPending();
}

ComResult TFakeComPlatform::StartWrite(ComHandle handle, const void* buffer, std::uint32_t count,
                                       TComRequest& request, std::uint32_t& done) {
    std::lock_guard lock(mutex_);
    done = 0;
    const ComResult error = Enter("StartWrite", Join({std::uint64_t(handle), count}), handle);
    if (!error.Ok()) {
        return error;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    written_.emplace_back(bytes, bytes + count);
    if (timed_) {
        line_.Written();
    }
    request.state = std::make_shared<TFakeRequest>(TFakeRequest{true, nullptr, count});
    return ComResult::StillPending();
}

ComResult TFakeComPlatform::AwaitRequest(ComHandle handle, TComRequest& request,
                                         std::uint32_t& transferred) {
    std::lock_guard lock(mutex_);
    transferred = 0;
    if (const ComResult error = Enter("AwaitRequest", H(handle), handle); !error.Ok()) {
        return error;
    }
    const auto state = std::static_pointer_cast<TFakeRequest>(request.state);
    if (!state) {
        return Failure(EINVAL);
    }
    if (state->write) {
        transferred = state->count;
        return ComResult::Success();
    }
    if (timed_) {
        transferred =
            line_.Read(state->buffer, state->count, timeouts_.value_or(TComTimeoutRecord{}));
    } else if (!reads_.empty()) {
        const auto& chunk = reads_.front();
        transferred =
            std::min<std::uint32_t>(state->count, static_cast<std::uint32_t>(chunk.size()));
        std::memcpy(state->buffer, chunk.data(), transferred);
        reads_.pop_front();
    }
    return ComResult::Success();
}

void TFakeComPlatform::ReleaseRequest(TComRequest& request) noexcept {
    std::lock_guard lock(mutex_);
    calls_.emplace_back("ReleaseRequest()");
    request.state.reset();
}

ComResult TFakeComPlatform::Purge(ComHandle handle, std::uint32_t flags) {
    std::lock_guard lock(mutex_);
    const ComResult error = Enter("Purge", Join({std::uint64_t(handle), flags}), handle);
    if (error.Ok() && timed_ && (flags & PurgeFlag::RxClear) != 0) {
        line_.ClearInput();
    }
    if (error.Ok() && (flags & (PurgeFlag::TxAbort | PurgeFlag::RxAbort)) != 0) {
        ++abortGeneration_;
        eventChanged_.notify_all();
    }
    return error;
}

ComResult TFakeComPlatform::ClearErrors(ComHandle handle, std::uint32_t& errors, TComStat& status) {
    std::lock_guard lock(mutex_);
    errors = 0;
    status = {};
    const ComResult error = Enter("ClearErrors", H(handle), handle);
    if (error.Ok()) {
        errors = lineErrors_;
        lineErrors_ = 0;
        status.InQueue = timed_ ? line_.Waiting() : inQueue_;
    }
    return error;
}

ComResult TFakeComPlatform::GetModemStatus(ComHandle handle, std::uint32_t& status) {
    std::lock_guard lock(mutex_);
    status = 0;
    const ComResult error = Enter("GetModemStatus", H(handle), handle);
    if (error.Ok()) {
        status = modemStatus_;
    }
    return error;
}

ComResult TFakeComPlatform::SetEventMask(ComHandle handle, std::uint32_t mask) {
    std::lock_guard lock(mutex_);
    const ComResult error = Enter("SetEventMask", H(handle) + ", " + Hex(mask, 4), handle);
    if (error.Ok()) {
        ++maskGeneration_;
        eventChanged_.notify_all();
    }
    return error;
}

ComResult TFakeComPlatform::StartEventWait(ComHandle handle, TComRequest& request) {
    std::lock_guard lock(mutex_);
    const ComResult error = Enter("StartEventWait", H(handle), handle);
    if (!error.Ok()) {
        return error;
    }
    auto state = std::make_shared<TFakeRequest>();
    state->maskGeneration = maskGeneration_;
    state->abortGeneration = abortGeneration_;
    request.state = state;
    return ComResult::StillPending();
}

ComResult TFakeComPlatform::AwaitEvent(ComHandle handle, TComRequest& request,
                                       std::uint32_t& events) {
    std::unique_lock lock(mutex_);
    events = 0;
    if (const ComResult error = Enter("AwaitEvent", H(handle), handle); !error.Ok()) {
        return error;
    }
    const auto state = std::static_pointer_cast<TFakeRequest>(request.state);
    if (!state) {
        return Failure(EINVAL);
    }
    ++eventWaits_;
    eventChanged_.wait(lock, [&] {
        return !raised_.empty() || state->cancelled || state->maskGeneration != maskGeneration_ ||
               state->abortGeneration != abortGeneration_;
    });
    if (state->abortGeneration != abortGeneration_) {
        return Failure(ECANCELED);
    }
    if (state->cancelled || state->maskGeneration != maskGeneration_) {
        return ComResult::Success();
    }
    events = raised_.front();
    raised_.pop_front();
    return ComResult::Success();
}

void TFakeComPlatform::CancelRequest(TComRequest& request) noexcept {
    std::lock_guard lock(mutex_);
    calls_.emplace_back("CancelRequest()");
    if (const auto state = std::static_pointer_cast<TFakeRequest>(request.state)) {
        state->cancelled = true;
        eventChanged_.notify_all();
    }
}

std::string TFakeComPlatform::SystemErrorText(std::int32_t systemCode) const {
    return std::strerror(systemCode);
}

ComResult TFakeComPlatform::FaultResult(ComFault fault) const {
    return {fault, fault == ComFault::Cancelled ? ECANCELED : EINVAL};
}

} // namespace orbel
