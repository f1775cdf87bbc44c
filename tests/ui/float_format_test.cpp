// Writing values in the numeric field's formats, the regional settings they
// use, and the typed-character filter.
#include "ui/FloatFormat.h"

#include "QtPrinters.h"

#include <QLocale>
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

using namespace orbel;

namespace {

TRegionalSettings Regional(QChar separator, const QString& thousands = QString()) {
    TRegionalSettings settings;
    settings.DecimalSeparator = separator;
    settings.ThousandSeparator = thousands;
    return settings;
}

QString General(double value, int precision = 8, QChar separator = u',') {
    return FloatToText(value, ffGeneral, precision, 4, Regional(separator));
}

constexpr double Infinity = std::numeric_limits<double>::infinity();

} // namespace

TEST(GeneralFormat, WritesTheReferenceValuesWithCommaAndWithPoint) {
    const struct {
        double value;
        const char* text;
    } cases[] = {{5, "5"},         {123.4, "123,4"},   {655.3, "655,3"},
                 {0.05, "0,05"},   {0.0001, "0,0001"}, {0.00005, "5E-5"},
                 {1.5e8, "1,5E8"}, {-2.5, "-2,5"},     {0, "0"}};
    for (const QChar separator : {QChar(u','), QChar(u'.')}) {
        for (const auto& c : cases) {
            QString expected = QString::fromLatin1(c.text);
            expected.replace(u',', separator);
            EXPECT_EQ(General(c.value, 8, separator), expected) << c.value;
        }
    }
}

TEST(GeneralFormat, ChoosesNotationAfterRoundingToThePrecision) {
    EXPECT_EQ(General(12345678), "12345678");
    EXPECT_EQ(General(10000000), "10000000");
    EXPECT_EQ(General(123456789), "1,2345679E8");
    EXPECT_EQ(General(99999999.5), "1E8");
    EXPECT_EQ(General(0.0000999999999), "0,0001");
    EXPECT_EQ(General(0.000099999994), "9,9999994E-5");
    EXPECT_EQ(General(1.0 / 3), "0,33333333");
    EXPECT_EQ(General(-0.00005), "-5E-5");
    EXPECT_EQ(General(1e300), "1E300");
    EXPECT_EQ(General(std::numeric_limits<double>::denorm_min()), "4,9406565E-324");
}

TEST(GeneralFormat, ClampsThePrecisionAndHandlesSpecialValues) {
    EXPECT_EQ(General(1.26, 1), "1,3");
    EXPECT_EQ(General(1.26, -100), "1,3");
    EXPECT_EQ(General(0.1, 18), "0,100000000000000006");
    EXPECT_EQ(General(0.1, 1000), "0,100000000000000006");
    EXPECT_EQ(General(-0.0), "0");
    for (const TFloatFormat format : {ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency}) {
        EXPECT_EQ(FloatToText(Infinity, format, 8, 4, Regional(u',')), "INF");
        EXPECT_EQ(FloatToText(-Infinity, format, 8, 4, Regional(u',')), "-INF");
        EXPECT_EQ(FloatToText(std::nan(""), format, 8, 4, Regional(u',')), "NAN");
    }
    EXPECT_EQ(FloatToText(2.5, static_cast<TFloatFormat>(42), 8, 4, Regional(u',')), "2,5");
}

TEST(GeneralFormat, ReadsBackEveryDoubleAtSeventeenDigits) {
    std::mt19937_64 random(20260107);
    for (int i = 0; i < 20000; ++i) {
        const double value = std::bit_cast<double>(random());
        if (!std::isfinite(value)) {
            continue;
        }
        for (const QChar separator : {QChar(u','), QChar(u'.')}) {
            const QString text = General(value, 17, separator);
            ASSERT_EQ(TextToFloat(text, separator), value) << text.toStdString();
        }
    }
}

TEST(ExponentFormat, WritesAllDigitsAndASignedExponent) {
    const auto comma = Regional(u',');
    EXPECT_EQ(FloatToText(123.4, ffExponent, 8, 2, comma), "1,2340000E+02");
    EXPECT_EQ(FloatToText(123.4, ffExponent, 8, 4, comma), "1,2340000E+2");
    EXPECT_EQ(FloatToText(123.4, ffExponent, 8, 0, comma), "1,2340000E+2");
    EXPECT_EQ(FloatToText(-0.00005, ffExponent, 3, 3, comma), "-5,00E-005");
    EXPECT_EQ(FloatToText(0, ffExponent, 8, 2, comma), "0,0000000E+00");
    EXPECT_EQ(FloatToText(1e300, ffExponent, 2, 1, comma), "1,0E+300");
}

TEST(FixedFormats, WriteExactlyDigitsDecimals) {
    const auto comma = Regional(u',');
    EXPECT_EQ(FloatToText(1234.5678, ffFixed, 8, 2, comma), "1234,57");
    EXPECT_EQ(FloatToText(1234.5678, ffFixed, 8, 0, comma), "1235");
    EXPECT_EQ(FloatToText(1234.5678, ffFixed, 8, -3, comma), "1235");
    EXPECT_EQ(FloatToText(0.5, ffFixed, 8, 2, comma), "0,50");
    EXPECT_EQ(FloatToText(-1.5, ffFixed, 8, 1, comma), "-1,5");
    EXPECT_EQ(FloatToText(-0.001, ffFixed, 8, 2, comma), "0,00");
    EXPECT_EQ(FloatToText(2.5, ffFixed, 8, 30, comma), "2,500000000000000000");
    // More integer digits than the precision: the general format.
    EXPECT_EQ(FloatToText(123456789, ffFixed, 8, 2, comma), "1,2345679E8");
    EXPECT_EQ(FloatToText(-1e300, ffNumber, 8, 2, comma), "-1E300");
}

