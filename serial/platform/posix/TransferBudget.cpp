#include "serial/platform/posix/TransferBudget.h"

namespace orbel {

namespace {

std::uint64_t TotalMs(std::uint32_t count, std::uint32_t multiplier, std::uint32_t constant) {
    // Both factors are below 2^32, so the product stays below 2^64 - 2^33 and
    // the sum cannot wrap.
    return static_cast<std::uint64_t>(count) * multiplier + constant;
}

} // namespace

TReadBudget ReadBudget(const TComTimeoutRecord& timeouts, std::uint32_t count) {
    TReadBudget budget;
    const bool noTotal =
        timeouts.ReadTotalTimeoutMultiplier == 0 && timeouts.ReadTotalTimeoutConstant == 0;
    if (noTotal) {
        budget.immediate = timeouts.ReadIntervalTimeout == NoReadInterval;
        budget.totalMs = budget.immediate ? 0 : NoDeadline;
    } else {
        budget.totalMs =
            TotalMs(count, timeouts.ReadTotalTimeoutMultiplier, timeouts.ReadTotalTimeoutConstant);
    }
    if (timeouts.ReadIntervalTimeout != NoReadInterval) {
        budget.intervalMs = timeouts.ReadIntervalTimeout;
    }
    return budget;
}

std::uint64_t WriteBudgetMs(const TComTimeoutRecord& timeouts, std::uint32_t count) {
    if (timeouts.WriteTotalTimeoutMultiplier == 0 && timeouts.WriteTotalTimeoutConstant == 0) {
        return NoDeadline;
    }
    return TotalMs(count, timeouts.WriteTotalTimeoutMultiplier, timeouts.WriteTotalTimeoutConstant);
}

std::uint64_t DeadlineNs(std::uint64_t nowNs, std::uint64_t budgetMs) {
    constexpr std::uint64_t nsPerMs = 1'000'000;
    if (budgetMs == NoDeadline || budgetMs > (NoDeadline - nowNs) / nsPerMs) {
        return NoDeadline;
    }
    return nowNs + budgetMs * nsPerMs;
}

} // namespace orbel
