#include "journal/JournalChain.h"

#include <nettle/sha2.h>

#include <array>
#include <cstdint>

namespace orbel {

std::string Sha256Hex(std::string_view bytes) {
    sha256_ctx context;
    sha256_init(&context);
    sha256_update(&context, bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()));
    std::array<std::uint8_t, SHA256_DIGEST_SIZE> digest{};
    sha256_digest(&context, digest.size(), digest.data());
    static constexpr char Digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(digest.size() * 2);
    for (const std::uint8_t byte : digest) {
        text += Digits[byte >> 4];
        text += Digits[byte & 0x0F];
    }
    return text;
}

bool LooksLikeJournal(std::string_view head) {
    const std::size_t n = std::min(head.size(), EntryOpening.size());
    return head.substr(0, n) == EntryOpening.substr(0, n);
}

std::optional<TJournalEnd> JournalEndIn(std::string_view tail, bool wholeFile) {
    TJournalEnd end;
    if (tail.empty()) {
        if (!wholeFile) {
            return std::nullopt;
        }
        return end;
    }
    end.empty = false;
    end.endsWithLineFeed = tail.back() == '\n';
    const std::string_view body = end.endsWithLineFeed ? tail.substr(0, tail.size() - 1) : tail;
    const std::size_t feed = body.rfind('\n');
    if (feed == std::string_view::npos && !wholeFile) {
        return std::nullopt;
    }
    end.lastLine = std::string(feed == std::string_view::npos ? body : body.substr(feed + 1));
    return end;
}

std::string AppendedBytes(const TJournalEnd& end, std::string_view entryLine) {
    std::string bytes;
    bytes.reserve(entryLine.size() + 2);
    if (!end.endsWithLineFeed && !end.empty) {
        bytes += '\n';
    }
    bytes += entryLine;
    bytes += '\n';
    return bytes;
}

} // namespace orbel