TEST(FixedFormats, NumberAndCurrencyUseTheRegionalSeparatorsAndPatterns) {
    const auto grouped = Regional(u',', QStringLiteral("\u00A0"));
    EXPECT_EQ(FloatToText(1234567.891, ffNumber, 10, 2, grouped), "1\u00A0234\u00A0567,89");
    EXPECT_EQ(FloatToText(-1234, ffNumber, 8, 0, grouped), "-1\u00A0234");
    EXPECT_EQ(FloatToText(123, ffNumber, 8, 0, grouped), "123");
    EXPECT_EQ(FloatToText(1234567.891, ffNumber, 10, 2, Regional(u',')), "1234567,89");

    TRegionalSettings rouble = grouped;
    rouble.PositiveCurrency = {QString(), QStringLiteral(" ₽")};
    rouble.NegativeCurrency = {QStringLiteral("-"), QStringLiteral(" ₽")};
    EXPECT_EQ(FloatToText(1234.5, ffCurrency, 8, 2, rouble), "1\u00A0234,50 ₽");
    EXPECT_EQ(FloatToText(-2, ffCurrency, 8, 2, rouble), "-2,00 ₽");

    TRegionalSettings dollar = Regional(u'.', QStringLiteral(","));
    dollar.PositiveCurrency = {QStringLiteral("$"), QString()};
    dollar.NegativeCurrency = {QStringLiteral("($"), QStringLiteral(")")};
    EXPECT_EQ(FloatToText(-1234, ffCurrency, 8, 2, dollar), "($1,234.00)");
    EXPECT_EQ(FloatToText(0.001, ffCurrency, 8, 2, dollar), "$0.00");
}

TEST(RegionalSettings, FollowTheLocale) {
    const auto russian = RegionalSettingsFromLocale(QLocale(QLocale::Russian, QLocale::Russia));
    EXPECT_EQ(russian.DecimalSeparator, QChar(u','));
    EXPECT_FALSE(russian.ThousandSeparator.isEmpty());
    EXPECT_TRUE(
        (russian.PositiveCurrency.Prefix + russian.PositiveCurrency.Suffix).contains(u'₽'));

    const auto english =
        RegionalSettingsFromLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(english.DecimalSeparator, QChar(u'.'));
    EXPECT_EQ(english.ThousandSeparator, QStringLiteral(","));
    EXPECT_EQ(english.PositiveCurrency.Prefix, QStringLiteral("$"));
    EXPECT_EQ(FloatToText(-1234.5, ffCurrency, 8, 2, english),
              english.NegativeCurrency.Prefix + "1,234.50" + english.NegativeCurrency.Suffix);

    QLocale plain = QLocale::c();
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    EXPECT_TRUE(RegionalSettingsFromLocale(plain).ThousandSeparator.isEmpty());
}

TEST(TypedCharFilter, PassesDigitsAndEditingKeysAndDiscardsTheRest) {
    for (const QChar c : QStringLiteral("0123456789\b\t\r\x1b")) {
        EXPECT_EQ(FilterTypedChar(u"12", 2, 0, c, u','), c);
    }
    for (const QChar c : QStringLiteral("aAeE +*/\x01\x7f\u00A0\u0663\uFF11")) {
        EXPECT_EQ(FilterTypedChar(u"12", 2, 0, c, u','), std::nullopt) << unsigned{c.unicode()};
    }
}

TEST(TypedCharFilter, MakesPointAndCommaTheSeparatorOnlyOnce) {
    EXPECT_EQ(FilterTypedChar(u"1", 1, 0, u'.', u','), QChar(u','));
    EXPECT_EQ(FilterTypedChar(u"1", 1, 0, u',', u','), QChar(u','));
    EXPECT_EQ(FilterTypedChar(u"1", 1, 0, u',', u'.'), QChar(u'.'));
    EXPECT_EQ(FilterTypedChar(u"1,5", 3, 0, u'.', u','), std::nullopt);
    EXPECT_EQ(FilterTypedChar(u"1,5", 0, 3, u'.', u','), std::nullopt);
    // The other mark in the text is no separator and does not count.
    EXPECT_EQ(FilterTypedChar(u"1.5", 3, 0, u',', u','), QChar(u','));
}

TEST(TypedCharFilter, LetsAMinusInOnlyAtTheStartAndNeverASecondOne) {
    const struct {
        const char16_t* text;
        qsizetype start;
        qsizetype length;
        bool passes;
    } cases[] = {
        {u"", 0, 0, true},     {u"12", 0, 0, true},   {u"12", 1, 0, false}, {u"12", 0, 2, true},
        {u"12", 1, 1, false},  {u"-12", 0, 0, false}, {u"-12", 0, 1, true}, {u"-12", 0, 3, true},
        {u"-12", 1, 0, false}, {u"1-2", 0, 1, false}, {u"1-2", 0, 2, true}, {u"12", -5, 100, true},
        {u"12", 99, 0, false},
    };
    for (const auto& c : cases) {
        const auto result = FilterTypedChar(c.text, c.start, c.length, u'-', u',');
        EXPECT_EQ(result.has_value(), c.passes)
            << QString::fromUtf16(c.text).toStdString() << " at " << c.start << "+" << c.length;
    }
}
