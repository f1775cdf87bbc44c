// A read bounded by a time of the caller's, and the read that ends as soon as
// what has arrived settles it. Both use the platform's ordinary read under
// the one time-out form every system honours alike, Wine included: "n bytes,
// at most this long" (no interval, no multiplier, the time as the total
// constant). The form "return at once with what is there" is not used: Wine
// lets such an overlapped read wait for its first byte without end.
#include "serial/core/CustomComPort.h"

#include "serial/errors/EComPort.h"

#include <algorithm>

namespace orbel {

namespace {

constexpr std::uint32_t AllOnes = 0xFFFFFFFFu;
constexpr std::uint64_t UsPerMs = 1000;

// The read time-outs for a wait of `waitMs` (at least 1).
TComTimeoutRecord WaitForm(TComTimeoutRecord record, std::uint32_t waitMs) {
    record.ReadIntervalTimeout = 0;
    record.ReadTotalTimeoutMultiplier = 0;
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

// Applies the form of each wait and gives the device the port's own
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

    // Reads at most `count` bytes, waiting at most `waitMs` (at least 1) for them.
    std::int32_t Read(std::uint8_t* buffer, std::int32_t count, std::uint32_t waitMs) {
        if (!applied_ || waitMs != waitMs_) {
            const ComResult error = port_.platform_->SetTimeouts(
                port_.handle_.load(), WaitForm(port_.TimeoutRecord(), waitMs));
            if (!error.Ok()) {
                throw EComPort(CError_TimeoutsFailed, error);
            }
            applied_ = true;
            waitMs_ = waitMs;
        }
        return port_.ReadBytes(buffer, count);
    }

private:
    TCustomComPort& port_;
    bool applied_ = false;
    std::uint32_t waitMs_ = 0;
};

std::int32_t TCustomComPort::ReadWithin(void* buffer, std::int32_t count, std::uint32_t waitMs) {
    CheckNotClosing(CError_ReadFailed);
    CheckCount(count, CError_ReadFailed);
    if (waitMs == 0 || count == 0) {
        return 0;
    }
    TArrivalScope scope(*this);
    return scope.Read(static_cast<std::uint8_t*>(buffer), count, waitMs);
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
    std::int32_t need = 1;
    while (got < count) {
        // The bytes the caller needs at least before it can tell, within
        // whole milliseconds of the budget.
        const std::uint32_t waitMs = MillisecondsLeft(platform_->ClockUs(), deadlineUs);
        if (waitMs == 0) {
            break;
        }
        const std::int32_t want = std::min(need, count - got);
        const std::int32_t n = scope.Read(bytes + got, want, waitMs);
        got += n;
        if (n < want) {
            break; // the budget has ended
        }
        need = decided(bytes, got);
        if (need <= 0) {
            break;
        }
    }
    return got;
}

} // namespace orbel
