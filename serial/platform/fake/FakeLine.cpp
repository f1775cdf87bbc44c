#include "serial/platform/fake/FakeLine.h"

#include <algorithm>

namespace orbel {

namespace {

constexpr std::uint32_t AllOnes = 0xFFFFFFFFu;
constexpr std::uint64_t UsPerMs = 1000;

} // namespace

void TFakeLine::ScriptAfterWrite(std::vector<TFakeArrival> arrivals) {
    scripts_.push_back(std::move(arrivals));
}

void TFakeLine::Arrive(std::uint64_t atUs, const std::vector<std::uint8_t>& bytes) {
    for (const std::uint8_t value : bytes) {
        const auto at =
            std::upper_bound(bytes_.begin(), bytes_.end(), atUs,
                             [](std::uint64_t t, const TByte& b) { return t < b.atUs; });
        bytes_.insert(at, TByte{atUs, value});
    }
}

void TFakeLine::Written() {
    if (scripts_.empty()) {
        return;
    }
    for (const TFakeArrival& arrival : scripts_.front()) {
        Arrive(nowUs_ + arrival.afterUs, arrival.bytes);
    }
    scripts_.pop_front();
}

std::uint32_t TFakeLine::Take(std::uint8_t* buffer, std::uint32_t count, std::uint64_t untilUs) {
    std::uint32_t n = 0;
    while (n < count && !bytes_.empty() && bytes_.front().atUs <= untilUs) {
        buffer[n++] = bytes_.front().value;
        nowUs_ = std::max(nowUs_, bytes_.front().atUs);
        bytes_.pop_front();
    }
    return n;
}

std::uint32_t TFakeLine::Read(std::uint8_t* buffer, std::uint32_t count,
                              const TComTimeoutRecord& t) {
    const std::uint64_t totalMs = static_cast<std::uint64_t>(count) * t.ReadTotalTimeoutMultiplier +
                                  t.ReadTotalTimeoutConstant;
    if (totalMs == 0) {
        // At once with what is waiting; with an interval set, for its count.
        return Take(buffer, count, t.ReadIntervalTimeout == AllOnes ? nowUs_ : UINT64_MAX);
    }
    const std::uint64_t deadline = nowUs_ + totalMs * UsPerMs;
    const std::uint32_t n = Take(buffer, count, deadline);
    if (n < count) {
        nowUs_ = deadline;
    }
    return n;
}

void TFakeLine::ClearInput() {
    while (!bytes_.empty() && bytes_.front().atUs <= nowUs_) {
        bytes_.pop_front();
    }
}

std::uint32_t TFakeLine::Waiting() const {
    return static_cast<std::uint32_t>(std::count_if(
        bytes_.begin(), bytes_.end(), [&](const TByte& b) { return b.atUs <= nowUs_; }));
}

std::size_t TFakeLine::Pending() const {
    return bytes_.size() - Waiting();
}

void TFakeLine::Reset() {
    bytes_.clear();
    scripts_.clear();
}

} // namespace orbel
