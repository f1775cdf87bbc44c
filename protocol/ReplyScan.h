// Finding a reply among the first received bytes and checking its checksum.
#pragma once

#include "protocol/EMUL_Functions.h"

#include <cstdint>

namespace orbel {

struct TReplyScanResult {
    bool found = false;
    char rule = 0;     // 'A', 'B', 'C' or 'D'
    int position = -1; // k, where the rule held
    int start = 0;     // first receive-area index copied (may be -1)
    int count = 0;     // bytes copied
};

// Bytes the single reply read asks for: ReplyDataLength + 7, or 265 for a
// variable-length reply; never more than the receive area holds.
int ReplyReadCount(std::int32_t replyDataLength);

// Scans positions 0 to 4 of the receive area R (R[-1] and anything past the
// area read as 0) with the rules A, B, C and D in that order; the first rule
// that holds at the lowest position decides, and its frame is copied into
// rxFrame. When nothing holds, rxFrame is left as it is.
TReplyScanResult ScanReply(const EMUL_Functions::TFrame& area, std::uint32_t expectedCommand,
                           std::int32_t replyDataLength, std::uint8_t requestAddress,
                           EMUL_Functions::TFrame& rxFrame);

// True when the frame's two bytes after its data hold its CRC-16, low first.
bool ReplyCrcMatches(const EMUL_Functions::TFrame& frame);

// Writes the CRC of the request (low byte at L + 2, high at L + 3).
void CompleteRequestCrc(EMUL_Functions::TFrame& frame);

// Length of the frame on the line: L + 4, computed in 8 bits.
std::uint8_t FrameLineLength(const EMUL_Functions::TFrame& frame);

} // namespace orbel
