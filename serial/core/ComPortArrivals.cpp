// Reads that return as bytes arrive, and the read that ends as soon as what
// has arrived settles it. Both use the platform's ordinary read under the
// time-out form "return at once with what is there, else with the first bytes
// to come within a time": read interval and total multiplier all ones, the
// time as the total constant.
#include "serial/core/CustomComPort.h"

#include "serial/errors/EComPort.h"

#include <algorithm>

namespace {

constexpr std::uint32_t AllOnes = 0xFFFFFFFFu;
constexpr std::uint64_t UsPerMs = 1000;

TComTimeoutRecord ArrivalForm(TComTimeoutRecord record, std::uint32_t waitMs) {
    record.ReadIntervalTimeout = AllOnes;
    // A wait of 0 is the plain "what is there" form.
    record.ReadTotalTimeoutMultiplier = waitMs == 0 ? 0 : AllOnes;
    record.ReadTotalTimeoutConstant = std::min(waitMs, AllOnes - 1);
    return record;
}

// Whole milliseconds to the deadline, rounded down: no wait ends past it.
std::uint32_t MillisecondsLeft(std::uint64_t nowUs, std::uint64_t deadlineUs) {
    if (nowUs >= deadlineUs) {
        return 0;
    }
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>((deadlineUs - nowUs) / UsPerMs, AllOnes - 1));
}

} // namespace

// Applies the arrival form for each wait and gives the device the port's own
// time-outs back at the end, whatever happened.
class TCustomComPort::TArrivalScope {
public:
    explicit TArrivalScope(TCustomComPort& port) : port_(port) {}
    ~TArrivalScope() {
        if (applied_) {
            port_.platform_->SetTimeouts(port_.handle_.load(), port_.TimeoutRecord());
        }
    }
    TArrivalScope(const TArrivalScope&) = delete;
    TArrivalScope& operator=(const TArrivalScope&) = delete;

    void Wait(std::uint32_t waitMs) {
        if (applied_ && waitMs == waitMs_) {
            return;
        }
        const ComResult error = port_.platform_->SetTimeouts(
            port_.handle_.load(), ArrivalForm(port_.TimeoutRecord(), waitMs));
        if (!error.Ok()) {
            throw EComPort(CError_TimeoutsFailed, error);
        }
        applied_ = true;
        waitMs_ = waitMs;
    }

private:
    TCustomComPort& port_;
    bool applied_ = false;
    std::uint32_t waitMs_ = 0;
};

std::int32_t TCustomComPort::ReadArrived(void* buffer, std::int32_t count, std::uint32_t waitMs) {
    CheckNotClosing(CError_ReadFailed);
    CheckCount(count, CError_ReadFailed);
    TArrivalScope scope(*this);
    scope.Wait(waitMs);
    return ReadBytes(buffer, count);
}

std::int32_t TCustomComPort::ReadBytesUntil(void* buffer, std::int32_t count,
                                            const TReadDecided& decided) {
    const TComTimeoutRecord own = TimeoutRecord();
    const std::uint64_t budgetMs =
        static_cast<std::uint64_t>(std::max(count, 0)) * own.ReadTotalTimeoutMultiplier +
        own.ReadTotalTimeoutConstant;
    if (own.ReadIntervalTimeout != AllOnes || own.ReadTotalTimeoutMultiplier == AllOnes ||
        budgetMs == 0) {
        return ReadBytes(buffer, count);
    }
    CheckNotClosing(CError_ReadFailed);
    CheckCount(count, CError_ReadFailed);
    const std::uint64_t deadlineUs = platform_->ClockUs() + budgetMs * UsPerMs;
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    TArrivalScope scope(*this);
    std::int32_t got = 0;
    while (got < count) {
        // Less than a millisecond left: what has come by now is the last.
        const std::uint32_t waitMs = MillisecondsLeft(platform_->ClockUs(), deadlineUs);
        scope.Wait(waitMs);
        const std::int32_t n = ReadBytes(bytes + got, count - got);
        got += n;
        if ((n > 0 && decided(bytes, got)) || waitMs == 0) {
            break;
        }
    }
    return got;
}
