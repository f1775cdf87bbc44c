// How the worker shares the line with the instrument: a quiet gap before
// every request, an optional wait for a late reply after a request that got
// none, and a reply read that ends as soon as the reply is settled.
#pragma once

#include "protocol/EMUL_Functions.h"
#include "protocol/ExchangeHost.h"

#include <cstdint>
#include <vector>

namespace orbel {

// 3.5 character times at 9600 baud (11 bits a character), rounded up: a
// request never starts sooner after the last byte the line carried.
inline constexpr std::uint64_t QuietGapUs = 4000;

struct TExchangeOptions {
    // The reply read ends as soon as the bytes in hand hold a whole reply
    // that passes its CRC; otherwise it waits out its budget.
    bool endEarly = true;
    // After a request that got no answer, the next one first listens for one
    // reply budget (from the end of that request's read) and discards what
    // comes: a reply that is merely late is not taken for the next answer.
    bool awaitLateReply = false;
};

// What the worker knows of the line between transactions (its own thread only).
struct TLineState {
    bool heard = false;           // lastLineUs holds a time
    std::uint64_t lastLineUs = 0; // when the line last carried a byte, as far as seen
    bool unanswered = false;      // the last request got no accepted reply
    std::uint64_t readEndUs = 0;  // when that request's read ended
    std::uint64_t budgetUs = 0;   // and its read budget
};

// Waits, before a request, for the quiet gap after the last byte (and, with
// awaitLateReply after an unanswered request, to the end of one reply budget
// after its read); bytes that come meanwhile are discarded and the gap starts
// again after them. A line that never goes quiet holds the request back at
// most `budgetUs` past the first limit. Returns the bytes discarded, and
// appends them to `heard` when given.
std::int32_t AwaitQuietLine(IExchangePort& port, TLineState& line, const TExchangeOptions& options,
                            std::uint64_t budgetUs, std::vector<std::uint8_t>* heard = nullptr);

// 0 when the first `received` bytes of the receive area settle the
// transaction: the reply-start scan finds a frame every byte of which has
// arrived (R[-1] counts as arrived) and whose CRC passes. No later byte can
// then change the frame the scan copies. Otherwise how many more bytes are
// needed at least before they can: the rest of a frame whose start and length
// are in, 1 when nothing is found yet, and more than any read asks for when
// the frame is in and fails its CRC (only the budget ends that transaction).
std::int32_t ReplyBytesNeeded(const EMUL_Functions::TFrame& area, std::int32_t received,
                              std::uint32_t expectedCommand, std::int32_t replyDataLength,
                              std::uint8_t requestAddress);

} // namespace orbel
