// Turning an accepted reply into its command's named values (CommandTable.h)
// and what the operator sees: text lines, coefficient values and the serial
// number. Pure: the front ends apply it.
#pragma once

#include "protocol/CommandTable.h"
#include "protocol/EMUL_Functions.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace orbel {

enum class TReplyKind {
    Other,        // no layout (the code-250 reply, or a length byte that does not fit)
    Signature,    // five lines, serial number into Edit3
    Readings,     // the channel lines
    Coefficients, // four field values, lines for orbel-cli
    Calibrated,   // one line
    Fields,       // any other command's: its fields' lines
};

// One field's value: the bytes as an unsigned number, and the number they
// stand for (tenths divided, a float's value).
struct TDecodedValue {
    const TReplyField* field = nullptr;
    std::uint32_t raw = 0;
    double value = 0;
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
    const TCommandRow* row = nullptr;  // the command's row; nullptr when not decoded
    std::vector<TDecodedValue> values; // one per field of the row, in its order
    std::uint8_t groupsPresent = 0;    // bit g - 1 set: the row's group g is present
    // The text lines (UTF-8) from the fields' labels; the window's memo shows
    // them unless kind is Other or Coefficients.
    std::vector<std::string> memoLines;
    std::array<double, 4> coefficients{}; // C1, C2 of channel 1, then of channel 2
    std::string serialNumber;             // for Signature
    // The same numbers for front ends that print them in other forms.
    TSignatureValues signature;                       // for Signature
    std::uint8_t sensorStatus = 0;                    // for Readings
    std::array<TChannelReading, 2> channels{};        // for Readings
    std::array<std::uint16_t, 4> coefficientTenths{}; // for Coefficients

    bool GroupPresent(std::uint8_t group) const {
        return group == 0 || (groupsPresent >> (group - 1) & 1U) != 0;
    }
};

// The text lines of a decoded reply: the fields without a group, then each
// group under its heading (an empty line before a heading that follows other
// lines), or its line for an absent group.
std::vector<std::string> ReplyLines(const TDecodedReply& reply,
                                    const std::string& decimalSeparator);

// One field's value in a frame.
TDecodedValue DecodeField(const EMUL_Functions::TFrame& frame, const TReplyField& field);

// The value's text: a whole number, tenths or a float with the separator given.
std::string ValueText(const TDecodedValue& value, const std::string& decimalSeparator);

// The length byte each reply layout carries; 0 for a code without a layout.
std::uint8_t ReplyLayoutLength(std::uint8_t command);

// Decodes a frame (address at position 0). A reply whose length byte does not
// match its command's layout is not decoded (kind Other): otherwise its CRC
// bytes would be shown as data. `decimalSeparator` is the user's regional one.
TDecodedReply DecodeReply(const EMUL_Functions::TFrame& frame, const std::string& decimalSeparator);

// A raw value in tenths as fixed-point text with one decimal: 1000 -> "100,0".
std::string TenthsText(std::uint32_t tenths, const std::string& decimalSeparator);

} // namespace orbel
