// A record of the frames on the line, and the log file that keeps them.
//
// One line per frame: milliseconds since start, RX or TX, and the bytes in
// upper-case hex separated by blanks, e.g. "12 RX FF 20 01 99 F0". A TX line
// holds everything written for one reply, stray bytes included, as it went
// out (a corrupted CRC shows corrupted).
#pragma once

#include "sim/Frame.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace orbel::sim {

enum class Direction { Rx, Tx };

struct FrameRecord {
    std::int64_t ms = 0;
    Direction direction = Direction::Rx;
    Bytes bytes;
};

// The log line for `record`, without the line end.
std::string FormatLogLine(const FrameRecord& record);

class FrameLog {
public:
    FrameLog() = default;
    ~FrameLog();
    FrameLog(const FrameLog&) = delete;
    FrameLog& operator=(const FrameLog&) = delete;

    // Creates or truncates the file. Returns false with errno set on failure.
    bool Open(const std::string& path);

    // Appends one line and flushes it, so a reader sees it at once.
    void Write(const FrameRecord& record);

private:
    std::FILE* file_ = nullptr;
};

} // namespace orbel::sim
