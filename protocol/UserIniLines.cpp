#include "protocol/UserIniLines.h"

#include "base/WideText.h"

#include <filesystem>
#include <stdexcept>

namespace orbel {

bool ReadUserIniLine(std::istream& in, std::string& line) {
    line.clear();
    bool ended = false;
    std::size_t seen = 0;
    for (int c = in.get(); c != std::char_traits<char>::eof(); c = in.get()) {
        if (c == '\n') {
            ended = true;
            break;
        }
        if (line.size() < UserIniMaxLine) {
            line.push_back(static_cast<char>(c));
        }
        // A line without LF for a very long stretch: stop reading.
        if (++seen > 16 * UserIniMaxLine) {
            break;
        }
    }
    if (ended && !line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    if (in.bad()) {
        throw std::runtime_error("cannot read user.ini");
    }
    return ended;
}

std::string UserIniPath() {
    std::error_code ec;
    const auto dir = std::filesystem::current_path(ec);
    return Utf8FromPath(ec ? std::filesystem::path(".") : dir) + "/user.ini";
}

TUserIniLines ReadUserIniLines(std::istream& in) {
    TUserIniLines lines;
    if (ReadUserIniLine(in, lines.Port)) {
        ReadUserIniLine(in, lines.Mode);
    }
    return lines;
}

int UserIniPortNumber(const std::string& line) {
    if (line.size() == 4 && line.compare(0, 3, "COM") == 0 && line[3] >= '1' && line[3] <= '4') {
        return line[3] - '0';
    }
    return 0;
}

bool UserIniSoftwareMode(const std::string& line) {
    return line == "1";
}

} // namespace orbel
