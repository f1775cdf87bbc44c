// The ports as Linux's sysfs shows them, from roots tests can set.
#pragma once

#include "serial/ports/SerialPorts.h"

#include <filesystem>

namespace orbel {

// The terminals with a device behind them under `sys`/class/tty (a serial
// core slot without a UART, type 0, left out), their device files in `dev`;
// an FTDI adapter's latency timer from its `latency_timer` attribute.
std::vector<TSerialPortInfo> ReadSysfsPorts(const std::filesystem::path& sys,
                                            const std::filesystem::path& dev);

} // namespace orbel
