#include "base/WideText.h"

#include <windows.h>

#include <shellapi.h>

namespace orbel {

std::wstring WideFromUtf8(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int chars = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(chars > 0 ? chars : 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, out.data(), chars);
    return out;
}

std::string Utf8FromWide(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), bytes, nullptr, nullptr);
    return out;
}

std::filesystem::path PathFromUtf8(std::string_view text) {
    return std::filesystem::path(WideFromUtf8(text));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
    return Utf8FromWide(path.native());
}

std::optional<std::string> EnvironmentText(const char* name) {
    const std::wstring wideName = WideFromUtf8(name);
    std::wstring value(64, L'\0');
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD n = GetEnvironmentVariableW(wideName.c_str(), value.data(),
                                                static_cast<DWORD>(value.size()));
        if (n == 0) {
            if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
                return std::nullopt;
            }
            return std::string(); // set, and empty
        }
        if (n < value.size()) {
            value.resize(n);
            return Utf8FromWide(value);
        }
        value.resize(n); // n counts the terminating null here
    }
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return {argv, argv + argc};
    }
    std::vector<std::string> arguments;
    arguments.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        arguments.push_back(Utf8FromWide(wide[i]));
    }
    LocalFree(wide);
    return arguments;
}

} // namespace orbel
