#include "app/gateway/ConnectionSlots.h"

namespace orbel::gateway {

std::optional<std::size_t> SlotToEvict(const std::vector<TSlotUse>& slots, TClock::time_point now,
                                       std::chrono::milliseconds minIdle) {
    std::optional<std::size_t> idlest;
    for (std::size_t i = 0; i < slots.size(); ++i) {
        const TSlotUse& s = slots[i];
        if (s.frameUnderWay || now - s.lastRequest < minIdle) {
            continue;
        }
        if (!idlest || s.lastRequest < slots[*idlest].lastRequest) {
            idlest = i;
        }
    }
    return idlest;
}

} // namespace orbel::gateway
