#include "protocol/ReplyDecoder.h"

#include "base/Text.h"
#include "protocol/CommandTable.h"

using EMUL_Functions::TFrame;

namespace {

std::uint32_t Word(const TFrame& frame, std::size_t at) {
    return static_cast<std::uint32_t>(frame[at]) * 256U + frame[at + 1];
}

void AppendChannel(std::vector<std::string>& lines, const char* heading, bool hasSignal,
                   std::uint32_t level, std::uint32_t volume, const std::string& separator) {
    lines.emplace_back(heading);
    if (hasSignal) {
        lines.push_back("Уровень=" + TenthsText(level, separator) + "%");
        lines.push_back("Объем=" + TenthsText(volume, separator) + "%");
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
            reply.coefficients[i] = static_cast<double>(Word(frame, 3 + 2 * i)) / 10.0;
        }
        break;
    case CMD_CALIBRATE:
        reply.kind = TReplyKind::Calibrated;
        reply.memoLines = {"Операция выполнена"};
        break;
    case CMD_READINGS: {
        reply.kind = TReplyKind::Readings;
        const std::uint8_t status = frame[11];
        const bool channel1 = status == 0 || status == 2;
        const bool channel2 = status == 0 || status == 1;
        AppendChannel(reply.memoLines, "КАНАЛ1 :", channel1, Word(frame, 3), Word(frame, 5),
                      decimalSeparator);
        reply.memoLines.emplace_back();
        AppendChannel(reply.memoLines, "КАНАЛ2 :", channel2, Word(frame, 7), Word(frame, 9),
                      decimalSeparator);
        break;
    }
    default:
        break;
    }
    return reply;
}
