// The instrument's commands, one row each: the code, the data its request
// carries and the length byte of its reply. The request builder and the reply
// decoder both read this table.
#pragma once

#include <array>
#include <cstdint>

namespace orbel {

enum TCommandCode : std::uint8_t {
    CMD_SIGNATURE = 32,
    CMD_READINGS = 2,
    CMD_READ_COEFFS = 165,
    CMD_CALIBRATE = 164,
    // The code the instrument may answer any request with instead of its own.
    CMD_ALT_REPLY = 250,
};

struct TCommandLayout {
    TCommandCode code;
    // Data bytes every request of the command carries, in order.
    std::array<std::uint8_t, 3> fixedData;
    std::uint8_t fixedCount;
    // Data bytes the sender supplies after the fixed ones.
    std::uint8_t argumentCount;
    // The length byte of the reply (its data bytes plus one).
    std::uint8_t replyLength;

    // The length byte of the request (its data bytes plus one).
    constexpr std::uint8_t RequestLength() const {
        return static_cast<std::uint8_t>(fixedCount + argumentCount + 1);
    }
};

inline constexpr TCommandLayout CommandLayouts[] = {
    {CMD_SIGNATURE, {}, 0, 0, 6},
    {CMD_READINGS, {}, 0, 0, 11},
    // 182, 0, then the number of coefficient bytes the reply is to carry.
    {CMD_READ_COEFFS, {182, 0, 8}, 3, 0, 9},
    // 160, then the point selector and the value, high byte first.
    {CMD_CALIBRATE, {160}, 1, 3, 2},
};

// The row of a command code; nullptr for a code without one (CMD_ALT_REPLY).
constexpr const TCommandLayout* FindCommandLayout(std::uint8_t code) {
    for (const TCommandLayout& layout : CommandLayouts) {
        if (layout.code == code) {
            return &layout;
        }
    }
    return nullptr;
}

} // namespace orbel
