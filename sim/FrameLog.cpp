#include "sim/FrameLog.h"

#include <array>
#include <charconv>

namespace orbel::sim {

std::string FormatLogLine(const FrameRecord& record) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::array<char, 24> number{};
    const auto end = std::to_chars(number.data(), number.data() + number.size(), record.ms).ptr;
    std::string line(number.data(), end);
    line += record.direction == Direction::Rx ? " RX" : " TX";
    for (const std::uint8_t b : record.bytes) {
        line += ' ';
        line += kHex[b >> 4];
        line += kHex[b & 0xFU];
    }
    return line;
}

FrameLog::~FrameLog() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

bool FrameLog::Open(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "we");
    if (file == nullptr) {
        return false;
    }
    if (file_ != nullptr) {
        std::fclose(file_);
    }
    file_ = file;
    return true;
}

void FrameLog::Write(const FrameRecord& record) {
    if (file_ == nullptr) {
        return;
    }
    const std::string line = FormatLogLine(record) + '\n';
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fflush(file_);
}

} // namespace orbel::sim
