#include "base/DiagnosticLog.h"

#include "base/LocalTime.h"
#include "base/Text.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

namespace orbel {

namespace {

std::string Stamp() {
    const std::tm t = LocalTime(std::time(nullptr));
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d ", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

} // namespace

TDiagnosticLog::TDiagnosticLog(std::filesystem::path file, std::uintmax_t cap)
    : file_(std::move(file)), cap_(cap) {}

std::filesystem::path TDiagnosticLog::OlderFile() const {
    std::filesystem::path older = file_;
    older.replace_extension(".old" + file_.extension().string());
    return older;
}

void TDiagnosticLog::Write(std::string_view line) {
    std::string text = Stamp();
    text.append(line);
    if (text.back() != '\n') {
        text.push_back('\n');
    }
    text = SystemLines(text);
    std::lock_guard lock(mutex_);
    std::error_code ec;
    std::filesystem::create_directories(file_.parent_path(), ec);
    const std::uintmax_t size = std::filesystem::file_size(file_, ec);
    if (!ec && size + text.size() > cap_) {
        std::filesystem::remove(OlderFile(), ec);
        std::filesystem::rename(file_, OlderFile(), ec);
    }
    std::ofstream out(file_, std::ios::binary | std::ios::app);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

} // namespace orbel
