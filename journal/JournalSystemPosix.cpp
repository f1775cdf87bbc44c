#include "journal/JournalSystem.h"

#include "base/Text.h"
#include "serial/platform/posix/DeviceNames.h"

#include <cstdlib>
#include <unistd.h>

namespace orbel {

std::string JournalHostName() {
    char name[256] = {};
    return ::gethostname(name, sizeof name - 1) == 0 ? name : "";
}

// The login's name as the session gives it (the password database is left
// alone: the static orbel-cli of the driver tests has no name service), else
// the user's number.
std::string JournalUserName() {
    for (const char* name : {"LOGNAME", "USER"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return "uid " + DecimalText(static_cast<std::int64_t>(::geteuid()));
}

std::int64_t JournalProcessId() {
    return ::getpid();
}

std::string JournalPortDevice(const std::string& port) {
    const std::string device = ResolveDeviceName(port);
    return device.empty() ? port : device;
}

bool JournalSpeaksRussian() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return std::string(value).rfind("ru", 0) == 0;
        }
    }
    return false;
}

} // namespace orbel
