// The numeric entry field's value reading on arbitrary text (UTF-8) with a
// comma and with a full stop as the decimal separator. Every value read is
// written back in each format and read again.
//
// Plain ASCII texts are also read by std::from_chars: both must agree on
// whether the text is a number and on its value, so the field's own
// digit handling (leading zeros, long mantissas, huge exponents) is checked
// against the library's.

#include "FuzzCheck.h"

#include "ui/FloatFormat.h"
#include "ui/RegionalSettings.h"

#include <QLocale>
#include <QString>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

using namespace orbel;

namespace {

const std::array<TRegionalSettings, 2>& Settings() {
    static const std::array<TRegionalSettings, 2> settings = {
        RegionalSettingsFromLocale(QLocale(QLocale::Russian, QLocale::Russia)),
        RegionalSettingsFromLocale(QLocale(QLocale::English, QLocale::UnitedStates)),
    };
    return settings;
}

// Precision and digits, out-of-range ones included (they are clamped).
constexpr std::array<int, 8> Precisions = {-1, 2, 5, 7, 15, 17, 18, 99};
constexpr std::array<int, 7> DigitCounts = {-5, 0, 1, 2, 4, 18, 40};

bool IsNumberChar(char c) {
    return (c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-';
}

// The reading of `text` as std::from_chars sees it, after the field's own
// rules that the library lacks: blanks around, a leading plus sign, the
// chosen separator. Checks it against `value`, the field's reading.
void CheckAgainstLibrary(const QString& text, QChar separator, std::optional<double> value) {
    std::string ascii;
    for (const QChar c : text) {
        if (c.unicode() >= 0x80 || c == (separator == u'.' ? u',' : u'.')) {
            FUZZ_CHECK(!value); // no such character belongs in a number
            return;
        }
        ascii.push_back(c == separator ? '.' : static_cast<char>(c.unicode()));
    }
    const std::size_t first = ascii.find_first_not_of(' ');
    if (first == std::string::npos) {
        FUZZ_CHECK(!value);
        return;
    }
    ascii = ascii.substr(first, ascii.find_last_not_of(' ') + 1 - first);
    if (!std::all_of(ascii.begin(), ascii.end(), IsNumberChar)) {
        FUZZ_CHECK(!value); // letters (the library's "inf" and "nan"), inner blanks
        return;
    }
    if (ascii[0] == '+' && (ascii.size() == 1 || (ascii[1] != '+' && ascii[1] != '-'))) {
        ascii.erase(0, 1);
    }

    double expected = 0;
    const char* const end = ascii.data() + ascii.size();
    const auto [next, ec] = std::from_chars(ascii.data(), end, expected);
    if (next != end || (ec != std::errc{} && ec != std::errc::result_out_of_range)) {
        FUZZ_CHECK(!value);
        return;
    }
    FUZZ_CHECK(value.has_value());
    if (ec == std::errc{}) {
        FUZZ_CHECK(std::bit_cast<std::uint64_t>(*value) == std::bit_cast<std::uint64_t>(expected));
    } else {
        FUZZ_CHECK(std::isinf(*value) || *value == 0);
        FUZZ_CHECK(std::signbit(*value) == (ascii[0] == '-'));
    }
}

// |read - value| within what `precision` significant digits (or `decimals`
// digits after the point) and one conversion back can lose.
bool Close(double read, double value, int precision, std::optional<int> decimals) {
    constexpr double epsilon = std::numeric_limits<double>::epsilon();
    constexpr double tiny = std::numeric_limits<double>::denorm_min();
    const double magnitude = std::fabs(value);
    const double significant = 0.5 * std::pow(10.0, 1 - precision);
    if (std::isinf(read)) {
        // Rounding up to `precision` digits can step past the largest double.
        return std::signbit(read) == std::signbit(value) &&
               magnitude * (1 + significant) >= std::numeric_limits<double>::max();
    }
    if (precision >= 17 && !decimals) {
        return read == value; // 17 significant digits tell every double apart
    }
    double bound = magnitude * significant;
    if (decimals) {
        bound = std::max(bound, 0.5 * std::pow(10.0, -*decimals));
    }
    return std::fabs(read - value) <= bound * (1 + 1e-9) + magnitude * 4 * epsilon + tiny;
}

void CheckWrittenBack(double value, int precision, int digits) {
    const int p = std::clamp(precision, MinFloatPrecision, MaxFloatPrecision);
    const int decimals = std::clamp(digits, 0, MaxFloatDecimals);
    for (const TRegionalSettings& settings : Settings()) {
        for (const TFloatFormat format : {ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency}) {
            const QString text = FloatToText(value, format, precision, digits, settings);
            FUZZ_CHECK(!text.isEmpty());
            const std::optional<double> read = TryTextToFloat(text, settings.DecimalSeparator);
            switch (format) {
            case ffGeneral:
            case ffExponent:
                FUZZ_CHECK(read && Close(*read, value, p, std::nullopt));
                break;
            case ffFixed:
                FUZZ_CHECK(read && Close(*read, value, p, decimals));
                break;
            case ffNumber: // readable without a thousands separator in it
                FUZZ_CHECK(!read || Close(*read, value, p, decimals));
                break;
            case ffCurrency:
                break;
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const int precision = Precisions[size % Precisions.size()];
    const int digits = DigitCounts[(size == 0 ? 0 : data[0]) % DigitCounts.size()];

    for (const QChar separator : {QChar(u','), QChar(u'.')}) {
        const std::optional<double> value = TryTextToFloat(text, separator);
        CheckAgainstLibrary(text, separator, value);
        if (value && std::isfinite(*value)) {
            CheckWrittenBack(*value, precision, digits);
        }
    }
    return 0;
}
