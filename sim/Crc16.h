// The checksum that closes every frame on the instrument's line.
#pragma once

#include <cstdint>
#include <span>

namespace orbel::sim {

// CRC-16 with the reflected polynomial 0xA001 and the initial value 0xFFFF,
// no final XOR. On the line the low byte goes first.
std::uint16_t Crc16(std::span<const std::uint8_t> bytes) noexcept;

} // namespace orbel::sim
