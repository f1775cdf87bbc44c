#include "protocol/LineEtiquette.h"

#include "protocol/ReplyScan.h"

#include <algorithm>

namespace orbel {

using EMUL_Functions::TFrame;

namespace {

constexpr std::uint64_t UsPerMs = 1000;

std::uint32_t WaitMs(std::uint64_t nowUs, std::uint64_t untilUs) {
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>((untilUs - nowUs + UsPerMs - 1) / UsPerMs, 60'000));
}

} // namespace

std::int32_t AwaitQuietLine(IExchangePort& port, TLineState& line, const TExchangeOptions& options,
                            std::uint64_t budgetUs, std::vector<std::uint8_t>* heard) {
    const std::uint64_t startUs = port.ClockUs();
    std::uint64_t untilUs = (line.heard ? line.lastLineUs : startUs) + QuietGapUs;
    if (options.awaitLateReply && line.unanswered) {
        untilUs = std::max(untilUs, line.readEndUs + line.budgetUs);
    }
    const std::uint64_t limitUs = std::max(untilUs, startUs) + budgetUs;
    std::uint8_t scratch = 0;
    std::int32_t discarded = 0;
    for (;;) {
        const std::uint64_t nowUs = port.ClockUs();
        if (nowUs >= std::min(untilUs, limitUs)) {
            break;
        }
        // One byte at a time: each one starts the gap again.
        const std::int32_t n =
            port.ReadWithin(&scratch, 1, WaitMs(nowUs, std::min(untilUs, limitUs)));
        if (n <= 0) {
            break; // quiet for the whole wait
        }
        discarded += n;
        if (heard != nullptr) {
            heard->push_back(scratch);
        }
        line.heard = true;
        line.lastLineUs = port.ClockUs();
        untilUs = std::max(untilUs, line.lastLineUs + QuietGapUs);
    }
    return discarded;
}

std::int32_t ReplyBytesNeeded(const TFrame& area, std::int32_t received,
                              std::uint32_t expectedCommand, std::int32_t replyDataLength,
                              std::uint8_t requestAddress) {
    TFrame frame{};
    const TReplyScanResult scan =
        ScanReply(area, expectedCommand, replyDataLength, requestAddress, frame);
    // The bytes that chose the rule and the frame's length must be in.
    if (!scan.found || scan.position + 2 >= received) {
        return 1;
    }
    const std::int32_t end = scan.start + scan.count;
    if (end > received) {
        return end - received;
    }
    return ReplyCrcMatches(frame) ? 0 : static_cast<std::int32_t>(EMUL_Functions::FrameSize);
}

} // namespace orbel
