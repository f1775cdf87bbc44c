// A log of diagnostic lines for a program without a console: each line is
// appended with its local time; once the next line would take the file past
// its cap, the file becomes the one older file kept (orbel.log ->
// orbel.old.log, replacing the one before) and a new file begins. The file is
// opened for each line, so that nothing holds it between lines and a
// technician can copy or delete it while the program runs. Thread-safe;
// failures to write are ignored (there is nowhere left to report them).
#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string_view>

namespace orbel {

class TDiagnosticLog {
public:
    TDiagnosticLog(std::filesystem::path file, std::uintmax_t cap);

    void Write(std::string_view line);

    const std::filesystem::path& File() const { return file_; }
    // "orbel.old.log" beside "orbel.log".
    std::filesystem::path OlderFile() const;

private:
    const std::filesystem::path file_;
    const std::uintmax_t cap_;
    std::mutex mutex_;
};

} // namespace orbel
