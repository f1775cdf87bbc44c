#include "ui/RegionalSettings.h"

#include <QLocale>

#include <optional>

namespace orbel {

namespace {

bool IsUsableDecimalSeparator(QChar c) {
    return c.isPrint() && !c.isSurrogate() && !c.isDigit() && !c.isLetter() && !c.isSpace() &&
           c != u'+' && c != u'-';
}

// Splits a currency text around the written amount; without the amount in it
// the symbol goes in front.
TCurrencyPattern SplitAround(const QString& text, const QString& amount, const QString& sign,
                             const QString& symbol) {
    const qsizetype at = text.indexOf(amount);
    if (at < 0) {
        return {sign + symbol, QString()};
    }
    return {text.left(at), text.mid(at + amount.size())};
}

std::optional<TRegionalSettings>& TestSettings() {
    static std::optional<TRegionalSettings> settings;
    return settings;
}

const TRegionalSettings& SystemSettings() {
    static const TRegionalSettings settings = RegionalSettingsFromLocale(QLocale::system());
    return settings;
}

} // namespace

TRegionalSettings RegionalSettingsFromLocale(const QLocale& locale) {
    TRegionalSettings result;

    const QString point = locale.decimalPoint();
    if (point.size() == 1 && IsUsableDecimalSeparator(point.front())) {
        result.DecimalSeparator = point.front();
    }

    if (!locale.numberOptions().testFlag(QLocale::OmitGroupSeparator)) {
        const QString group = locale.groupSeparator();
        if (!group.contains(result.DecimalSeparator)) {
            result.ThousandSeparator = group;
        }
    }

    const QString symbol = locale.currencySymbol();
    const QString one = locale.toString(1);
    result.PositiveCurrency =
        SplitAround(locale.toCurrencyString(1.0, symbol, 0), one, QString(), symbol);
    result.NegativeCurrency =
        SplitAround(locale.toCurrencyString(-1.0, symbol, 0), one, locale.negativeSign(), symbol);
    return result;
}

const TRegionalSettings& RegionalSettings() {
    const auto& test = TestSettings();
    return test ? *test : SystemSettings();
}

void SetRegionalSettingsForTests(const TRegionalSettings& settings) {
    TestSettings() = settings;
}

void ResetRegionalSettingsForTests() {
    TestSettings().reset();
}

} // namespace orbel
