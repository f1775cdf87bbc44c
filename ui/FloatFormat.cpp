#include "ui/FloatFormat.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <system_error>

namespace orbel {

namespace {

// Digits kept for the conversion to double: far more than a correctly rounded
// result can depend on; the digits beyond are summed up in one sticky digit.
constexpr std::size_t MaxSignificantDigits = 800;
// Scales beyond this give an infinity or zero without further work (the double
// range ends near 10^309 and 10^-324).
constexpr std::int64_t ScaleLimit = 400;
// The exponent read from text stops growing here; the scale test above fires
// long before, so no sum can overflow.
constexpr std::int64_t ExponentCap = 1'000'000'000;

bool IsAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

bool IsSign(QChar c) {
    return c == u'+' || c == u'-';
}

// A decimal value as 0.Digits x 10^Scale, read from a number text.
struct TDecimalText {
    bool Negative = false;
    std::string Digits; // from the first non-zero digit, at most MaxSignificantDigits
    bool DroppedNonZero = false;
    std::int64_t Scale = 0;
};

// Reads the digits and the decimal separator from `pos` on, stopping at the
// first other character; false when there was no digit.
bool ReadMantissa(QStringView text, qsizetype& pos, qsizetype end, QChar separator,
                  TDecimalText& out) {
    bool anyDigit = false;
    bool afterSeparator = false;
    for (; pos < end; ++pos) {
        const QChar c = text[pos];
        if (IsAsciiDigit(c)) {
            anyDigit = true;
            if (out.Digits.empty() && c == u'0') {
                out.Scale -= afterSeparator ? 1 : 0;
                continue;
            }
            out.Scale += afterSeparator ? 0 : 1;
            if (out.Digits.size() < MaxSignificantDigits) {
                out.Digits.push_back(static_cast<char>(c.unicode()));
            } else if (c != u'0') {
                out.DroppedNonZero = true;
            }
        } else if (c == separator && !afterSeparator) {
            afterSeparator = true;
        } else {
            break;
        }
    }
    return anyDigit;
}

// Reads an exponent ("E-5") at `pos`, if there is one, into the scale; false
// when its digits are missing.
bool ReadExponent(QStringView text, qsizetype& pos, qsizetype end, TDecimalText& out) {
    if (pos >= end || (text[pos] != u'E' && text[pos] != u'e')) {
        return true;
    }
    ++pos;
    bool negativeExponent = false;
    if (pos < end && IsSign(text[pos])) {
        negativeExponent = text[pos] == u'-';
        ++pos;
    }
    const qsizetype exponentStart = pos;
    std::int64_t exponent = 0;
    for (; pos < end && IsAsciiDigit(text[pos]); ++pos) {
        if (exponent < ExponentCap) {
            exponent = exponent * 10 + (text[pos].unicode() - u'0');
        }
    }
    out.Scale += negativeExponent ? -exponent : exponent;
    return pos != exponentStart;
}

// Reads the mantissa and exponent; false when the text is no number.
bool ParseNumberText(QStringView text, QChar separator, TDecimalText& out) {
    qsizetype pos = 0;
    qsizetype end = text.size();
    while (pos < end && text[pos] == u' ') {
        ++pos;
    }
    while (end > pos && text[end - 1] == u' ') {
        --end;
    }
    if (pos < end && IsSign(text[pos])) {
        out.Negative = text[pos] == u'-';
        ++pos;
    }
    return ReadMantissa(text, pos, end, separator, out) && ReadExponent(text, pos, end, out) &&
           pos == end;
}

// A value rounded to a number of significant digits.
struct TSignificant {
    std::string Digits; // no trailing zeros, at least one digit
    int Exponent = 0;   // digits before the point in positional notation
};

// magnitude: finite and above zero; count: 1 to MaxFloatPrecision.
TSignificant RoundToSignificant(double magnitude, int count) {
    std::array<char, 64> buffer{};
    const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                                       std::chars_format::scientific, count - 1);
    const std::string_view text(buffer.data(),
                                static_cast<std::size_t>(written.ptr - buffer.data()));
    const std::size_t e = text.find('e');

