#include "serial/storage/ComTextConversions.h"

#include "base/Text.h"

#include <array>
#include <charconv>
#include <string_view>

namespace orbel {

namespace {

// Each indexed by its enumeration, one text per value.
constexpr std::array<const char*, sbTwoStopBits + 1> StopBitsTexts = {"1", "1.5", "2"};
constexpr std::array<const char*, dbEight + 1> DataBitsTexts = {"5", "6", "7", "8"};
constexpr std::array<const char*, prSpace + 1> ParityTexts = {"None", "Odd", "Even", "Mark",
                                                              "Space"};
constexpr std::array<const char*, fcCustom + 1> FlowControlTexts = {"Hardware", "Software", "None",
                                                                    "Custom"};
constexpr std::array<const char*, dtrHandshake + 1> DTRTexts = {"Disable", "Enable", "Handshake"};
constexpr std::array<const char*, rtsToggle + 1> RTSTexts = {"Disable", "Enable", "Handshake",
                                                             "Toggle"};

template <std::size_t N> constexpr bool AllTexts(const std::array<const char*, N>& texts) {
    for (const char* text : texts) {
        if (text == nullptr) {
            return false;
        }
    }
    return true;
}
static_assert(AllTexts(StopBitsTexts) && AllTexts(DataBitsTexts) && AllTexts(ParityTexts) &&
                  AllTexts(FlowControlTexts) && AllTexts(DTRTexts) && AllTexts(RTSTexts),
              "a text for every value");

constexpr std::array<const char*, BaudRates.size()> BaudRateTexts = [] {
    std::array<const char*, BaudRates.size()> texts{};
    for (const TBaudRateRow& row : BaudRates) {
        texts[row.rate] = row.text;
    }
    return texts;
}();

template <typename Enum, std::size_t N>
Enum FromText(const std::array<const char*, N>& texts, const std::string& text, Enum fallback) {
    for (std::size_t i = 0; i < N; ++i) {
        if (SameName(text, texts[i])) {
            return static_cast<Enum>(i);
        }
    }
    return fallback;
}

template <std::size_t N> std::string ToText(const std::array<const char*, N>& texts, unsigned i) {
    return i < N ? texts[i] : "";
}

} // namespace

std::string BaudRateToStr(TBaudRate value) {
    return ToText(BaudRateTexts, value);
}
std::string StopBitsToStr(TStopBits value) {
    return ToText(StopBitsTexts, value);
}
std::string DataBitsToStr(TDataBits value) {
    return ToText(DataBitsTexts, value);
}
std::string ParityToStr(TParityBits value) {
    return ToText(ParityTexts, value);
}
std::string FlowControlToStr(TFlowControl value) {
    return ToText(FlowControlTexts, value);
}
std::string DTRToStr(TDTRFlowControl value) {
    return ToText(DTRTexts, value);
}
std::string RTSToStr(TRTSFlowControl value) {
    return ToText(RTSTexts, value);
}
std::string BoolToStr(bool value) {
    return value ? "Yes" : "No";
}

std::string CharToStr(std::uint8_t value) {
    if (value >= 33 && value <= 127) {
        return std::string(1, static_cast<char>(value));
    }
    return "#" + std::to_string(value);
}

TBaudRate StrToBaudRate(const std::string& text) {
    return FromText(BaudRateTexts, text, br9600);
}
TStopBits StrToStopBits(const std::string& text) {
    return FromText(StopBitsTexts, text, sbOneStopBit);
}
TDataBits StrToDataBits(const std::string& text) {
    return FromText(DataBitsTexts, text, dbEight);
}
TParityBits StrToParity(const std::string& text) {
    return FromText(ParityTexts, text, prNone);
}
TFlowControl StrToFlowControl(const std::string& text) {
    return FromText(FlowControlTexts, text, fcCustom);
}
TDTRFlowControl StrToDTR(const std::string& text) {
    return FromText(DTRTexts, text, dtrDisable);
}
TRTSFlowControl StrToRTS(const std::string& text) {
    return FromText(RTSTexts, text, rtsDisable);
}
bool StrToBool(const std::string& text) {
    return SameName(text, "YES");
}

std::uint8_t StrToChar(const std::string& text) {
    if (text.empty()) {
        return 0;
    }
    if (text[0] != '#' || text.size() == 1) {
        return static_cast<std::uint8_t>(text[0]);
    }
    std::string_view digits(text);
    digits.remove_prefix(1);
    if (digits.size() > 1 && digits[0] == '+') {
        digits.remove_prefix(1);
    }
    std::int32_t number = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (ec != std::errc{} || end != digits.data() + digits.size()) {
        return 0;
    }
    // Modulo 256 as the byte's two's complement: #-1 is 255, #300 is 44.
    return static_cast<std::uint8_t>(number);
}

} // namespace orbel
