// Turning an accepted reply into what the operator sees: memo lines,
// coefficient values and the serial number. Pure: the window applies it.
#pragma once

#include "protocol/EMUL_Functions.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace orbel {

enum class TReplyKind {
    Other,        // no layout (the code-250 reply, or a length byte that does not fit)
    Signature,    // memo replaced by five lines, serial number into Edit3
    Readings,     // memo replaced by the channel lines
    Coefficients, // four field values, memo untouched
    Calibrated,   // memo replaced by one line
};

// The signature's numbers.
struct TSignatureValues {
    std::uint8_t address = 0;
    std::uint8_t type = 0;
    std::uint16_t serial = 0;
    std::uint8_t hard = 0;
    std::uint8_t soft = 0;
};

// One channel of a readings reply; level and volume in tenths of a percent.
struct TChannelReading {
    bool hasSignal = false;
    std::uint16_t levelTenths = 0;
    std::uint16_t volumeTenths = 0;
};

struct TDecodedReply {
    TReplyKind kind = TReplyKind::Other;
    std::vector<std::string>
        memoLines; // UTF-8; replaces the memo unless kind is Other/Coefficients
    std::array<double, 4> coefficients{}; // C1, C2 of channel 1, then of channel 2
    std::string serialNumber;             // for Signature
    // The same numbers for front ends that print them in other forms.
    TSignatureValues signature;                       // for Signature
    std::uint8_t sensorStatus = 0;                    // for Readings
    std::array<TChannelReading, 2> channels{};        // for Readings
    std::array<std::uint16_t, 4> coefficientTenths{}; // for Coefficients
};

// The length byte each reply layout carries; 0 for a code without a layout.
std::uint8_t ReplyLayoutLength(std::uint8_t command);

// Decodes a frame (address at position 0). A reply whose length byte does not
// match its command's layout is not decoded (kind Other): otherwise its CRC
// bytes would be shown as data. `decimalSeparator` is the user's regional one.
TDecodedReply DecodeReply(const EMUL_Functions::TFrame& frame, const std::string& decimalSeparator);

// A raw value in tenths as fixed-point text with one decimal: 1000 -> "100,0".
std::string TenthsText(std::uint32_t tenths, const std::string& decimalSeparator);

} // namespace orbel
