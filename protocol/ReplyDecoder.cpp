#include "protocol/ReplyDecoder.h"

#include "base/Text.h"
#include "protocol/CommandTable.h"

namespace orbel {

using EMUL_Functions::TFrame;

namespace {

std::uint32_t Word(const TFrame& frame, std::size_t at) {
    return static_cast<std::uint32_t>(frame[at]) * 256U + frame[at + 1];
}

TChannelReading Channel(const TFrame& frame, std::size_t at, bool hasSignal) {
    return {hasSignal, static_cast<std::uint16_t>(Word(frame, at)),
            static_cast<std::uint16_t>(Word(frame, at + 2))};
}

void AppendChannel(std::vector<std::string>& lines, const char* heading,
                   const TChannelReading& channel, const std::string& separator) {
    lines.emplace_back(heading);
    if (channel.hasSignal) {
        lines.push_back("Уровень=" + TenthsText(channel.levelTenths, separator) + "%");
        lines.push_back("Объем=" + TenthsText(channel.volumeTenths, separator) + "%");
    } else {
        lines.emplace_back("Нет сигнала с датчика");
    }
}

} // namespace

std::uint8_t ReplyLayoutLength(std::uint8_t command) {
    const TCommandLayout* layout = FindCommandLayout(command);
    return layout != nullptr ? layout->replyLength : 0;
}

std::string TenthsText(std::uint32_t tenths, const std::string& decimalSeparator) {
    return DecimalText(tenths / 10) + decimalSeparator + DecimalText(tenths % 10);
}

TDecodedReply DecodeReply(const TFrame& frame, const std::string& decimalSeparator) {
    TDecodedReply reply;
    const std::uint8_t command = frame[1];
    const std::uint8_t layoutLength = ReplyLayoutLength(command);
    if (layoutLength == 0 || frame[2] != layoutLength) {
        return reply;
    }
    switch (command) {
    case CMD_SIGNATURE: {
        reply.kind = TReplyKind::Signature;
        reply.serialNumber = DecimalText(Word(frame, 4));
        reply.signature = {frame[0], frame[3], static_cast<std::uint16_t>(Word(frame, 4)), frame[6],
                           frame[7]};
        reply.memoLines = {
            "Адрес прибора " + DecimalText(frame[0]), "Тип прибора " + DecimalText(frame[3]),
            "C\u0435рийный № " + reply.serialNumber,  "Версия HARD " + DecimalText(frame[6]),
            "Версия SOFT " + DecimalText(frame[7]),
        };
        break;
    }
    case CMD_READ_COEFFS:
        reply.kind = TReplyKind::Coefficients;
        for (std::size_t i = 0; i < 4; ++i) {
            reply.coefficientTenths[i] = static_cast<std::uint16_t>(Word(frame, 3 + 2 * i));
            reply.coefficients[i] = static_cast<double>(reply.coefficientTenths[i]) / 10.0;
        }
        break;
    case CMD_CALIBRATE:
        reply.kind = TReplyKind::Calibrated;
        reply.memoLines = {"Операция выполнена"};
        break;
    case CMD_READINGS: {
        reply.kind = TReplyKind::Readings;
        const std::uint8_t status = frame[11];
        reply.sensorStatus = status;
        reply.channels = {Channel(frame, 3, status == 0 || status == 2),
                          Channel(frame, 7, status == 0 || status == 1)};
        AppendChannel(reply.memoLines, "КАНАЛ1 :", reply.channels[0], decimalSeparator);
        reply.memoLines.emplace_back();
        AppendChannel(reply.memoLines, "КАНАЛ2 :", reply.channels[1], decimalSeparator);
        break;
    }
    default:
        break;
    }
    return reply;
}

} // namespace orbel
