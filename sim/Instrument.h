// What the instrument answers. Pure functions of the request, the options and
// the time since start, so they can be checked without a line.
//
//   signature    FF 20 01            -> addr 20 06 type serial(2) hard soft
//   readings     FF 02 01            -> addr 02 0B L1 V1 L2 V2 (2 each) status 00
//   coefficients FF A5 04 B6 00 08   -> addr A5 09 C1 C2 C3 C4 (2 each)
//   calibration  FF A4 05 A0 p hi lo -> addr A4 02 00, and coeffs[p] = hi:lo
//
// A request with any other command, or with data other than shown (a point
// above 3, say), gets no answer. With `altReply` every request is answered
// with addr FA 02 01 instead and nothing is carried out.
#pragma once

#include "sim/Frame.h"
#include "sim/Options.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>

namespace orbel::sim {

// Readings at `elapsed` since start, drift applied when enabled.
std::array<std::uint16_t, 4> ReadingsAt(const Options& options, std::chrono::milliseconds elapsed);

// The reply to `request` (CRC included), or nothing. A calibration stores
// its value in options.coeffs.
std::optional<Bytes> Answer(const Frame& request, Options& options,
                            std::chrono::milliseconds elapsed);

} // namespace orbel::sim
