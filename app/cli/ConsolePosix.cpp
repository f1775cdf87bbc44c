#include "app/cli/Console.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

namespace cli {

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

sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

} // namespace

bool StdinIsTerminal() {
    return ::isatty(STDIN_FILENO) == 1;
}

void UseUtf8Console() {}

std::string SystemReason(int code) {
    return std::strerror(code);
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
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

bool StopRequested() {
    return stopRequested.load();
}

bool WaitUntilStopped(std::chrono::steady_clock::time_point deadline) {
    using namespace std::chrono;
    for (;;) {
        if (stopRequested.load()) {
            return true;
        }
        const auto left = ceil<milliseconds>(deadline - steady_clock::now()).count();
        if (left <= 0) {
            return false;
        }
        // Without the pipe the signal still ends the poll early (EINTR).
        pollfd fd{wakeRead, POLLIN, 0};
        ::poll(&fd, 1, static_cast<int>(std::min<long long>(left, 1 << 30)));
    }
}

} // namespace cli
