#include "serial/errors/PortErrorMessages.h"

#include "base/Text.h"
#include "serial/errors/PortErrorCatalogue.h"

#include <mutex>

namespace orbel {

namespace {

std::once_flag tableOnce;
std::array<std::string, PortErrorCount> table;

// Marks a text for xgettext without translating it.
constexpr const char* N_(const char* text) {
    return text;
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

std::array<std::string, PortErrorCount> TranslatePortErrorTable() {
    std::array<std::string, PortErrorCount> result;
    for (int i = 0; i < PortErrorCount; ++i) {
        result[static_cast<std::size_t>(i)] =
            TranslatedPortText(PortErrorTexts[static_cast<std::size_t>(i)]);
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
    std::string suffix = TranslatedPortText(PortErrorSuffix);
    if (suffix == PortErrorSuffix) {
        suffix = EnglishPortErrorSuffix();
    }
    if (const auto pos = suffix.find("%d"); pos != std::string::npos) {
        suffix.replace(pos, 2, DecimalText(systemCode));
    }
    return suffix;
}

} // namespace orbel
