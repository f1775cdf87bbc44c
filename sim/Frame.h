// Frame layout of the instrument's line: address, command, length byte L
// (data bytes + 1), the data, and the CRC over everything before it, low byte
// first. A frame is L + 4 bytes long; 16-bit values in the data go high byte
// first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace orbel::sim {

using Bytes = std::vector<std::uint8_t>;

// The address every request is sent to.
constexpr std::uint8_t kBroadcastAddress = 255;

// Command codes.
constexpr std::uint8_t kCmdSignature = 32;
constexpr std::uint8_t kCmdReadings = 2;
constexpr std::uint8_t kCmdReadCoeffs = 165;
constexpr std::uint8_t kCmdCalibrate = 164;
constexpr std::uint8_t kCmdAltReply = 250;

constexpr std::size_t kMinFrameSize = 5;   // L = 1, no data
constexpr std::size_t kMaxFrameSize = 259; // L = 255

// A frame that passed its CRC check, split into its fields.
struct Frame {
    std::uint8_t address = 0;
    std::uint8_t command = 0;
    Bytes data;
    Bytes raw; // the whole frame as it came off the line
};

// Whole frame for the line, CRC appended. At most 254 data bytes.
Bytes BuildFrame(std::uint8_t address, std::uint8_t command, std::span<const std::uint8_t> data);

// Size the frame starting at bytes[0] claims (L + 4), or nothing when fewer
// than three bytes are there or the length byte is 0.
std::optional<std::size_t> ClaimedFrameSize(std::span<const std::uint8_t> bytes);

// The frame at the start of `bytes` when it is complete and its CRC matches.
std::optional<Frame> ParseFrame(std::span<const std::uint8_t> bytes);

// Writes a 16-bit value high byte first.
void AppendBigEndian(Bytes& out, std::uint16_t value);

} // namespace orbel::sim
