#include "serial/events/ComEvents.h"

#include "serial/platform/ComPlatform.h"

#include <algorithm>

namespace orbel {

namespace {

// Indexed by TComEvent, a bit for every event.
constexpr std::array<std::uint32_t, evRx80Full + 1> MaskBits = {
    EventMask::RxChar, EventMask::TxEmpty, EventMask::RxFlag, EventMask::Ring, EventMask::Break,
    EventMask::Cts,    EventMask::Dsr,     EventMask::Err,    EventMask::Rlsd, EventMask::Rx80Full};
static_assert(std::find(MaskBits.begin(), MaskBits.end(), 0U) == MaskBits.end(),
              "a mask bit for every event");

} // namespace

std::uint32_t EventMaskBit(TComEvent event) {
    return event < MaskBits.size() ? MaskBits[event] : 0;
}

std::uint32_t EventsToMask(TComEvents events) {
    std::uint32_t mask = 0;
    for (std::size_t i = 0; i < MaskBits.size(); ++i) {
        if (events.Contains(static_cast<TComEvent>(i))) {
            mask |= MaskBits[i];
        }
    }
    return mask;
}

TComEvents MaskToEvents(std::uint32_t mask) {
    TComEvents events;
    for (std::size_t i = 0; i < MaskBits.size(); ++i) {
        if ((mask & MaskBits[i]) != 0) {
            events.Include(static_cast<TComEvent>(i));
        }
    }
    return events;
}

} // namespace orbel
