#include "WindowLog.h"

#include "base/DiagnosticLog.h"
#include "base/WideText.h"
#include "serial/platform/PortDiagnosticSink.h"

namespace orbel {

namespace {

constexpr std::uintmax_t LogCap = 1024 * 1024;

} // namespace

std::filesystem::path WindowLogFile() {
    const auto folder = EnvironmentText("LOCALAPPDATA");
    if (!folder || folder->empty()) {
        return {};
    }
    return PathFromUtf8(*folder) / PathFromUtf8("ОРБЕЛ") / "orbel.log";
}

void SendDiagnosticsToLog() {
    const std::filesystem::path file = WindowLogFile();
    if (file.empty()) {
        return;
    }
    // Kept to the process's end: a port may still close during exit.
    static auto* log = new TDiagnosticLog(file, LogCap);
    SetPortDiagnosticSink([](const std::string& line) { log->Write(line); });
}

} // namespace orbel
