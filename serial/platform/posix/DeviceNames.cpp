#include "serial/platform/posix/DeviceNames.h"

#include "base/Text.h"

#include <charconv>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string_view>

namespace {

std::mutex lookupMutex;
std::shared_ptr<const EnvironmentLookup> customLookup;

std::optional<std::string> LookUp(const std::string& variable) {
    std::shared_ptr<const EnvironmentLookup> lookup;
    {
        std::lock_guard lock(lookupMutex);
        lookup = customLookup;
    }
    if (lookup) {
        return (*lookup)(variable);
    }
    const char* value = std::getenv(variable.c_str());
    if (value == nullptr) {
        return std::nullopt;
    }
    return std::string(value);
}

// The n of "COMn" in any letter case, or 0 when the name is no such port.
unsigned ComNumber(std::string_view name) {
    if (name.size() < 4 || !SameName(name.substr(0, 3), "COM")) {
        return 0;
    }
    const std::string_view digits = name.substr(3);
    unsigned n = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (ec != std::errc{} || end != digits.data() + digits.size()) {
        return 0;
    }
    return n;
}

} // namespace

void SetEnvironmentLookup(EnvironmentLookup lookup) {
    auto replacement =
        lookup ? std::make_shared<const EnvironmentLookup>(std::move(lookup)) : nullptr;
    std::lock_guard lock(lookupMutex);
    customLookup = std::move(replacement);
}

std::string PortLabel(const std::string& name) {
    const std::string_view prefix = DeviceNamePrefix;
    return name.compare(0, prefix.size(), prefix) == 0 ? name.substr(prefix.size()) : name;
}

std::string ResolveDeviceName(const std::string& name) {
    std::string_view port = name;
    const std::string_view prefix = DeviceNamePrefix;
    if (port.substr(0, prefix.size()) == prefix) {
        port.remove_prefix(prefix.size());
    }
    if (!port.empty() && port.front() == '/') {
        return std::string(port);
    }
    const unsigned n = ComNumber(port);
    if (n == 0) {
        // Never a path relative to the working directory.
        const bool bare = !port.empty() && port != "." && port != ".." &&
                          port.find('/') == std::string_view::npos;
        return bare ? "/dev/" + std::string(port) : std::string();
    }
    const std::string upper = "COM" + std::to_string(n);
    if (auto value = LookUp("ORBEL_" + upper); value && !value->empty()) {
        return *value;
    }
    return "/dev/ttyS" + std::to_string(n - 1);
}
