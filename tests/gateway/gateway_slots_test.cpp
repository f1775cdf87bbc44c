// Who gives way when every connection slot is taken.
#include "app/gateway/ConnectionSlots.h"

#include <gtest/gtest.h>

using namespace orbel::gateway;
using orbel::TClock;
using namespace std::chrono_literals;

TEST(ConnectionSlots, TheLongestIdleForASecondGivesWay) {
    const TClock::time_point now = TClock::time_point{} + 100s;
    struct Case {
        const char* name;
        std::vector<TSlotUse> slots;
        std::optional<std::size_t> evicted;
    };
    const Case cases[] = {
        {"all polling", {{now - 300ms}, {now - 999ms}, {now}}, std::nullopt},
        {"the idlest", {{now - 2s}, {now - 60s}, {now - 1s}}, 1},
        {"a request under way keeps its slot", {{now - 60s, true}, {now - 5s}}, 1},
        {"all with a request under way", {{now - 60s, true}, {now - 5s, true}}, std::nullopt},
        {"none", {}, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SlotToEvict(c.slots, now), c.evicted) << c.name;
    }
}
