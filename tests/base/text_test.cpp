#include "base/Text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <utility>

using namespace orbel;

TEST(Text, NamesCompareWithoutCaseOfAsciiLettersOnly) {
    struct Case {
        const char* a;
        const char* b;
        bool same;
    };
    for (const Case c :
         {Case{"BaudRate", "BAUDRATE", true}, Case{"com1", "COM1", true}, Case{"", "", true},
          Case{"Parity", "Parit", false}, Case{"a[", "A{", false}, // '[' and '{' are no letters
          Case{"\xD0\xB0", "\xD0\x90", false}}) {                  // Cyrillic а and А differ
        EXPECT_EQ(SameName(c.a, c.b), c.same) << c.a << " " << c.b;
    }
    EXPECT_EQ(UpperName("Flow_Control-2\xD0\xB0"), "FLOW_CONTROL-2\xD0\xB0");
}

TEST(Text, DecimalTextOfEveryWidth) {
    EXPECT_EQ(DecimalText(std::uint8_t{255}), "255");
    EXPECT_EQ(DecimalText(std::uint8_t{0}), "0");
    EXPECT_EQ(DecimalText(std::int32_t{-1}), "-1");
    EXPECT_EQ(DecimalText(std::numeric_limits<std::int32_t>::min()), "-2147483648");
    EXPECT_EQ(DecimalText(std::numeric_limits<std::uint32_t>::max()), "4294967295");
    EXPECT_EQ(DecimalText(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
    EXPECT_EQ(DecimalText(std::numeric_limits<std::uint64_t>::max()), "18446744073709551615");
}

TEST(Text, LineFeedsBecomeCrLfPairsOnce) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"a\nb\n", "a\r\nb\r\n"},
        {"\n\n", "\r\n\r\n"},
        {"a\r\nb\n", "a\r\nb\r\n"}, // a pair stays one pair
        {"a\rb", "a\rb"},
        {"\xD0\x9F\n", "\xD0\x9F\r\n"},
    };
    for (const auto& [text, lines] : cases) {
        EXPECT_EQ(CrLfLines(text), lines) << text;
    }
#ifdef _WIN32
    EXPECT_EQ(SystemLines("a\n"), "a\r\n");
#else
    EXPECT_EQ(SystemLines("a\n"), "a\n");
#endif
}
