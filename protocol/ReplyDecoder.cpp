#include "protocol/ReplyDecoder.h"

#include "base/Text.h"

#include <array>
#include <bit>
#include <charconv>

namespace orbel {

using EMUL_Functions::TFrame;

namespace {

std::uint32_t Word(const TFrame& frame, std::size_t at) {
    return static_cast<std::uint32_t>(frame[at]) * 256U + frame[at + 1];
}

// The double that reads as the float's shortest text: 1.1, not 1.100000023841858.
double FloatValue(std::uint32_t bits) {
    std::array<char, 32> text{};
    const auto end =
        std::to_chars(text.data(), text.data() + text.size(), std::bit_cast<float>(bits)).ptr;
    double value = 0;
    std::from_chars(text.data(), end, value);
    return value;
}

} // namespace

TDecodedValue DecodeField(const TFrame& frame, const TReplyField& field) {
    TDecodedValue value{&field, 0, 0};
    const std::size_t at = field.offset;
    switch (field.decoding) {
    case TDecoding::Byte:
        value.raw = frame[at];
        break;
    case TDecoding::Word:
    case TDecoding::Tenths:
        value.raw = Word(frame, at);
        break;
    case TDecoding::Float:
        value.raw = Word(frame, at) << 16U | Word(frame, at + 2);
        value.value = FloatValue(value.raw);
        return value;
    }
    value.value = field.decoding == TDecoding::Tenths ? value.raw / 10.0 : value.raw;
    return value;
}

namespace {

std::string Line(const char* label, const std::string& value) {
    std::string line = label;
    if (const std::size_t at = line.find("{}"); at != std::string::npos) {
        line.replace(at, 2, value);
    }
    return line;
}

} // namespace

std::vector<std::string> ReplyLines(const TDecodedReply& reply, const std::string& separator) {
    std::vector<std::string> lines;
    if (reply.row == nullptr) {
        return lines;
    }
    const auto addFields = [&](std::uint8_t group) {
        for (const TDecodedValue& value : reply.values) {
            if (value.field->group == group && value.field->label != nullptr) {
                lines.push_back(Line(value.field->label, ValueText(value, separator)));
            }
        }
    };
    addFields(0);
    for (std::uint8_t g = 1; g <= reply.row->groups.size(); ++g) {
        const TFieldGroup& group = reply.row->groups[g - 1];
        if (group.heading != nullptr) {
            if (!lines.empty()) {
                lines.emplace_back();
            }
            lines.emplace_back(group.heading);
        }
        if (reply.GroupPresent(g)) {
            addFields(g);
        } else {
            lines.emplace_back(group.absent);
        }
    }
    return lines;
}

namespace {

std::uint16_t Raw16(const TDecodedReply& reply, std::size_t i) {
    return static_cast<std::uint16_t>(reply.values[i].raw);
}

// The inherited commands' numbers by name, for the front ends that take them so.
void FillNamed(TDecodedReply& reply) {
    switch (reply.row->code) {
    case CMD_SIGNATURE:
        reply.kind = TReplyKind::Signature;
        reply.serialNumber = DecimalText(reply.values[2].raw);
        reply.signature = {static_cast<std::uint8_t>(reply.values[0].raw),
                           static_cast<std::uint8_t>(reply.values[1].raw), Raw16(reply, 2),
                           static_cast<std::uint8_t>(reply.values[3].raw),
                           static_cast<std::uint8_t>(reply.values[4].raw)};
        break;
    case CMD_READINGS:
        reply.kind = TReplyKind::Readings;
        reply.sensorStatus = static_cast<std::uint8_t>(reply.values[0].raw);
        for (std::size_t c = 0; c < 2; ++c) {
            reply.channels[c] = {reply.GroupPresent(static_cast<std::uint8_t>(c + 1)),
                                 Raw16(reply, 1 + 2 * c), Raw16(reply, 2 + 2 * c)};
        }
        break;
    case CMD_READ_COEFFS:
        reply.kind = TReplyKind::Coefficients;
        for (std::size_t i = 0; i < 4; ++i) {
            reply.coefficientTenths[i] = Raw16(reply, i);
            reply.coefficients[i] = reply.values[i].value;
        }
        break;
    case CMD_CALIBRATE:
        reply.kind = TReplyKind::Calibrated;
        break;
    default:
        reply.kind = TReplyKind::Fields;
        break;
    }
}

} // namespace

std::uint8_t ReplyLayoutLength(std::uint8_t command) {
    const TCommandRow* row = FindCommandRow(command);
    return row != nullptr ? row->replyLength : 0;
}

std::string TenthsText(std::uint32_t tenths, const std::string& decimalSeparator) {
    return DecimalText(tenths / 10) + decimalSeparator + DecimalText(tenths % 10);
}

std::string ValueText(const TDecodedValue& value, const std::string& decimalSeparator) {
    switch (value.field->decoding) {
    case TDecoding::Byte:
    case TDecoding::Word:
        break;
    case TDecoding::Tenths:
        return TenthsText(value.raw, decimalSeparator);
    case TDecoding::Float: {
        std::array<char, 32> text{};
        const auto result =
            std::to_chars(text.data(), text.data() + text.size(), std::bit_cast<float>(value.raw));
        std::string number(text.data(), result.ptr);
        if (const std::size_t point = number.find('.'); point != std::string::npos) {
            number.replace(point, 1, decimalSeparator);
        }
        return number;
    }
    }
    return DecimalText(value.raw);
}

TDecodedReply DecodeReply(const TFrame& frame, const std::string& decimalSeparator) {
    TDecodedReply reply;
    const TCommandRow* row = FindCommandRow(frame[1]);
    if (row == nullptr || frame[2] != row->replyLength) {
        return reply;
    }
    reply.row = row;
    reply.values.reserve(row->fields.size());
    for (const TReplyField& field : row->fields) {
        reply.values.push_back(DecodeField(frame, field));
    }
    for (std::size_t g = 0; g < row->groups.size(); ++g) {
        const TFieldGroup& group = row->groups[g];
        const unsigned status = frame[group.statusOffset];
        const bool present =
            group.presentWhen == 0 || (status < 8 && (group.presentWhen >> status & 1U) != 0);
        reply.groupsPresent = static_cast<std::uint8_t>(reply.groupsPresent | present << g);
    }
    reply.memoLines = ReplyLines(reply, decimalSeparator);
    FillNamed(reply);
    return reply;
}

} // namespace orbel
