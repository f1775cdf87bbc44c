#include "base/Text.h"

#include <algorithm>

namespace orbel {

char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return AsciiUpper(x) == AsciiUpper(y);
           });
}

std::string UpperName(std::string_view name) {
    std::string upper(name);
    std::transform(upper.begin(), upper.end(), upper.begin(), AsciiUpper);
    return upper;
}

std::string CrLfLines(std::string_view text) {
    std::string lines;
    lines.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            lines.push_back('\r');
        }
        lines.push_back(text[i]);
    }
    return lines;
}

std::string SystemLines(std::string_view text) {
#ifdef _WIN32
    return CrLfLines(text);
#else
    return std::string(text);
#endif
}

} // namespace orbel
