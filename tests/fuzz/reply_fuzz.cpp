// One reply read taken as the exchange worker takes it: the reply-start scan,
// the CRC test, the text of the received frame, then the decoder with both
// decimal separators.
//
// Input: the expected command, the reply length (0 stands for the variable
// length), the request address, then the bytes the read delivered (0 to 270).

#include "FuzzCheck.h"

#include "protocol/CommandSet.h"
#include "protocol/EMUL_Functions.h"
#include "protocol/ReplyDecoder.h"
#include "protocol/ReplyScan.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

using namespace orbel;

using EMUL_Functions::FrameSize;
using EMUL_Functions::TFrame;

namespace {

constexpr std::size_t HeaderSize = 3;
constexpr std::uint8_t Filler = 0xA5;

// The byte the scan sees at `index`: 0 before and past the area.
std::uint8_t AreaAt(const TFrame& area, int index) {
    return index < 0 || index >= static_cast<int>(FrameSize)
               ? 0
               : area[static_cast<std::size_t>(index)];
}

// The bytes back from their decimal text: "n " per byte, no leading zeros.
bool TextMatchesBytes(std::string_view text, const std::uint8_t* bytes, std::size_t count) {
    const char* at = text.data();
    const char* const end = text.data() + text.size();
    for (std::size_t i = 0; i < count; ++i) {
        unsigned value = 0;
        const auto [next, ec] = std::from_chars(at, end, value);
        if (ec != std::errc{} || next == end || *next != ' ' || value != bytes[i] ||
            (next - at > 1 && *at == '0')) {
            return false;
        }
        at = next + 1;
    }
    return at == end;
}

bool IsUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80           ? 1
                                   : (lead >> 5) == 0x6  ? 2
                                   : (lead >> 4) == 0xE  ? 3
                                   : (lead >> 3) == 0x1E ? 4
                                                         : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        for (std::size_t j = 1; j < length; ++j) {
            if ((static_cast<unsigned char>(text[i + j]) >> 6) != 0x2) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

bool IsDecimal(std::string_view text, std::uint32_t max) {
    std::uint32_t value = 0;
    const auto [next, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc{} && next == text.data() + text.size() && value <= max;
}

TReplyKind KindOfCommand(std::uint8_t command) {
    switch (command) {
    case CMD_SIGNATURE:
        return TReplyKind::Signature;
    case CMD_READINGS:
        return TReplyKind::Readings;
    case CMD_READ_COEFFS:
        return TReplyKind::Coefficients;
    case CMD_CALIBRATE:
        return TReplyKind::Calibrated;
    default:
        return FindCommandRow(command) != nullptr ? TReplyKind::Fields : TReplyKind::Other;
    }
}

void CheckDecoded(const TFrame& frame) {
    const TDecodedReply comma = DecodeReply(frame, ",");
    const TDecodedReply point = DecodeReply(frame, ".");

    // Decoded exactly when the length byte matches the command's layout.
    const std::uint8_t layout = ReplyLayoutLength(frame[1]);
    const bool fits = layout != 0 && frame[2] == layout;
    FUZZ_CHECK(comma.kind == (fits ? KindOfCommand(frame[1]) : TReplyKind::Other));

    // The separator shows in the channel lines and nowhere else.
    FUZZ_CHECK(point.kind == comma.kind);
    FUZZ_CHECK(point.coefficients == comma.coefficients);
    FUZZ_CHECK(point.serialNumber == comma.serialNumber);
    FUZZ_CHECK(point.memoLines.size() == comma.memoLines.size());
    for (std::size_t i = 0; i < comma.memoLines.size(); ++i) {
        std::string line = comma.memoLines[i];
        std::replace(line.begin(), line.end(), ',', '.');
        FUZZ_CHECK(line == point.memoLines[i]);
        FUZZ_CHECK(IsUtf8(comma.memoLines[i]));
    }

    const bool noCoefficients = std::all_of(comma.coefficients.begin(), comma.coefficients.end(),
                                            [](double c) { return c == 0; });
    switch (comma.kind) {
    case TReplyKind::Other:
        FUZZ_CHECK(comma.memoLines.empty() && comma.serialNumber.empty() && noCoefficients);
        break;
    case TReplyKind::Signature:
        FUZZ_CHECK(comma.memoLines.size() == 5 && IsDecimal(comma.serialNumber, 65535));
        FUZZ_CHECK(noCoefficients);
        break;
    case TReplyKind::Readings:
        // Two channels of two lines, or one line for a channel without signal.
        FUZZ_CHECK(comma.memoLines.size() >= 5 && comma.memoLines.size() <= 7);
        FUZZ_CHECK(comma.serialNumber.empty() && noCoefficients);
        break;
    case TReplyKind::Coefficients:
        FUZZ_CHECK(comma.memoLines.size() == 4 && comma.serialNumber.empty());
        for (const double c : comma.coefficients) {
            FUZZ_CHECK(c >= 0 && c <= 6553.5);
        }
        break;
    case TReplyKind::Calibrated:
        FUZZ_CHECK(comma.memoLines.size() == 1 && comma.serialNumber.empty() && noCoefficients);
        break;
    case TReplyKind::Fields:
        FUZZ_CHECK(comma.values.size() == comma.row->fields.size() && noCoefficients);
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < HeaderSize) {
        return 0;
    }
    const std::uint32_t expectedCommand = data[0];
    const std::int32_t replyDataLength =
        data[1] == 0 ? EMUL_Functions::VariableReplyLength : std::int32_t{data[1]};
    const std::uint8_t requestAddress = data[2];
    const std::size_t got = std::min(size - HeaderSize, FrameSize);
    TFrame area{};
    std::memcpy(area.data(), data + HeaderSize, got);

    const int asked = ReplyReadCount(replyDataLength);
    FUZZ_CHECK(asked >= 7 && asked <= static_cast<int>(FrameSize));

    // The worker scans into a zeroed frame; a frame full of filler shows
    // exactly which bytes the scan writes.
    TFrame rx{};
    const TReplyScanResult scan =
        ScanReply(area, expectedCommand, replyDataLength, requestAddress, rx);
    TFrame marked;
    marked.fill(Filler);
    const TReplyScanResult again =
        ScanReply(area, expectedCommand, replyDataLength, requestAddress, marked);
    FUZZ_CHECK(again.found == scan.found && again.rule == scan.rule &&
               again.position == scan.position && again.start == scan.start &&
               again.count == scan.count);

    std::size_t copied = 0;
    if (scan.found) {
        FUZZ_CHECK(scan.rule >= 'A' && scan.rule <= 'D');
        FUZZ_CHECK(scan.position >= 0 && scan.position <= 4);
        FUZZ_CHECK(scan.start == scan.position || scan.start == scan.position - 1);
        // The copy is exactly as long as the frame's own length byte says,
        // so the CRC test reads nothing but copied bytes.
        FUZZ_CHECK(scan.count == rx[2] + 4);
        FUZZ_CHECK(scan.count >= 4 && scan.count <= static_cast<int>(FrameSize));
        copied = static_cast<std::size_t>(scan.count);
        for (std::size_t j = 0; j < copied; ++j) {
            FUZZ_CHECK(rx[j] == AreaAt(area, scan.start + static_cast<int>(j)));
            FUZZ_CHECK(marked[j] == rx[j]);
        }
    }
    for (std::size_t j = copied; j < FrameSize; ++j) {
        FUZZ_CHECK(rx[j] == 0 && marked[j] == Filler);
    }

    // A zeroed frame never passes, so only a found reply can be accepted.
    const bool accepted = ReplyCrcMatches(rx);
    FUZZ_CHECK(!accepted || scan.found);
    if (accepted) {
        const std::size_t count = static_cast<std::size_t>(rx[2]) + 4;
        FUZZ_CHECK(TextMatchesBytes(EMUL_Functions::FrameText(rx.data(), count), rx.data(), count));
    }
    FUZZ_CHECK(TextMatchesBytes(EMUL_Functions::FrameText(area.data(), got), area.data(), got));

    CheckDecoded(rx);
    if (scan.found) {
        CheckDecoded(marked);
    }
    return 0;
}
