#include "protocol/ReplyScan.h"

#include "protocol/CommandTable.h"

#include <algorithm>

namespace orbel {

using EMUL_Functions::FrameSize;
using EMUL_Functions::TFrame;

namespace {

std::uint32_t At(const TFrame& area, int index) {
    if (index < 0 || index >= static_cast<int>(FrameSize)) {
        return 0;
    }
    return area[static_cast<std::size_t>(index)];
}

} // namespace

int ReplyReadCount(std::int32_t replyDataLength) {
    if (replyDataLength == EMUL_Functions::VariableReplyLength) {
        return 265;
    }
    const std::int64_t n = static_cast<std::int64_t>(replyDataLength) + 7;
    return static_cast<int>(std::clamp<std::int64_t>(n, 0, FrameSize));
}

TReplyScanResult ScanReply(const TFrame& area, std::uint32_t expectedCommand,
                           std::int32_t replyDataLength, std::uint8_t requestAddress,
                           TFrame& rxFrame) {
    const auto matchesLength = [&](std::uint32_t byte) {
        return static_cast<std::int64_t>(byte) == static_cast<std::int64_t>(replyDataLength);
    };
    TReplyScanResult result;
    for (int k = 0; k <= 4 && !result.found; ++k) {
        const std::uint32_t here = At(area, k);
        const std::uint32_t next = At(area, k + 1);
        const bool commandByte = here == CMD_ALT_REPLY || here == expectedCommand;
        if (commandByte && matchesLength(next)) {
            result = {true, 'A', k, k - 1, static_cast<int>(next) + 4};
        } else if (commandByte && replyDataLength == EMUL_Functions::VariableReplyLength) {
            result = {true, 'B', k, k - 1, static_cast<int>(next) + 4};
        } else if (here == requestAddress && next == expectedCommand) {
            result = {true, 'C', k, k, static_cast<int>(At(area, k + 2)) + 4};
        } else if (here == CMD_ALT_REPLY && next == 2) {
            result = {true, 'D', k, k - 1, 6};
        }
    }
    if (result.found) {
        for (int j = 0; j < result.count; ++j) {
            rxFrame[static_cast<std::size_t>(j)] =
                static_cast<std::uint8_t>(At(area, result.start + j));
        }
    }
    return result;
}

bool ReplyCrcMatches(const TFrame& frame) {
    const std::size_t length = frame[2];
    const std::uint16_t crc = EMUL_Functions::CRC16(static_cast<std::uint8_t>(length + 2), frame);
    return frame[length + 2] == (crc & 0xFF) && frame[length + 3] == (crc >> 8);
}

void CompleteRequestCrc(TFrame& frame) {
    const std::size_t length = frame[2];
    const std::uint16_t crc = EMUL_Functions::CRC16(static_cast<std::uint8_t>(length + 2), frame);
    frame[length + 2] = static_cast<std::uint8_t>(crc & 0xFF);
    frame[length + 3] = static_cast<std::uint8_t>(crc >> 8);
}

std::uint8_t FrameLineLength(const TFrame& frame) {
    return static_cast<std::uint8_t>(frame[2] + 4);
}

} // namespace orbel
