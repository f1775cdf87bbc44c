// Reading a value from the text of the numeric field.
#include "ui/FloatFormat.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <random>
#include <regex>
#include <string>

using namespace orbel;

namespace {

constexpr double Infinity = std::numeric_limits<double>::infinity();

std::optional<double> Read(const QString& text, QChar separator = u',') {
    return TryTextToFloat(text, separator);
}

} // namespace

TEST(NumberText, ReadsEveryFormOfANumber) {
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"0", 0},
        {"12,5", 12.5},
        {"  12,5  ", 12.5},
        {"-1,5E3", -1500},
        {"+2", 2},
        {"1e-2", 0.01},
        {",5", 0.5},
        {"5,", 5},
        {"007", 7},
        {"1E+2", 100},
        {"100,0", 100},
        {"-0,00005", -0.00005},
        {"655,3", 655.3},
        {"1,5E8", 1.5e8},
        {"0,1", 0.1},
        {"1E0005", 1e5},
        {"123456789012345678901234567890", 123456789012345678901234567890.0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Read(QString::fromLatin1(c.text)), c.value) << c.text;
        QString withPoint = QString::fromLatin1(c.text);
        withPoint.replace(u',', u'.');
        EXPECT_EQ(Read(withPoint, u'.'), c.value) << c.text;
    }
    EXPECT_TRUE(std::signbit(*Read(QStringLiteral("-0"))));
}

TEST(NumberText, AnythingElseIsNoNumberAndReadsAsZero) {
    const QString cases[] = {
        QString(),
        QStringLiteral(" "),
        QStringLiteral("-"),
        QStringLiteral("+"),
        QStringLiteral("12-"),
        QStringLiteral("3-5"),
        QStringLiteral("1,2,3"),
        QStringLiteral("1.5"),
        QStringLiteral("1 2"),
        QStringLiteral("E5"),
        QStringLiteral(","),
        QStringLiteral(",E5"),
        QStringLiteral("1E"),
        QStringLiteral("1E+"),
        QStringLiteral("1E5,5"),
        QStringLiteral("--1"),
        QStringLiteral("+-1"),
        QStringLiteral("0x10"),
        QStringLiteral("inf"),
        QStringLiteral("INF"),
        QStringLiteral("NAN"),
        QStringLiteral("\t1"),
        QStringLiteral("1\u00A0"),
        QStringLiteral("12\u00A0345"),
        QStringLiteral("\u0661\u0662"),
        QStringLiteral("\uFF11"),
        QStringLiteral("abc"),
        QStringLiteral("1") + QChar(0),
        QChar(0) + QStringLiteral("1"),
    };
    for (const QString& text : cases) {
        EXPECT_EQ(Read(text), std::nullopt) << text.toStdString();
        EXPECT_EQ(TextToFloat(text, u','), 0.0) << text.toStdString();
    }
}

TEST(NumberText, RoundsBeyondTheDoubleRangeToInfinityOrZero) {
    EXPECT_EQ(Read(QStringLiteral("1,7976931348623157E308")), std::numeric_limits<double>::max());
    EXPECT_EQ(Read(QStringLiteral("1E309")), Infinity);
    EXPECT_EQ(Read(QStringLiteral("-1E999999999999999999999999")), -Infinity);
    EXPECT_EQ(Read(QStringLiteral("1E-400")), 0.0);
    EXPECT_EQ(Read(QStringLiteral("1E-99999999999999999999")), 0.0);
    EXPECT_EQ(Read(QStringLiteral("2,2250738585072014E-308")), std::numeric_limits<double>::min());
    EXPECT_EQ(Read(QStringLiteral("0E999999")), 0.0);
}

TEST(NumberText, HandlesHugeDigitStringsExactly) {
    const QString zeros(200000, u'0');
    EXPECT_EQ(Read(QStringLiteral("1") + zeros), Infinity);
    EXPECT_EQ(Read(zeros + QStringLiteral("25")), 25.0);
    EXPECT_EQ(Read(QStringLiteral("0,") + zeros + QStringLiteral("1E200001")), 1.0);
    EXPECT_EQ(Read(QStringLiteral("1") + zeros + QStringLiteral("E-200000")), 1.0);

    // 2^53 + 1 lies halfway between two doubles: exactly halfway rounds to
    // even, the least bit more rounds up, however far behind it comes.
    EXPECT_EQ(Read(QStringLiteral("9007199254740993")), 9007199254740992.0);
    EXPECT_EQ(Read(QStringLiteral("9007199254740993,") + QString(2000, u'0')), 9007199254740992.0);
    EXPECT_EQ(Read(QStringLiteral("9007199254740993,") + QString(2000, u'0') + u'1'),
              9007199254740994.0);
}

TEST(NumberText, AgreesWithAPlainGrammarOnRandomTexts) {
    // Independent reading: a regular expression for the form, from_chars for
    // the value.
    const std::regex form(R"( *[+-]?([0-9]+,?[0-9]*|,[0-9]+)([eE][+-]?[0-9]+)? *)");
    const std::string alphabet = "0123456789,.eE+- x";
    std::mt19937 random(7);
    for (int i = 0; i < 50000; ++i) {
        std::string text(random() % 10, ' ');
        for (char& c : text) {
            c = alphabet[random() % alphabet.size()];
        }
        std::optional<double> expected;
        if (std::regex_match(text, form)) {
            std::string plain = text.substr(text.find_first_not_of(' '));
            plain.erase(plain.find_last_not_of(' ') + 1);
            if (plain[0] == '+') {
                plain.erase(0, 1);
            }
            std::replace(plain.begin(), plain.end(), ',', '.');
            double value = 0;
            const auto [end, error] =
                std::from_chars(plain.data(), plain.data() + plain.size(), value);
            if (error == std::errc::result_out_of_range) {
                continue; // the range has its own test
            }
            ASSERT_EQ(end, plain.data() + plain.size());
            expected = value;
        }
        ASSERT_EQ(Read(QString::fromLatin1(text)), expected) << '"' << text << '"';
    }
}
