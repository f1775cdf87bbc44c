// How long a transfer may run under a time-out record. The five values are the
// unsigned 32-bit numbers of the record; budgets and deadlines are computed in
// 64 bits and saturate, so no combination of values overflows.
#pragma once

#include "serial/platform/ComPlatform.h"

#include <cstdint>
#include <limits>

namespace orbel {

inline constexpr std::uint64_t NoDeadline = std::numeric_limits<std::uint64_t>::max();
inline constexpr std::uint32_t NoReadInterval = 0xFFFFFFFFu;

struct TReadBudget {
    // Return at once with whatever is already waiting.
    bool immediate = false;
    // Total limit in milliseconds; NoDeadline when the read waits for its count.
    std::uint64_t totalMs = NoDeadline;
    // Longest gap between two bytes once the first has arrived; 0 for none.
    std::uint32_t intervalMs = 0;
};

// A read of `count` bytes ends after count x multiplier + constant ms. With no
// total part, an interval of all ones returns at once and any other interval
// leaves the read waiting for its count (bounded only by the interval).
TReadBudget ReadBudget(const TComTimeoutRecord& timeouts, std::uint32_t count);

// A write of `count` bytes ends after count x multiplier + constant ms;
// NoDeadline when both are 0.
std::uint64_t WriteBudgetMs(const TComTimeoutRecord& timeouts, std::uint32_t count);

// now + budget on a nanosecond clock, saturating at NoDeadline.
std::uint64_t DeadlineNs(std::uint64_t nowNs, std::uint64_t budgetMs);

} // namespace orbel
