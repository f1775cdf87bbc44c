// What a terminal's line events and line errors are, worked out from two
// snapshots of the driver's state (the previous look and this one). Pure
// functions: the watch and the platform take the snapshots, these compare them.
#pragma once

#include <cstdint>

namespace orbel {

// The driver's error counters (TIOCGICOUNT).
struct TErrorCounters {
    int frame = 0;
    int overrun = 0;
    int parity = 0;
    int brk = 0;
    int bufOverrun = 0;
};

// One look at a terminal. A value the look could not read, or did not need,
// carries the previous look's value, so that it shows no change.
struct TLineSnapshot {
    int inQueue = 0;         // bytes waiting to be read
    int outQueue = 0;        // bytes not yet sent
    std::uint32_t modem = 0; // ModemStatus bits
    TErrorCounters counters;
};

// What woke the watch since the previous look: bytes arrived, output drained.
struct TLineWake {
    bool input = false;
    bool output = false;
};

// 80 % of the terminal layer's input buffer (4096 bytes).
inline constexpr int Rx80Level = 4096 * 8 / 10;

// EventMask bits for the change from `before` to `now`: received characters
// (woken by input and bytes still waiting), the input queue reaching 80 %,
// the output queue drained, a change of CTS, DSR or carrier detect, the ring
// line's rising edge, line errors and breaks counted.
std::uint32_t LineEvents(const TLineSnapshot& before, const TLineSnapshot& now, TLineWake woke);

// LineError bits of the counters that changed from `before` to `now`.
std::uint32_t LineErrors(const TErrorCounters& before, const TErrorCounters& now);

// ModemStatus bits of a TIOCMGET line word.
std::uint32_t ModemStatusOfLines(int lines);

} // namespace orbel
