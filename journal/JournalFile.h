// The journal's file as the system gives it: opened for appending (created
// when missing) and held under an exclusive lock that every writer of the
// tool takes, so that two programs appending at once chain their entries one
// after the other and each entry lands whole. One implementation per system;
// the appending itself (JournalAppend.h) is the same on both.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace orbel {

// Every failure is thrown as std::runtime_error with the system's reason.
class IJournalFile {
public:
    virtual ~IJournalFile() = default;
    virtual std::uint64_t Size() = 0;
    // Up to `count` bytes from `offset` (fewer at the end).
    virtual std::string ReadAt(std::uint64_t offset, std::size_t count) = 0;
    // Writes all of `bytes` at the end of the file.
    virtual void Append(std::string_view bytes) = 0;
    // Returns once what was appended is on the disk.
    virtual void Flush() = 0;
};

// How long a writer waits for another to finish its entry.
inline constexpr int JournalLockWaitMs = 5000;

// Opens the file at `path` (UTF-8) and takes its lock, waiting at most
// JournalLockWaitMs; the lock goes with the object.
std::unique_ptr<IJournalFile> OpenJournalLocked(const std::string& path);

} // namespace orbel
