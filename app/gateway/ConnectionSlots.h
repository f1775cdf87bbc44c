// Who gives way when every connection slot is taken: the connection idle the
// longest, once it has been idle for a while, so that connections that never
// ask (a leaking HMI, a port scanner) cannot lock a polling client out. A
// full house of clients that all poll keeps its slots.
#pragma once

#include "poll/InstrumentState.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <vector>

namespace orbel::gateway {

struct TSlotUse {
    TClock::time_point lastRequest; // or the connection
    bool frameUnderWay = false;     // a request has begun to come
};

// Idle for less than this, a connection keeps its slot.
constexpr std::chrono::seconds MinIdleToEvict{1};

// The slot a new connection takes from the one idle the longest (at least
// minIdle), or none.
std::optional<std::size_t> SlotToEvict(const std::vector<TSlotUse>& slots, TClock::time_point now,
                                       std::chrono::milliseconds minIdle = MinIdleToEvict);

} // namespace orbel::gateway
