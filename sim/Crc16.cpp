#include "sim/Crc16.h"

namespace orbel::sim {

std::uint16_t Crc16(std::span<const std::uint8_t> bytes) noexcept {
    std::uint16_t crc = 0xFFFF;
    for (const std::uint8_t b : bytes) {
        crc ^= b;
        for (int bit = 0; bit < 8; ++bit) {
            const bool carry = (crc & 1U) != 0;
            crc = static_cast<std::uint16_t>(crc >> 1);
            if (carry) {
                crc ^= 0xA001U;
            }
        }
    }
    return crc;
}

} // namespace orbel::sim
