// Cuts the byte stream from the line into request frames.
//
// Bytes are collected until they form a frame whose CRC matches. Leading bytes
// that cannot start a request (an address other than the broadcast address or
// the instrument's own) are dropped at once; a complete candidate with a bad
// CRC loses its first byte and the search goes on from the next one. While a
// candidate is still incomplete, a valid frame further on in the buffer wins
// (a stray byte that happens to look like an address must not swallow the
// request behind it). After 50 ms without a byte, whatever is left is
// discarded, so the next request always starts from an empty buffer.
#pragma once

#include "sim/Frame.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace orbel::sim {

class FrameAssembler {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kSilence{50};

    // Adds bytes received at `now` and returns the frames completed by them.
    std::vector<Frame> Feed(std::span<const std::uint8_t> bytes, Clock::time_point now,
                            std::uint8_t ownAddress);

    // When the partial data held now will be dropped; nothing when empty.
    std::optional<Clock::time_point> Deadline() const;

    // Drops the partial data once its deadline has passed. Returns how many
    // bytes were dropped.
    std::size_t Expire(Clock::time_point now);

    std::size_t Pending() const { return buffer_.size(); }

private:
    std::optional<Frame> Extract(std::uint8_t ownAddress);

    Bytes buffer_;
    Clock::time_point lastByte_{};
};

} // namespace orbel::sim
