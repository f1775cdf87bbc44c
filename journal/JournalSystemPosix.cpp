#include "journal/JournalSystem.h"

#include "base/Text.h"
#include "serial/platform/posix/DeviceNames.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace orbel {

std::string JournalHostName() {
    char name[256] = {};
    return ::gethostname(name, sizeof name - 1) == 0 ? name : "";
}

std::string JournalUserName() {
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr) {
        return found->pw_name;
    }
    return DecimalText(static_cast<std::int64_t>(::geteuid()));
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
