// Text at the edge of the system. Inside the programs every text is UTF-8;
// Windows takes and gives UTF-16 in its wide calls, and its narrow calls
// (a narrow main's arguments, getenv, an std::ifstream of a narrow name) go
// through the ANSI code page and lose what it cannot spell. Everything that
// crosses goes through these.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orbel {

#ifdef _WIN32
// UTF-8 to UTF-16 and back; a malformed sequence becomes U+FFFD.
std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);
#endif

// A path named by UTF-8 text, to open a file by (std::ifstream, std::filesystem).
std::filesystem::path PathFromUtf8(std::string_view text);
// The path as UTF-8 text.
std::string Utf8FromPath(const std::filesystem::path& path);

// An environment variable's value in UTF-8 (the wide environment on
// Windows); nothing when it is not set.
std::optional<std::string> EnvironmentText(const char* name);

// The program's arguments in UTF-8, the program's name first: the wide
// command line on Windows, `argv` as it stands elsewhere.
std::vector<std::string> ProgramArguments(int argc, char** argv);

} // namespace orbel