    TSignificant result;
    result.Digits.push_back(text[0]);
    if (e > 2) {
        result.Digits.append(text.substr(2, e - 2));
    }
    while (result.Digits.size() > 1 && result.Digits.back() == '0') {
        result.Digits.pop_back();
    }
    int exponent = 0;
    const char* digits = text.data() + e + 2; // past "e" and its sign
    std::from_chars(digits, text.data() + text.size(), exponent);
    result.Exponent = (text[e + 1] == '-' ? -exponent : exponent) + 1;
    return result;
}

void AppendAscii(QString& out, std::string_view ascii) {
    for (const char c : ascii) {
        out += QChar(static_cast<char16_t>(c));
    }
}

QString GeneralText(double value, int precision, QChar separator) {
    if (value == 0) {
        return QStringLiteral("0");
    }
    const TSignificant number = RoundToSignificant(std::fabs(value), precision);
    const std::string_view digits = number.Digits;
    const int count = static_cast<int>(digits.size());
    const int e = number.Exponent;

    QString out;
    if (value < 0) {
        out += u'-';
    }
    if (e <= precision && e >= -3) {
        if (e >= 1) {
            AppendAscii(out, digits.substr(0, static_cast<std::size_t>(std::min(e, count))));
            out += QString(std::max(0, e - count), u'0');
            if (count > e) {
                out += separator;
                AppendAscii(out, digits.substr(static_cast<std::size_t>(e)));
            }
        } else {
            out += u'0';
            out += separator;
            out += QString(-e, u'0');
            AppendAscii(out, digits);
        }
    } else {
        out += QChar(static_cast<char16_t>(digits[0]));
        if (count > 1) {
            out += separator;
            AppendAscii(out, digits.substr(1));
        }
        out += u'E';
        out += QString::number(e - 1);
    }
    return out;
}

QString ExponentText(double value, int precision, int digits, QChar separator) {
    std::array<char, 64> buffer{};
    const auto written =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), std::fabs(value),
                      std::chars_format::scientific, precision - 1);
    const std::string_view text(buffer.data(),
                                static_cast<std::size_t>(written.ptr - buffer.data()));
    const std::size_t e = text.find('e');

    QString out;
    if (value < 0) {
        out += u'-';
    }
    out += QChar(static_cast<char16_t>(text[0]));
    out += separator;
    AppendAscii(out, text.substr(2, e - 2));
    out += u'E';
    out += QChar(static_cast<char16_t>(text[e + 1]));

    std::string_view exponent = text.substr(e + 2);
    while (exponent.size() > 1 && exponent.front() == '0') {
        exponent.remove_prefix(1);
    }
    const int width = digits < 4 ? digits : 0;
    out += QString(std::max(0, width - static_cast<int>(exponent.size())), u'0');
    AppendAscii(out, exponent);
    return out;
}

QString GroupThousands(std::string_view integer, const QString& separator) {
    QString out;
    for (std::size_t i = 0; i < integer.size(); ++i) {
        if (i > 0 && (integer.size() - i) % 3 == 0) {
            out += separator;
        }
        out += QChar(static_cast<char16_t>(integer[i]));
    }
    return out;
}

