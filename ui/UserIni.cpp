#include "ui/UserIni.h"

#include "base/AtomicFile.h"

#include <filesystem>
#include <stdexcept>

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
    return (ec ? std::filesystem::path(".") : dir).string() + "/user.ini";
}

TUserIniLines ReadUserIniLines(std::istream& in) {
    TUserIniLines lines;
    if (ReadUserIniLine(in, lines.Port)) {
        ReadUserIniLine(in, lines.Mode);
    }
    return lines;
}

std::string UserIniContent(const std::string& port, bool softwareMode) {
    return port + "\r\n" + (softwareMode ? "1" : "0") + "\r\n";
}

void WriteUserIni(const std::string& path, const std::string& content) {
    WriteFileAtomically(path, content);
}
