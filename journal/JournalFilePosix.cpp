#include "journal/JournalFile.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace orbel {

namespace {

[[noreturn]] void Fail(const char* what) {
    throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

class TPosixJournalFile final : public IJournalFile {
public:
    explicit TPosixJournalFile(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK,
                     0644)) {
        if (fd_ < 0) {
            Fail("cannot open it");
        }
        struct stat status {};
        if (::fstat(fd_, &status) != 0) {
            Close();
            Fail("cannot read its status");
        }
        if (!S_ISREG(status.st_mode)) {
            Close();
            throw std::runtime_error("it is not a regular file");
        }
        Lock();
    }
    ~TPosixJournalFile() override { Close(); } // the lock goes with the descriptor
    TPosixJournalFile(const TPosixJournalFile&) = delete;
    TPosixJournalFile& operator=(const TPosixJournalFile&) = delete;

    std::uint64_t Size() override {
        struct stat status {};
        if (::fstat(fd_, &status) != 0) {
            Fail("cannot read its size");
        }
        return static_cast<std::uint64_t>(status.st_size);
    }

    std::string ReadAt(std::uint64_t offset, std::size_t count) override {
        std::string bytes(count, '\0');
        std::size_t done = 0;
        while (done < count) {
            const ssize_t n =
                ::pread(fd_, bytes.data() + done, count - done, static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                Fail("cannot read it");
            }
            if (n == 0) {
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        bytes.resize(done);
        return bytes;
    }

    void Append(std::string_view bytes) override {
        while (!bytes.empty()) {
            const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                Fail("cannot write it");
            }
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
    }

    void Flush() override {
        while (::fdatasync(fd_) != 0) {
            if (errno != EINTR) {
                Fail("cannot bring it to the disk");
            }
        }
    }

private:
    // A lock held by another writer is asked for again every few
    // milliseconds: flock has no wait with a time limit.
    void Lock() {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(JournalLockWaitMs);
        while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR) {
                Close();
                Fail("cannot lock it");
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                Close();
                throw std::runtime_error("another program has held it locked for too long");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    void Close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

    int fd_;
};

} // namespace

std::unique_ptr<IJournalFile> OpenJournalLocked(const std::string& path) {
    return std::make_unique<TPosixJournalFile>(path);
}

} // namespace orbel
