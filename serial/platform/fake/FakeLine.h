// A serial line on a virtual clock, for the fake platform: bytes arrive at
// scripted times after a write, and reads take them as the read time-outs in
// force would, moving the clock on by as long as they would have waited.
// Times are in microseconds from the fake's start.
#pragma once

#include "serial/platform/ComPlatform.h"

#include <cstdint>
#include <deque>
#include <vector>

namespace orbel {

struct TFakeArrival {
    std::uint64_t afterUs = 0;       // after the end of the write that starts the script
    std::vector<std::uint8_t> bytes; // arrive together
};

class TFakeLine {
public:
    // The next write starts this script; several scripts go to later writes in order.
    void ScriptAfterWrite(std::vector<TFakeArrival> arrivals);
    // Bytes that arrive at `atUs` on the clock, whatever is written.
    void Arrive(std::uint64_t atUs, const std::vector<std::uint8_t>& bytes);

    void Written();
    // Reads under `timeouts` as a device would: at most `count` bytes into `buffer`.
    std::uint32_t Read(std::uint8_t* buffer, std::uint32_t count,
                       const TComTimeoutRecord& timeouts);
    // Drops the bytes that have arrived by now.
    void ClearInput();
    std::uint32_t Waiting() const;
    std::uint64_t NowUs() const { return nowUs_; }
    // Bytes scripted but not yet arrived.
    std::size_t Pending() const;
    // Forgets every byte and script; the clock goes on.
    void Reset();

private:
    struct TByte {
        std::uint64_t atUs;
        std::uint8_t value;
    };
    std::uint32_t Take(std::uint8_t* buffer, std::uint32_t count, std::uint64_t untilUs);

    std::uint64_t nowUs_ = 0;
    std::deque<TByte> bytes_; // in order of arrival
    std::deque<std::vector<TFakeArrival>> scripts_;
};

} // namespace orbel