// ffFixed, ffNumber and ffCurrency; the general format for a value with more
// integer digits than the precision.
QString PositionalText(double value, TFloatFormat format, int precision, int digits,
                       const TRegionalSettings& settings) {
    const int decimals = std::clamp(digits, 0, MaxFloatDecimals);
    // The largest double has 309 integer digits.
    std::array<char, 512> buffer{};
    const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                                       std::fabs(value), std::chars_format::fixed, decimals);
    const std::string_view text(buffer.data(),
                                static_cast<std::size_t>(written.ptr - buffer.data()));
    const std::size_t point = text.find('.');
    const std::string_view integer = text.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    if (static_cast<int>(integer.size()) > precision) {
        return GeneralText(value, precision, settings.DecimalSeparator);
    }

    // A value that rounds to zero is written without a sign.
    const bool negative = value < 0 && text.find_first_not_of("0.") != std::string_view::npos;
    QString number = format == ffFixed ? QString::fromLatin1(integer.data(), integer.size())
                                       : GroupThousands(integer, settings.ThousandSeparator);
    if (decimals > 0) {
        number += settings.DecimalSeparator;
        AppendAscii(number, fraction);
    }
    if (format == ffCurrency) {
        const TCurrencyPattern& pattern =
            negative ? settings.NegativeCurrency : settings.PositiveCurrency;
        return pattern.Prefix + number + pattern.Suffix;
    }
    return negative ? QChar(u'-') + number : number;
}

} // namespace

std::optional<double> TryTextToFloat(QStringView text, QChar decimalSeparator) {
    TDecimalText number;
    if (!ParseNumberText(text, decimalSeparator, number)) {
        return std::nullopt;
    }
    constexpr double infinity = std::numeric_limits<double>::infinity();
    const double zero = number.Negative ? -0.0 : 0.0;
    const double overflow = number.Negative ? -infinity : infinity;
    if (number.Digits.empty() || number.Scale < -ScaleLimit) {
        return zero;
    }
    if (number.Scale > ScaleLimit) {
        return overflow;
    }

    // "0.<digits>e<scale>" for the locale-free conversion.
    std::string ascii = "0.";
    ascii += number.Digits;
    if (number.DroppedNonZero) {
        ascii += '1';
    }
    ascii += 'e';
    std::array<char, 24> scale{};
    const auto scaleEnd = std::to_chars(scale.data(), scale.data() + scale.size(), number.Scale);
    ascii.append(scale.data(), scaleEnd.ptr);

    double value = 0;
    const auto result = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        return number.Scale > 0 ? overflow : zero;
    }
    if (result.ec != std::errc() || result.ptr != ascii.data() + ascii.size()) {
        return std::nullopt;
    }
    return number.Negative ? -value : value;
}

double TextToFloat(QStringView text, QChar decimalSeparator) {
    return TryTextToFloat(text, decimalSeparator).value_or(0.0);
}

QString FloatToText(double value, TFloatFormat format, int precision, int digits,
                    const TRegionalSettings& settings) {
    if (std::isnan(value)) {
        return QStringLiteral("NAN");
    }
    if (std::isinf(value)) {
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    }
    const int p = std::clamp(precision, MinFloatPrecision, MaxFloatPrecision);
    switch (format) {
    case ffExponent:
        return ExponentText(value, p, digits, settings.DecimalSeparator);
    case ffFixed:
    case ffNumber:
    case ffCurrency:
        return PositionalText(value, format, p, digits, settings);
    case ffGeneral:
        break;
    }
    return GeneralText(value, p, settings.DecimalSeparator);
}

std::optional<QChar> FilterTypedChar(QStringView text, qsizetype selectionStart,
                                     qsizetype selectionLength, QChar typed,
                                     QChar decimalSeparator) {
    if (IsAsciiDigit(typed)) {
        return typed;
    }
    switch (typed.unicode()) {
    case u'\b':
    case u'\t':
    case u'\r':
    case 0x1B: // escape
        return typed;
    default:
        break;
    }
    if (typed == u'.' || typed == u',' || typed == decimalSeparator) {
        if (text.contains(decimalSeparator)) {
            return std::nullopt;
        }
        return decimalSeparator;
    }
    if (typed == u'-') {
        const qsizetype size = text.size();
        const qsizetype start = std::clamp<qsizetype>(selectionStart, 0, size);
        const qsizetype length = std::clamp<qsizetype>(selectionLength, 0, size - start);
        if (start != 0) {
            return std::nullopt;
        }
        // Another minus only where the typing replaces the one already there.
        const qsizetype minus = text.indexOf(u'-');
        if (minus < 0 || minus < length) {
            return typed;
        }
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace orbel
