#include "protocol/LineEtiquette.h"

#include "protocol/ReplyScan.h"

#include <algorithm>

using EMUL_Functions::TFrame;

namespace {

constexpr std::uint64_t UsPerMs = 1000;

std::uint32_t WaitMs(std::uint64_t nowUs, std::uint64_t untilUs) {
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>((untilUs - nowUs + UsPerMs - 1) / UsPerMs, 60'000));
}

} // namespace

std::int32_t AwaitQuietLine(IExchangePort& port, TLineState& line, const TExchangeOptions& options,
                            std::uint64_t budgetUs) {
    const std::uint64_t startUs = port.ClockUs();
    std::uint64_t untilUs = (line.heard ? line.lastLineUs : startUs) + QuietGapUs;
    if (options.awaitLateReply && line.unanswered) {
        untilUs = std::max(untilUs, line.readEndUs + line.budgetUs);
    }
    const std::uint64_t limitUs = std::max(untilUs, startUs) + budgetUs;
    TFrame scratch{};
    std::int32_t discarded = 0;
    for (;;) {
        const std::uint64_t nowUs = port.ClockUs();
        if (nowUs >= std::min(untilUs, limitUs)) {
            break;
        }
        const std::int32_t n =
            port.ReadArrived(scratch.data(), static_cast<std::int32_t>(scratch.size()),
                             WaitMs(nowUs, std::min(untilUs, limitUs)));
        if (n <= 0) {
            break; // quiet for the whole wait
        }
        discarded += n;
        line.heard = true;
        line.lastLineUs = port.ClockUs();
        untilUs = std::max(untilUs, line.lastLineUs + QuietGapUs);
    }
    return discarded;
}

bool ReplySettled(const TFrame& area, std::int32_t received, std::uint32_t expectedCommand,
                  std::int32_t replyDataLength, std::uint8_t requestAddress) {
    TFrame frame{};
    const TReplyScanResult scan =
        ScanReply(area, expectedCommand, replyDataLength, requestAddress, frame);
    return scan.found && scan.start + scan.count <= received && ReplyCrcMatches(frame);
}
