// What the gateway knows of the instrument at one moment: the poller writes
// it, every client reads a copy of it.
#pragma once

#include "protocol/CommandTable.h"

#include <array>
#include <chrono>
#include <cstdint>

namespace orbel::gateway {

using TClock = std::chrono::steady_clock;

struct TInstrumentState {
    bool portOpen = false;
    bool answering = false; // the last readings request was answered
    // The last readings; readingsTime is when they came (none before the first).
    bool hasReadings = false;
    TClock::time_point readingsTime{};
    std::array<bool, 2> channelValid{};
    std::uint32_t answeredPolls = 0;
    std::uint32_t failedPolls = 0;
    // The polled commands' last values, each in its register block
    // (CommandTable.h): a field a register, a float two (high word first).
    std::array<std::uint16_t, CommandRegisterSpan()> blocks{};
};

} // namespace orbel::gateway
