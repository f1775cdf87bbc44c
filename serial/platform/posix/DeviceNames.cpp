#include "serial/platform/posix/DeviceNames.h"

#include "base/Text.h"
#include "serial/platform/ComPlatform.h"
#include "serial/platform/PortVariable.h"

#include <charconv>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string_view>

namespace orbel {

namespace {

std::mutex lookupMutex;
std::shared_ptr<const EnvironmentLookup> customLookup;

} // namespace

std::optional<std::string> LookUpEnvironment(const std::string& variable) {
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

namespace {

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

// An absolute path as it stands, a bare name ("ttyUSB0") in /dev, anything
// else (a relative path, "." or "..") as no device.
std::string PathFor(std::string_view name) {
    if (!name.empty() && name.front() == '/') {
        return std::string(name);
    }
    const bool bare =
        !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
    return bare ? "/dev/" + std::string(name) : std::string();
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
    const unsigned n = ComNumber(port);
    if (n == 0) {
        // Never a path relative to the working directory.
        return PathFor(port);
    }
    // The variable's value follows the same rule: it is no path relative to
    // the working directory either.
    const std::string variable = PortVariable(n);
    if (auto value = LookUpEnvironment(variable); value && !value->empty()) {
        return PathFor(*value);
    }
    return "/dev/ttyS" + std::to_string(n - 1);
}

} // namespace orbel
