#include "sim/FrameAssembler.h"

#include <algorithm>

namespace orbel::sim {

namespace {

bool CanStartRequest(std::uint8_t byte, std::uint8_t ownAddress) {
    return byte == kBroadcastAddress || byte == ownAddress;
}

} // namespace

std::vector<Frame> FrameAssembler::Feed(std::span<const std::uint8_t> bytes, Clock::time_point now,
                                        std::uint8_t ownAddress) {
    std::vector<Frame> frames;
    if (bytes.empty()) {
        return frames;
    }
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
    lastByte_ = now;
    while (auto frame = Extract(ownAddress)) {
        frames.push_back(std::move(*frame));
    }
    return frames;
}

std::optional<Frame> FrameAssembler::Extract(std::uint8_t ownAddress) {
    const auto dropFront = [this](std::size_t n) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
    };
    for (;;) {
        const auto start = std::find_if(buffer_.begin(), buffer_.end(), [&](std::uint8_t b) {
            return CanStartRequest(b, ownAddress);
        });
        dropFront(static_cast<std::size_t>(start - buffer_.begin()));
        if (buffer_.size() < 3) {
            return std::nullopt;
        }
        const auto claimed = ClaimedFrameSize(buffer_);
        if (!claimed) {
            dropFront(1); // a length byte of 0 starts no frame
            continue;
        }
        if (buffer_.size() >= *claimed) {
            auto frame = ParseFrame(buffer_);
            if (frame) {
                dropFront(*claimed);
                return frame;
            }
            dropFront(1);
            continue;
        }
        // Incomplete: look for a complete, valid frame behind the candidate.
        const std::span<const std::uint8_t> all(buffer_);
        for (std::size_t at = 1; at + kMinFrameSize <= all.size(); ++at) {
            if (!CanStartRequest(all[at], ownAddress)) {
                continue;
            }
            auto frame = ParseFrame(all.subspan(at));
            if (frame) {
                dropFront(at + frame->raw.size());
                return frame;
            }
        }
        return std::nullopt;
    }
}

std::optional<FrameAssembler::Clock::time_point> FrameAssembler::Deadline() const {
    if (buffer_.empty()) {
        return std::nullopt;
    }
    return lastByte_ + kSilence;
}

std::size_t FrameAssembler::Expire(Clock::time_point now) {
    const auto deadline = Deadline();
    if (!deadline || now < *deadline) {
        return 0;
    }
    const std::size_t dropped = buffer_.size();
    buffer_.clear();
    return dropped;
}

} // namespace orbel::sim
