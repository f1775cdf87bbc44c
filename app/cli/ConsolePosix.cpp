#include "app/cli/Console.h"
#include "base/StopSignals.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <pthread.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace orbel::cli {

namespace {

std::atomic<bool> stopRequested{false};
// The handler writes a byte here so that a wait that is about to begin still
// sees the request: the self-pipe.
int wakeRead = -1;
int wakeWrite = -1;

extern "C" void OnStopSignal(int /*signal*/) {
    const int saved = errno;
    stopRequested.store(true);
    if (wakeWrite >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeWrite, &byte, 1);
    }
    errno = saved;
}

// Where a write into a regular file began: the place to cut back to when it
// fails half-way. Nothing for anything but a regular file.
std::optional<off_t> WriteStart() {
    struct stat status {};
    if (::fstat(STDOUT_FILENO, &status) != 0 || !S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    // Appending writes at the end whatever the offset says.
    if ((::fcntl(STDOUT_FILENO, F_GETFL) & O_APPEND) != 0) {
        return status.st_size;
    }
    const off_t offset = ::lseek(STDOUT_FILENO, 0, SEEK_CUR);
    return offset >= 0 ? std::optional<off_t>(offset) : std::nullopt;
}

// Cuts off the part of a line a full disk let through, unless someone else
// has written to the file since.
void TakeBack(off_t start, std::size_t written) {
    struct stat status {};
    if (::fstat(STDOUT_FILENO, &status) == 0 &&
        status.st_size == start + static_cast<off_t>(written) &&
        ::ftruncate(STDOUT_FILENO, start) == 0) {
        ::lseek(STDOUT_FILENO, start, SEEK_SET);
    }
}

} // namespace

bool StdinIsTerminal() {
    return ::isatty(STDIN_FILENO) == 1;
}

void UseConsoleText() {}

bool ConsoleSpeaksRussian() {
    const char* messages = std::setlocale(LC_MESSAGES, nullptr);
    return messages != nullptr && std::strncmp(messages, "ru", 2) == 0;
}

void DiscardTypeAhead(int guardMs) {
    if (::isatty(STDIN_FILENO) != 1) {
        return;
    }
    ::tcflush(STDIN_FILENO, TCIFLUSH);
    std::this_thread::sleep_for(std::chrono::milliseconds(std::max(guardMs, 0)));
    ::tcflush(STDIN_FILENO, TCIFLUSH);
}

TRegionalSeparators RegionalSeparators() {
    // LC_NUMERIC as main set it from the environment; no list separator here.
    const std::lconv* conventions = std::localeconv();
    const char* point = conventions != nullptr ? conventions->decimal_point : nullptr;
    return {point != nullptr ? point : "", {}};
}

std::string SystemReason(int code) {
    return std::strerror(code);
}

int WriteOutput(std::string_view lines) {
    const std::optional<off_t> start = WriteStart();
    std::size_t done = 0;
    while (done < lines.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, lines.data() + done, lines.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd fd{STDOUT_FILENO, POLLOUT, 0}; // a non-blocking output we were given
            ::poll(&fd, 1, -1);
            continue;
        }
        const int error = n < 0 ? errno : EIO;
        if (start && done > 0) {
            TakeBack(*start, done);
        }
        return error;
    }
    return 0;
}

bool MeansReaderGone(int code) {
    return code == EPIPE;
}

void WithStopRequestsHeldFromNewThreads(const std::function<void()>& start) {
    const sigset_t stop = StopSignals();
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &stop, &previous);
    try {
        start();
    } catch (...) {
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        throw;
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

void CatchStopRequests() {
    if (wakeRead < 0) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
            wakeRead = fds[0];
            wakeWrite = fds[1];
        }
    }
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    HandleStopSignals(action);
}

bool StopRequested() {
    return stopRequested.load();
}

TWaitEnd WaitForStop(int ms) {
    if (stopRequested.load()) {
        return TWaitEnd::Stop;
    }
    // Without the pipe the signal still ends the poll early (EINTR). Standard
    // output is watched for its end only: an error (a pipe without a reader)
    // or a hang-up, which poll reports whatever was asked.
    pollfd fds[2] = {{wakeRead, POLLIN, 0}, {STDOUT_FILENO, 0, 0}};
    const int ready = ::poll(fds, 2, std::max(ms, 0));
    if (stopRequested.load()) {
        return TWaitEnd::Stop;
    }
    return ready > 0 && (fds[1].revents & (POLLERR | POLLHUP)) != 0 ? TWaitEnd::OutputGone
                                                                    : TWaitEnd::Time;
}

} // namespace orbel::cli
