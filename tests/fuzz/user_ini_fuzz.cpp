// The "user.ini" reader on arbitrary file content, once from a plain stream
// and once from a stream whose reads fail halfway through the content.

#include "FuzzCheck.h"

#include "protocol/UserIniLines.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <string_view>

using namespace orbel;

namespace {

// The reader gives up on a line after this many bytes without LF.
constexpr std::size_t LineGiveUp = 16 * UserIniMaxLine;
constexpr std::size_t TwoLinesWorth = 2 * (LineGiveUp + 1);

// Content in memory that counts what was taken from it; a read past
// `failAt` throws, as a device error does inside a file stream.
class TMemoryBuf : public std::streambuf {
public:
    TMemoryBuf(std::string_view content, std::size_t failAt) : failing_(failAt < content.size()) {
        char* begin = const_cast<char*>(content.data());
        setg(begin, begin, begin + std::min(failAt, content.size()));
    }
    std::size_t Consumed() const { return static_cast<std::size_t>(gptr() - eback()); }

protected:
    int_type underflow() override {
        if (failing_) {
            throw std::runtime_error("read failure");
        }
        return traits_type::eof();
    }

private:
    bool failing_;
};

struct TLines {
    std::string Port;
    std::string Mode;
};

// Both lines as the window reads them: the second only after a first ended by its LF.
TLines ReadLines(std::istream& in) {
    TLines lines;
    if (ReadUserIniLine(in, lines.Port)) {
        ReadUserIniLine(in, lines.Mode);
    }
    return lines;
}

// A line from `from` up to LF (or the end), without the LF.
std::string_view LineAt(std::string_view content, std::size_t from) {
    if (from >= content.size()) {
        return {};
    }
    const std::size_t end = std::min(content.find('\n', from), content.size());
    return content.substr(from, end - from);
}

// What the reader keeps of a line: its first UserIniMaxLine bytes, less one
// CR at their end when the line ended at its LF.
std::string Kept(std::string_view line, bool ended) {
    std::string_view kept = line.substr(0, UserIniMaxLine);
    if (ended && !kept.empty() && kept.back() == '\r') {
        kept.remove_suffix(1);
    }
    return std::string(kept);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view content(reinterpret_cast<const char*>(data), size);

    TMemoryBuf plainBuf(content, size);
    std::istream plain(&plainBuf);
    const TLines lines = ReadLines(plain);
    const std::size_t consumed = plainBuf.Consumed();

    FUZZ_CHECK(lines.Port.size() <= UserIniMaxLine && lines.Mode.size() <= UserIniMaxLine);
    FUZZ_CHECK(lines.Port.find('\n') == std::string::npos);
    FUZZ_CHECK(lines.Mode.find('\n') == std::string::npos);
    FUZZ_CHECK(consumed <= TwoLinesWorth);

    const std::string_view first = LineAt(content, 0);
    const bool firstEnded = first.size() < size;
    FUZZ_CHECK(lines.Port == Kept(first, firstEnded && first.size() <= LineGiveUp));
    if (first.size() <= LineGiveUp) {
        // A long first line is skipped up to its LF; the next one is the mode.
        const std::string_view second = LineAt(content, first.size() + 1);
        const bool secondEnded =
            first.size() + 1 + second.size() < size && second.size() <= LineGiveUp;
        FUZZ_CHECK(lines.Mode == (firstEnded ? Kept(second, secondEnded) : ""));
    } else {
        // Never a piece of the first line taken for the second.
        FUZZ_CHECK(lines.Mode.empty());
    }

    // A read failure is reported, never taken for shorter content; a failure
    // beyond what the reader looks at changes nothing.
    const std::size_t failAt = size / 2;
    TMemoryBuf failingBuf(content, failAt);
    std::istream failing(&failingBuf);
    bool threw = false;
    TLines partial;
    try {
        partial = ReadLines(failing);
    } catch (const std::runtime_error&) {
        threw = true;
    }
    if (consumed > failAt) {
        FUZZ_CHECK(threw);
    } else {
        FUZZ_CHECK(!threw && partial.Port == lines.Port && partial.Mode == lines.Mode);
    }
    return 0;
}
