// The parts of a dispatch that touch only the exchange area and the worker;
// the window wraps them with its indicators, texts and timers.
#pragma once

#include "protocol/UART_THREAT.h"

#include <string>

namespace orbel {

// In `area`: sets ExchangeStatus to 0, completes TxFrame with its CRC, zeroes
// RxFrame and returns the decimal dump of the L + 4 request bytes.
std::string PrepareRequest(EMUL_Functions::TExchangeArea& area = EMUL_Functions::SharedArea());

// Waits until the worker is parked, wakes it and waits, without handling
// messages and without spinning, until it publishes a status in its area;
// returns it.
std::int32_t StartAndAwait(UART_THREAT& worker);

} // namespace orbel
