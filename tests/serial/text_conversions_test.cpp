#include "serial/storage/ComTextConversions.h"

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <iterator>

using namespace orbel;

TEST(TextConversions, EnumerationsRoundTripThroughTheirTextForms) {
    for (int i = 0; i < BaudRateCount; ++i) {
        const auto rate = static_cast<TBaudRate>(i);
        EXPECT_EQ(StrToBaudRate(BaudRateToStr(rate)), rate) << i;
    }
    EXPECT_EQ(BaudRateToStr(brCustom), "Custom");
    EXPECT_EQ(BaudRateToStr(br256000), "256000");
    EXPECT_EQ(StopBitsToStr(sbOne5StopBits), "1.5");
    EXPECT_EQ(StrToStopBits("1.5"), sbOne5StopBits);
    EXPECT_EQ(StrToDataBits("7"), dbSeven);
    EXPECT_EQ(StrToFlowControl("hardware"), fcHardware);
    EXPECT_EQ(StrToDTR("HANDSHAKE"), dtrHandshake);
    EXPECT_EQ(StrToRTS("toggle"), rtsToggle);
    EXPECT_EQ(RTSToStr(rtsToggle), "Toggle");
}

TEST(TextConversions, UnknownTextGivesTheTypesDefault) {
    EXPECT_EQ(StrToParity("mark"), prMark);
    EXPECT_EQ(StrToParity("Mark "), prNone);
    EXPECT_EQ(StrToBaudRate(""), br9600);
    EXPECT_EQ(StrToBaudRate("9600.0"), br9600);
    EXPECT_EQ(StrToBaudRate("custom"), brCustom);
    EXPECT_EQ(StrToStopBits("3"), sbOneStopBit);
    EXPECT_EQ(StrToDataBits("9"), dbEight);
    EXPECT_EQ(StrToFlowControl("Xon"), fcCustom);
    EXPECT_EQ(StrToDTR(""), dtrDisable);
    EXPECT_EQ(StrToRTS("Enabled"), rtsDisable);
}

TEST(TextConversions, BooleanIsYesInAnyCaseAndNothingElse) {
    EXPECT_EQ(BoolToStr(true), "Yes");
    EXPECT_EQ(BoolToStr(false), "No");
    EXPECT_TRUE(StrToBool("yEs"));
    EXPECT_FALSE(StrToBool("Yes "));
    EXPECT_FALSE(StrToBool("True"));
    EXPECT_FALSE(StrToBool(""));
}

TEST(TextConversions, CharactersOutsidePrintableRangeUseTheHashForm) {
    EXPECT_EQ(CharToStr(0), "#0");
    EXPECT_EQ(CharToStr(17), "#17");
    EXPECT_EQ(CharToStr(32), "#32");
    EXPECT_EQ(CharToStr(33), "!");
    EXPECT_EQ(CharToStr(127), "\x7f");
    EXPECT_EQ(CharToStr(128), "#128");
    EXPECT_EQ(CharToStr(255), "#255");
    for (int c = 0; c < 256; ++c) {
        EXPECT_EQ(StrToChar(CharToStr(static_cast<std::uint8_t>(c))), c) << c;
    }
}

TEST(TextConversions, ReadingCharactersNeverFails) {
    EXPECT_EQ(StrToChar(""), 0);
    EXPECT_EQ(StrToChar("#"), 35);
    EXPECT_EQ(StrToChar("#A1"), 0);
    EXPECT_EQ(StrToChar("#12x"), 0);
    EXPECT_EQ(StrToChar("# 1"), 0);
    EXPECT_EQ(StrToChar("#99999999999"), 0);
    EXPECT_EQ(StrToChar("#300"), 44);
    EXPECT_EQ(StrToChar("#-1"), 255);
    EXPECT_EQ(StrToChar("AB"), 'A');
    EXPECT_EQ(StrToChar("\xd0\x90"), 0xd0); // first byte of a UTF-8 letter
}

// Every value's text form against the literal text, and back from it in lower case.
TEST(TextConversions, EveryValueHasItsLiteralTextForm) {
    const char* const rates[] = {"Custom", "110",    "300",    "600",   "1200",  "2400",
                                 "4800",   "9600",   "14400",  "19200", "38400", "56000",
                                 "57600",  "115200", "128000", "256000"};
    ASSERT_EQ(std::size(rates), std::size_t(BaudRateCount));
    for (int i = 0; i < BaudRateCount; ++i) {
        const auto value = static_cast<TBaudRate>(i);
        EXPECT_EQ(BaudRateToStr(value), rates[i]) << i;
        EXPECT_EQ(StrToBaudRate(rates[i]), value) << i;
    }
    const auto lower = [](std::string text) {
        for (char& c : text) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        return text;
    };
    const auto check = [&](const auto& table, auto toText, auto fromText) {
        for (std::size_t i = 0; i < std::size(table); ++i) {
            const auto value = static_cast<decltype(fromText(""))>(i);
            EXPECT_EQ(toText(value), table[i]) << i;
            EXPECT_EQ(fromText(lower(table[i])), value) << table[i];
        }
    };
    check(std::array{"1", "1.5", "2"}, StopBitsToStr, StrToStopBits);
    check(std::array{"5", "6", "7", "8"}, DataBitsToStr, StrToDataBits);
    check(std::array{"None", "Odd", "Even", "Mark", "Space"}, ParityToStr, StrToParity);
    check(std::array{"Hardware", "Software", "None", "Custom"}, FlowControlToStr, StrToFlowControl);
    check(std::array{"Disable", "Enable", "Handshake"}, DTRToStr, StrToDTR);
    check(std::array{"Disable", "Enable", "Handshake", "Toggle"}, RTSToStr, StrToRTS);
}
