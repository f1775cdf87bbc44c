#include "sim/Frame.h"

#include "sim/Crc16.h"

#include <stdexcept>

namespace orbel::sim {

Bytes BuildFrame(std::uint8_t address, std::uint8_t command, std::span<const std::uint8_t> data) {
    if (data.size() > kMaxFrameSize - kMinFrameSize) {
        throw std::length_error("frame data too long");
    }
    Bytes frame;
    frame.reserve(data.size() + kMinFrameSize);
    frame.push_back(address);
    frame.push_back(command);
    frame.push_back(static_cast<std::uint8_t>(data.size() + 1));
    frame.insert(frame.end(), data.begin(), data.end());
    const std::uint16_t crc = Crc16(frame);
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFFU));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

std::optional<std::size_t> ClaimedFrameSize(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 3 || bytes[2] == 0) {
        return std::nullopt;
    }
    return std::size_t{bytes[2]} + 4;
}

std::optional<Frame> ParseFrame(std::span<const std::uint8_t> bytes) {
    const auto size = ClaimedFrameSize(bytes);
    if (!size || bytes.size() < *size) {
        return std::nullopt;
    }
    const std::size_t covered = *size - 2;
    const std::uint16_t crc = Crc16(bytes.first(covered));
    if (bytes[covered] != (crc & 0xFFU) || bytes[covered + 1] != (crc >> 8)) {
        return std::nullopt;
    }
    Frame frame;
    frame.address = bytes[0];
    frame.command = bytes[1];
    frame.data.assign(bytes.begin() + 3, bytes.begin() + static_cast<std::ptrdiff_t>(covered));
    frame.raw.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(*size));
    return frame;
}

void AppendBigEndian(Bytes& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value & 0xFFU));
}

} // namespace orbel::sim
