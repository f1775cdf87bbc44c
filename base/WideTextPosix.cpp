#include "base/WideText.h"

#include <cstdlib>

namespace orbel {

std::filesystem::path PathFromUtf8(std::string_view text) {
    return std::filesystem::path(text);
}

std::string Utf8FromPath(const std::filesystem::path& path) {
    return path.string();
}

std::optional<std::string> EnvironmentText(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) {
        return std::nullopt;
    }
    return std::string(value);
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return {argv, argv + argc};
}

} // namespace orbel
