#include "journal/JournalFile.h"

#include "base/WideText.h"

#include <chrono>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <windows.h>

namespace orbel {

namespace {

[[noreturn]] void Fail(const char* what, DWORD code = ::GetLastError()) {
    throw std::runtime_error(std::string(what) + ": " +
                             std::system_category().message(static_cast<int>(code)));
}

// The lock is one byte far past any journal's end: Windows locks ranges
// against other handles' reads and writes, and this one keeps writers out
// of each other's way without keeping readers out of the file.
constexpr DWORD LockOffsetLow = 0xFFFFFFFEu;
constexpr DWORD LockOffsetHigh = 0x7FFFFFFFu;

OVERLAPPED At(std::uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

class TWin32JournalFile final : public IJournalFile {
public:
    explicit TWin32JournalFile(const std::string& path)
        : handle_(::CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ | FILE_APPEND_DATA,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)) {
        if (handle_ == INVALID_HANDLE_VALUE) {
            Fail("cannot open it");
        }
        if (::GetFileType(handle_) != FILE_TYPE_DISK) {
            ::CloseHandle(handle_);
            throw std::runtime_error("it is not a regular file");
        }
        Lock();
    }
    ~TWin32JournalFile() override {
        OVERLAPPED at = At(LockOffsetLow | (std::uint64_t{LockOffsetHigh} << 32));
        ::UnlockFileEx(handle_, 0, 1, 0, &at);
        ::CloseHandle(handle_);
    }
    TWin32JournalFile(const TWin32JournalFile&) = delete;
    TWin32JournalFile& operator=(const TWin32JournalFile&) = delete;

    std::uint64_t Size() override {
        LARGE_INTEGER size{};
        if (!::GetFileSizeEx(handle_, &size)) {
            Fail("cannot read its size");
        }
        return static_cast<std::uint64_t>(size.QuadPart);
    }

    std::string ReadAt(std::uint64_t offset, std::size_t count) override {
        std::string bytes(count, '\0');
        std::size_t done = 0;
        while (done < count) {
            OVERLAPPED at = At(offset + done);
            DWORD n = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count - done, 1 << 20));
            if (!::ReadFile(handle_, bytes.data() + done, chunk, &n, &at)) {
                if (::GetLastError() == ERROR_HANDLE_EOF) {
                    break;
                }
                Fail("cannot read it");
            }
            if (n == 0) {
                break;
            }
            done += n;
        }
        bytes.resize(done);
        return bytes;
    }

    void Append(std::string_view bytes) override {
        while (!bytes.empty()) {
            OVERLAPPED end{}; // both offsets all ones: at the end of the file
            end.Offset = 0xFFFFFFFFu;
            end.OffsetHigh = 0xFFFFFFFFu;
            DWORD n = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 20));
            if (!::WriteFile(handle_, bytes.data(), chunk, &n, &end) || n == 0) {
                Fail("cannot write it");
            }
            bytes.remove_prefix(n);
        }
    }

    void Flush() override {
        if (!::FlushFileBuffers(handle_)) {
            Fail("cannot bring it to the disk");
        }
    }

private:
    void Lock() {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(JournalLockWaitMs);
        for (;;) {
            OVERLAPPED at = At(LockOffsetLow | (std::uint64_t{LockOffsetHigh} << 32));
            if (::LockFileEx(handle_, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                             &at)) {
                return;
            }
            if (const DWORD code = ::GetLastError(); code != ERROR_LOCK_VIOLATION) {
                ::CloseHandle(handle_);
                Fail("cannot lock it", code);
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                ::CloseHandle(handle_);
                throw std::runtime_error("another program has held it locked for too long");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    HANDLE handle_;
};

} // namespace

std::unique_ptr<IJournalFile> OpenJournalLocked(const std::string& path) {
    return std::make_unique<TWin32JournalFile>(path);
}

} // namespace orbel
