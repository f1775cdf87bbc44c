#include "serial/platform/PortDiagnosticSink.h"

#include <mutex>

#ifdef _WIN32
#include <cstdio>
#else
#include <unistd.h>
#endif

namespace orbel {

namespace {

std::mutex sinkMutex;
PortDiagnosticSink sink;

void WriteStandardError(const std::string& text) {
    // One write, so that the line is not torn by other output.
#ifdef _WIN32
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
#else
    [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, text.data(), text.size());
#endif
}

} // namespace

void SetPortDiagnosticSink(PortDiagnosticSink newSink) {
    std::lock_guard lock(sinkMutex);
    sink = std::move(newSink);
}

void PortDiagnostic(const std::string& line) {
    std::string text = line;
    if (text.empty() || text.back() != '\n') {
        text.push_back('\n');
    }
    std::lock_guard lock(sinkMutex);
    if (sink) {
        sink(text);
        return;
    }
    WriteStandardError(text);
}

} // namespace orbel
