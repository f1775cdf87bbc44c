// The user's regional number settings: decimal separator, thousands separator
// and currency layout. They are read once from the system locale, on first use,
// and stay fixed for the run; tests may replace them.
#pragma once

#include <QChar>
#include <QString>

class QLocale;

namespace orbel {

// A currency text is Prefix + amount + Suffix, the amount written without sign.
struct TCurrencyPattern {
    QString Prefix;
    QString Suffix;
};

struct TRegionalSettings {
    // Always a single character that is no digit, letter, blank or sign.
    QChar DecimalSeparator{u'.'};
    // Written between groups of three integer digits; empty means no grouping.
    QString ThousandSeparator;
    TCurrencyPattern PositiveCurrency;
    TCurrencyPattern NegativeCurrency{QStringLiteral("-"), QString()};
};

// The settings a locale gives. A decimal separator that cannot be told apart
// from the other characters of a number falls back to a full stop, and a
// thousands separator equal to the decimal separator is dropped.
TRegionalSettings RegionalSettingsFromLocale(const QLocale& locale);

// The settings in force: those of QLocale::system(), read at the first call,
// unless a test has set others. Window thread only.
const TRegionalSettings& RegionalSettings();

// Replaces the settings in force until ResetRegionalSettingsForTests().
void SetRegionalSettingsForTests(const TRegionalSettings& settings);
void ResetRegionalSettingsForTests();

} // namespace orbel
