#include "base/ConsoleText.h"

namespace orbel {

namespace {

// How many bytes a character that begins with `lead` takes; 0 for a
// continuation byte, 1 for ASCII and for what can begin no character.
std::size_t SequenceLength(unsigned char lead) {
    if ((lead & 0xC0) == 0x80) {
        return 0;
    }
    return (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 1;
}

} // namespace

std::size_t WholeUtf8Length(std::string_view text) {
    // A character is at most four bytes: its lead byte is among the last four.
    const std::size_t size = text.size();
    for (std::size_t back = 1; back <= 4 && back <= size; ++back) {
        const std::size_t length = SequenceLength(static_cast<unsigned char>(text[size - back]));
        if (length != 0) {
            return length > back ? size - back : size;
        }
    }
    return size;
}

} // namespace orbel
