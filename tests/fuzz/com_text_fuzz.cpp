// The text conversions of the line settings on arbitrary text: every reading
// gives a value of its type whose text reads back as the same value, and
// letter case never matters except for a single character.

#include "FuzzCheck.h"

#include "serial/storage/ComTextConversions.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace orbel;

namespace {

std::string WithCase(std::string text, bool upper) {
    for (char& c : text) {
        if (upper && c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        } else if (!upper && c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

struct TTexts {
    std::string asIs, upper, lower;
};

template <typename Enum>
void CheckSetting(const TTexts& t, int count, Enum (*read)(const std::string&),
                  std::string (*write)(Enum)) {
    const Enum value = read(t.asIs);
    FUZZ_CHECK(static_cast<int>(value) < count);
    FUZZ_CHECK(read(t.upper) == value && read(t.lower) == value);
    const std::string text = write(value);
    FUZZ_CHECK(!text.empty() && read(text) == value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const TTexts t{input, WithCase(input, true), WithCase(input, false)};

    CheckSetting(t, BaudRateCount, StrToBaudRate, BaudRateToStr);
    CheckSetting(t, sbTwoStopBits + 1, StrToStopBits, StopBitsToStr);
    CheckSetting(t, dbEight + 1, StrToDataBits, DataBitsToStr);
    CheckSetting(t, prSpace + 1, StrToParity, ParityToStr);
    CheckSetting(t, fcCustom + 1, StrToFlowControl, FlowControlToStr);
    CheckSetting(t, dtrHandshake + 1, StrToDTR, DTRToStr);
    CheckSetting(t, rtsToggle + 1, StrToRTS, RTSToStr);

    const bool flag = StrToBool(input);
    FUZZ_CHECK(StrToBool(t.upper) == flag && StrToBool(t.lower) == flag);
    FUZZ_CHECK(StrToBool(BoolToStr(flag)) == flag);

    const std::uint8_t c = StrToChar(input);
    FUZZ_CHECK(StrToChar(CharToStr(c)) == c);
    if (!input.empty()) {
        const auto first = static_cast<std::uint8_t>(input[0]);
        FUZZ_CHECK(StrToChar(CharToStr(first)) == first);
        if (first != '#' || size == 1) {
            FUZZ_CHECK(c == first);
        }
    }
    return 0;
}
