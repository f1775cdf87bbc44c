#include "serial/errors/PortErrorCatalogue.h"
#include "serial/errors/PortErrorMessages.h"

#include <cstdlib>
#include <filesystem>
#include <libintl.h>
#include <mutex>
#include <system_error>

namespace orbel {

namespace {

constexpr const char* Domain = "cport";

std::once_flag bindOnce;

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

const char* EnglishPortErrorSuffix() {
    return " (system error code: %d)"; // an errno is no win error code
}

std::string TranslatedPortText(const char* english) {
    BindDomain();
    return dgettext(Domain, english);
}

} // namespace orbel
