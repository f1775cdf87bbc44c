// Everything that shapes the simulated instrument: what it reports, and the
// faults it puts on the line. The simulator may change the coefficients
// itself (a calibration stores its value there); everything else changes only
// when its owner changes it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace orbel::sim {

struct Options {
    // Identity, as the signature reply reports it. Replies carry `address`.
    std::uint8_t address = 1;
    std::uint8_t type = 1;
    std::uint16_t serial = 42;
    std::uint8_t hard = 1;
    std::uint8_t soft = 3;

    // Sensor status byte of the readings reply: 0 both channels have a
    // signal, 1 channel 1 has none, 2 channel 2 has none, other values none.
    std::uint8_t status = 0;

    // Level 1, volume 1, level 2, volume 2, raw tenths of a percent. With
    // `drift` each value wanders slowly around its base as a fixed function
    // of the time since start, and stays within 0..1000; without it the
    // values go out exactly as given.
    std::array<std::uint16_t, 4> readings{625, 580, 340, 295};
    bool drift = true;

    // C1 and C2 of channel 1, C1 and C2 of channel 2, raw tenths. A
    // calibration of point p (0..3) stores its value in coeffs[p].
    std::array<std::uint16_t, 4> coeffs{50, 900, 50, 900};

    // Faults on the line.
    std::uint32_t stray = 0;        // zero bytes sent before every reply
    std::uint32_t corruptEvery = 0; // every Nth reply carries a bad CRC; 0 never
    bool silent = false;            // requests are received but never answered
    bool altReply = false;          // every request answered with the code-250 frame
    std::uint32_t delayMs = 0;      // pause between a request and its reply
    std::uint32_t lateLastMs = 0;   // the reply's last byte follows the rest this late
    std::uint32_t hangupAfter = 0;  // hang up after this many replies; 0 never
    // A USB adapter's latency timer (FTDI AN232B-04): the chip hands what it
    // received to the host only when its timer runs out, every N ms, so a
    // short reply comes late and may come in two bursts; 0 none. (Its other
    // triggers, a full 62-byte buffer or the event character, never come
    // into play for replies this short.)
    std::uint32_t latencyTimerMs = 0;

    // A real line's timing: a request counts as received one character time
    // per byte after its first byte, and reply bytes go out one character
    // time apart. `turnaroundMs` is the instrument's own pause between the
    // two; unset, it is 2 ms with `pace` and none without.
    bool pace = false;
    std::optional<std::uint32_t> turnaroundMs;

    // Symbolic link to the device, made at start and removed at the end.
    std::string link;

    // A terminal that exists already, served instead of a pseudo-terminal
    // pair of the simulator's own; no link is made then.
    std::string line;
};

} // namespace orbel::sim
