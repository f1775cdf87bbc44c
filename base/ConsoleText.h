// UTF-8 text on its way to a console that takes whole characters: the part
// of a write that may go now, the rest held for the next write.
#pragma once

#include <cstddef>
#include <string_view>

namespace orbel {

// The length of the longest beginning of `text` that does not end inside a
// character: a lead byte at the end whose continuation bytes have not all
// come yet is left out. Bytes that are no UTF-8 at all count as whole (the
// conversion shows them as U+FFFD).
std::size_t WholeUtf8Length(std::string_view text);

} // namespace orbel
