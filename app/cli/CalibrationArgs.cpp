#include "app/cli/CalibrationArgs.h"

#include "protocol/CommandSet.h"

#include <charconv>
#include <limits>

namespace orbel::cli {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// 1 or 2 for C1 or C2 (Latin C or c, Cyrillic С U+0421 or с U+0441), else 0.
int PointNumber(std::string_view point) {
    for (std::string_view letter : {"C", "c", "\u0421", "\u0441"}) {
        if (point.size() == letter.size() + 1 && point.substr(0, letter.size()) == letter) {
            const char digit = point.back();
            return digit == '1' || digit == '2' ? digit - '0' : 0;
        }
    }
    return 0;
}

} // namespace

std::optional<double> DecimalValue(std::string_view text) {
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        ++i;
    }
    std::string ascii;
    bool digit = false;
    bool separator = false;
    bool wholeNonZero = false; // a non-zero digit before the separator
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (IsDigit(c)) {
            digit = true;
            wholeNonZero = wholeNonZero || (!separator && c != '0');
            ascii.push_back(c);
        } else if ((c == '.' || c == ',') && !separator) {
            separator = true;
            ascii.push_back('.');
        } else {
            return std::nullopt;
        }
    }
    if (!digit) {
        return std::nullopt;
    }
    double value = 0;
    const auto [end, ec] =
        std::from_chars(ascii.data(), ascii.data() + ascii.size(), value, std::chars_format::fixed);
    if (ec == std::errc::result_out_of_range) {
        // Beyond the double range, or so small that it rounds to zero.
        value = wholeNonZero ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (ec != std::errc{} || end != ascii.data() + ascii.size()) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

TCalibrationArgs ParseCalibration(const std::string& channel, const std::string& point,
                                  const std::string& value) {
    TCalibrationArgs args;
    if (channel != "1" && channel != "2") {
        args.error = "CHANNEL must be 1 or 2, not '" + channel + "'";
        return args;
    }
    const int pointNumber = PointNumber(point);
    if (pointNumber == 0) {
        args.error = "POINT must be C1 or C2, not '" + point + "'";
        return args;
    }
    const std::optional<double> number = DecimalValue(value);
    const std::optional<std::uint16_t> tenths =
        number ? CalibrationTenths(*number) : std::optional<std::uint16_t>{};
    if (!tenths) {
        // The window's refusal: the frame cannot carry it.
        args.error = "Недопустимое значение калибровки: '" + value + "'";
        return args;
    }
    TCalibrationRequest& request = args.request.emplace();
    request.channel = channel[0] - '0';
    request.point = pointNumber == 1 ? "C1" : "C2";
    request.commandIndex = *CalibrationCommandIndex(request.channel, pointNumber);
    request.value = *number;
    request.tenths = *tenths;
    return args;
}

} // namespace orbel::cli
