#include "serial/errors/PortErrorMessages.h"

#include "base/Text.h"

#include <filesystem>
#include <libintl.h>
#include <mutex>
#include <system_error>

namespace {

constexpr const char* Domain = "cport";

std::once_flag bindOnce;
std::once_flag tableOnce;
std::array<std::string, PortErrorCount> table;

// Marks a text for xgettext without translating it.
constexpr const char* N_(const char* text) {
    return text;
}

std::filesystem::path ExecutableDir() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path{} : exe.parent_path();
}

void BindDomain() {
    std::call_once(bindOnce, [] {
        const std::string dir = PortErrorLocaleDir();
        if (!dir.empty()) {
            bindtextdomain(Domain, dir.c_str());
        }
        bind_textdomain_codeset(Domain, "UTF-8");
    });
}

} // namespace

const std::array<const char*, PortErrorCount> PortErrorTexts = {
    N_("Unable to open com port"),
    N_("WriteFile function failed"),
    N_("ReadFile function failed"),
    N_("Invalid Async parameter"),
    N_("PurgeComm function failed"),
    N_("Unable to get async status"),
    N_("SetCommState function failed"),
    N_("SetCommTimeouts failed"),
    N_("SetupComm function failed"),
    N_("ClearCommError function failed"),
    N_("GetCommModemStatus function failed"),
    N_("EscapeCommFunction function failed"),
    N_("TransmitCommChar function failed"),
    N_("Cannot set property while connected"),
    N_("EnumPorts function failed"),
    N_("Failed to store settings"),
    N_("Failed to load settings"),
    N_("Link (un)registration failed"),
    N_("Cannot change led state if ComPort is selected"),
    N_("Cannot wait for event if event thread is created"),
    N_("WaitForEvent method failed"),
    N_("A component is linked to OnRxBuf event"),
    N_("Registry error"),
};

const char* const PortErrorSuffix = N_(" (win error code: %d)");

std::string PortErrorLocaleDir() {
    if (const char* env = std::getenv("ORBEL_LOCALEDIR"); env != nullptr && *env != '\0') {
        return env;
    }
    const auto exeDir = ExecutableDir();
    if (exeDir.empty()) {
        return {};
    }
    std::error_code ec;
    for (const auto& candidate : {exeDir / ".." / "locale", exeDir / ".." / "share" / "locale"}) {
        if (std::filesystem::exists(candidate / "ru" / "LC_MESSAGES" / "cport.mo", ec)) {
            return std::filesystem::weakly_canonical(candidate, ec).string();
        }
    }
    return {};
}

std::array<std::string, PortErrorCount> TranslatePortErrorTable() {
    BindDomain();
    std::array<std::string, PortErrorCount> result;
    for (int i = 0; i < PortErrorCount; ++i) {
        result[static_cast<std::size_t>(i)] =
            dgettext(Domain, PortErrorTexts[static_cast<std::size_t>(i)]);
    }
    return result;
}

void InitPortErrorMessages() {
    std::call_once(tableOnce, [] { table = TranslatePortErrorTable(); });
}

const std::string& PortErrorMessages(std::int32_t code) {
    static const std::string empty;
    InitPortErrorMessages();
    if (code < 1 || code > PortErrorCount) {
        return empty;
    }
    return table[static_cast<std::size_t>(code - 1)];
}

std::string PortErrorSuffixFor(std::int32_t systemCode) {
    BindDomain();
    std::string suffix = dgettext(Domain, PortErrorSuffix);
    if (const auto pos = suffix.find("%d"); pos != std::string::npos) {
        suffix.replace(pos, 2, DecimalText(systemCode));
    }
    return suffix;
}
