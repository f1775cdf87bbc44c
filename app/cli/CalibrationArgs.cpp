#include "app/cli/CalibrationArgs.h"

#include "protocol/CommandSet.h"

#include <algorithm>
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

std::optional<std::uint16_t> DecimalTenths(std::string_view text) {
    if (!DecimalValue(text)) {
        return std::nullopt;
    }
    const bool negative = text[0] == '-';
    if (text[0] == '-' || text[0] == '+') {
        text.remove_prefix(1);
    }
    const std::size_t separator = std::min(text.find_first_of(".,"), text.size());
    std::string_view whole = text.substr(0, separator);
    const std::string_view fraction = text.substr(std::min(separator + 1, text.size()));
    whole.remove_prefix(std::min(whole.find_first_not_of('0'), whole.size()));
    if (whole.size() > 5) {
        return std::nullopt; // 100000 and more
    }
    std::uint32_t tenths = 0;
    for (const char c : whole) {
        tenths = tenths * 10 + static_cast<std::uint32_t>(c - '0');
    }
    tenths = tenths * 10 + (fraction.empty() ? 0 : static_cast<std::uint32_t>(fraction[0] - '0'));
    // What lies beyond the tenths: above, at or below a half.
    const std::string_view rest = fraction.empty() ? fraction : fraction.substr(1);
    const char first = rest.empty() ? '0' : rest[0];
    const bool beyondHalf = rest.size() > 1 && rest.find_first_not_of('0', 1) != std::string::npos;
    if (first > '5' || (first == '5' && (beyondHalf || tenths % 2 == 1))) {
        ++tenths;
    }
    if (tenths > 65535 || (negative && tenths != 0)) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(tenths);
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
    const std::optional<std::uint16_t> tenths = DecimalTenths(value);
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
