// The line events of a port as the platform's event mask, both ways, and the
// fixed order in which the events of one wait are serviced.
#pragma once

#include "serial/types/ComTypes.h"

#include <array>
#include <cstdint>

namespace orbel {

// Mask bits that stand for no event are ignored.
std::uint32_t EventsToMask(TComEvents events);
TComEvents MaskToEvents(std::uint32_t mask);

// The mask bit of one event.
std::uint32_t EventMaskBit(TComEvent event);

// Error, received character, output empty, break, ring, CTS, DSR, event
// character, carrier detect, 80 % full.
inline constexpr std::array<TComEvent, evRx80Full + 1> EventServiceOrder = {
    evError, evRxChar, evTxEmpty, evBreak, evRing, evCTS, evDSR, evRxFlag, evRLSD, evRx80Full};

// What the exception report says of a port event handler's failure that is no
// std::exception.
inline constexpr const char* UnknownHandlerFailure = "unknown failure in a port event handler";

} // namespace orbel
