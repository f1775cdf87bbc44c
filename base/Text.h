// Small texts that no locale takes part in: names compared the way settings
// keys and port names are (ASCII letters without regard to case), whole
// numbers in decimal, and the line ends of the text files the programs write.
#pragma once

#include <charconv>
#include <concepts>
#include <string>
#include <string_view>

namespace orbel {

// Upper case for the ASCII letters; every other byte stays as it is.
char AsciiUpper(char c);

// Equal but for the case of ASCII letters.
bool SameName(std::string_view a, std::string_view b);

// The name in ASCII upper case: a key under which SameName names are equal.
std::string UpperName(std::string_view name);

// A whole number in decimal, with a minus sign when negative: 42, -1, 65535.
template <std::integral T>
requires(!std::same_as<T, bool>) std::string DecimalText(T value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    return std::string(digits, result.ptr);
}

// Each line feed that has no carriage return before it made a CR LF pair.
std::string CrLfLines(std::string_view text);

// Lines as the system's text files end them: CR LF on Windows (where a
// technician opens them in Notepad), a line feed elsewhere.
std::string SystemLines(std::string_view text);

} // namespace orbel
