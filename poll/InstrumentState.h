// What a poll cycle knows of the instrument at one moment: the cycle writes
// it, every reader (a client of the gateway, a publisher) reads a copy of it.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>

namespace orbel {

using TClock = std::chrono::steady_clock;

struct TInstrumentState {
    bool portOpen = false;
    bool answering = false; // the last readings request was answered
    // The last readings; readingsTime is when they came (none before the first).
    bool hasReadings = false;
    TClock::time_point readingsTime{};
    std::uint8_t sensorStatus = 0;
    std::array<bool, 2> channelValid{};
    std::array<std::uint16_t, 4> readings{}; // level 1, volume 1, level 2, volume 2 (tenths)
    std::uint32_t answeredPolls = 0;
    std::uint32_t failedPolls = 0;
    // Address, type, serial number, hardware and software versions.
    std::array<std::uint16_t, 5> signature{};
    std::array<std::uint16_t, 4> coefficientTenths{}; // C1, C2 of channel 1, then channel 2
    // How many times each was read: a new count is a new reading of it (after
    // every reconnection to the instrument); zero before the first.
    std::uint32_t signatureReads = 0;
    std::uint32_t coefficientReads = 0;
    // Why the line is not answering, or was lost (empty while it answers).
    std::string lineReason;
};

} // namespace orbel
