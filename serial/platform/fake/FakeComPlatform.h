// A recording, scriptable platform for unit tests. It records every call with
// its arguments, in order, as text; keeps the device state that successful
// calls leave behind; and lets a test script failures and the bytes reads
// return. Calls on a handle that is not open fail (EBADF), as on a system.
// Failures carry errno values as their system codes, whatever the system.
#pragma once

#include "serial/platform/ComPlatform.h"
#include "serial/platform/fake/FakeLine.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace orbel {

class TFakeComPlatform : public IComPlatform {
public:
    // --- what the test sees ---
    std::vector<std::string> Calls() const;
    void ClearCalls();
    bool IsOpen() const;
    // What the open device holds, as the last successful calls set it.
    std::optional<TComDeviceControl> DeviceControl() const;
    std::optional<TComTimeoutRecord> Timeouts() const;
    std::vector<std::vector<std::uint8_t>> Written() const;

    // --- what the test scripts ---
    // The next call of that name ("Open", "SetDeviceControl", ...) fails with
    // `failure`; several scripted failures of one name are used in order.
    void FailNext(const std::string& call, ComResult failure);
    // The same with an errno value, of the kind a POSIX system gives it.
    void FailNext(const std::string& call, int error);
    // Each read takes the next chunk, cut to the count asked for; without a
    // chunk a read ends with nothing, as at its time-out.
    void QueueRead(std::vector<std::uint8_t> bytes);
    // From this call on, reads, purges and the input count follow a line on
    // a virtual clock (QueueRead's chunks are no longer used); the test
    // scripts it through the returned line, which lives as long as the fake.
    // Not for use while transfers run on other threads.
    TFakeLine& UseTimedLine();
    void SetModemStatus(std::uint32_t status);
    void SetLineErrors(std::uint32_t errors);
    void SetInQueue(std::uint32_t count);
    // The next event wait (a running one at once) completes with these
    // EventMask bits; several raises are taken one per wait, in order.
    void RaiseEvents(std::uint32_t events);
    // The number of event waits begun so far (AwaitEvent calls).
    int EventWaits() const;

    // --- IComPlatform ---
    ComResult Open(const std::string& name, ComHandle& handle) override;
    ComResult Close(ComHandle handle) override;
    ComResult SetQueueSizes(ComHandle handle, std::uint32_t input, std::uint32_t output) override;
    ComResult SetDeviceControl(ComHandle handle, const TComDeviceControl& control) override;
    ComResult SetTimeouts(ComHandle handle, const TComTimeoutRecord& timeouts) override;
    ComResult StartRead(ComHandle handle, void* buffer, std::uint32_t count, TComRequest& request,
                        std::uint32_t& done) override;
    ComResult StartWrite(ComHandle handle, const void* buffer, std::uint32_t count,
                         TComRequest& request, std::uint32_t& done) override;
    ComResult AwaitRequest(ComHandle handle, TComRequest& request,
                           std::uint32_t& transferred) override;
    void ReleaseRequest(TComRequest& request) noexcept override;
    ComResult Purge(ComHandle handle, std::uint32_t flags) override;
    ComResult ClearErrors(ComHandle handle, std::uint32_t& errors, TComStat& status) override;
    ComResult GetModemStatus(ComHandle handle, std::uint32_t& status) override;
    ComResult SetEventMask(ComHandle handle, std::uint32_t mask) override;
    ComResult StartEventWait(ComHandle handle, TComRequest& request) override;
    ComResult AwaitEvent(ComHandle handle, TComRequest& request, std::uint32_t& events) override;
    void CancelRequest(TComRequest& request) noexcept override;
    std::string SystemErrorText(std::int32_t systemCode) const override;
    ComResult FaultResult(ComFault fault) const override;
    // The timed line's clock once it is used, the system's before.
    std::uint64_t ClockUs() const override;

    // The text a device control record is recorded as.
    static std::string Describe(const TComDeviceControl& control);

private:
    // Records the call; returns the scripted failure or the handle check.
    ComResult Enter(const std::string& name, const std::string& arguments, ComHandle handle);

    mutable std::mutex mutex_;
    // Event waits block on this until events are raised, the wait is
    // cancelled, the mask changes, or the transfers are aborted.
    std::condition_variable eventChanged_;
    std::deque<std::uint32_t> raised_;
    std::uint64_t maskGeneration_ = 0;
    std::uint64_t abortGeneration_ = 0;
    int eventWaits_ = 0;
    std::vector<std::string> calls_;
    std::map<std::string, std::deque<ComResult>> failures_;
    std::deque<std::vector<std::uint8_t>> reads_;
    std::vector<std::vector<std::uint8_t>> written_;
    ComHandle open_ = InvalidComHandle;
    ComHandle nextHandle_ = 1;
    std::optional<TComDeviceControl> control_;
    std::optional<TComTimeoutRecord> timeouts_;
    std::uint32_t modemStatus_ = 0;
    std::uint32_t lineErrors_ = 0;
    std::uint32_t inQueue_ = 0;
    bool timed_ = false;
    TFakeLine line_;
};

} // namespace orbel
