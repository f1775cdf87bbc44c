#include "serial/platform/posix/PosixDevice.h"

#include "serial/platform/posix/PortDiagnostics.h"
#include "serial/platform/posix/PosixEventWatch.h"

#include <cerrno>
#include <ctime>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace orbel {

std::shared_ptr<TAbortSignal> TAbortSignal::Create(int& error) {
    const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    return std::shared_ptr<TAbortSignal>(new TAbortSignal(fd));
}

TAbortSignal::~TAbortSignal() {
    close(fd_);
}

void TAbortSignal::Raise() noexcept {
    raised_.store(true, std::memory_order_release);
    const std::uint64_t one = 1;
    // Cannot fail short of a counter overflow, which would leave it readable anyway.
    [[maybe_unused]] const ssize_t n = write(fd_, &one, sizeof one);
}

TPosixDevice::TPosixDevice(int fd, std::string path, std::string name)
    : fd_(fd), path_(std::move(path)), name_(std::move(name)) {}

int TPosixDevice::NoteFailure(int error) noexcept {
    if (MeansDeviceLost(error) && !lostReported_.exchange(true)) {
        try {
            PortDiagnostic(LostLine(name_.empty() ? path_ : name_, path_, error));
        } catch (...) {
            // A line that cannot be built or written changes nothing about the failure.
        }
    }
    return error;
}

TPosixDevice::~TPosixDevice() {
    Close();
}

int TPosixDevice::Enter(std::shared_ptr<TAbortSignal>& signal, TComTimeoutRecord& timeouts) {
    if (!calls_.Enter()) {
        return EBADF;
    }
    std::lock_guard lock(mutex_);
    // A close that began since has raised the signal a fresh one would replace.
    int error = calls_.Closing() ? EBADF : 0;
    if (error == 0 && (!signal_ || signal_->Raised())) {
        if (auto fresh = TAbortSignal::Create(error)) {
            signal_ = std::move(fresh);
        }
    }
    if (error != 0) {
        calls_.Leave();
        return error;
    }
    signal = signal_;
    timeouts = timeouts_;
    return 0;
}

int TPosixDevice::Resume() {
    return calls_.Enter() ? 0 : ECANCELED;
}

int TPosixDevice::Use() {
    return calls_.Enter() ? 0 : EBADF;
}

void TPosixDevice::Leave() noexcept {
    calls_.Leave();
}

void TPosixDevice::Abort() noexcept {
    std::lock_guard lock(mutex_);
    if (signal_) {
        signal_->Raise();
    }
}

void TPosixDevice::Close() noexcept {
    if (!calls_.BeginClose()) {
        return;
    }
    Abort();
    // The calls inside wait on the raised signal, so they leave soon.
    calls_.AwaitIdle();
    std::shared_ptr<TPosixEventWatch> watch;
    {
        std::lock_guard lock(mutex_);
        watch = std::move(eventWatch_);
    }
    ioctl(fd_, TIOCNXCL);
    // Output a driver never sends would hold the close for the terminal's
    // closing wait (30 s by default): it is discarded first.
    tcflush(fd_, TCOFLUSH);
    close(fd_); // also releases the flock
}

void TPosixDevice::SetTimeouts(const TComTimeoutRecord& timeouts) {
    std::lock_guard lock(mutex_);
    timeouts_ = timeouts;
}

TErrorCounters TPosixDevice::ExchangeErrorCounters(const TErrorCounters& now) {
    std::lock_guard lock(mutex_);
    return std::exchange(counters_, now);
}

std::shared_ptr<TPosixEventWatch>
TPosixDevice::ExchangeEventWatch(std::shared_ptr<TPosixEventWatch> watch) {
    std::lock_guard lock(mutex_);
    eventWatch_.swap(watch);
    return watch;
}

std::shared_ptr<TPosixEventWatch> TPosixDevice::EventWatch() {
    std::lock_guard lock(mutex_);
    return eventWatch_;
}

std::uint64_t MonotonicNs() noexcept {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1'000'000'000u +
           static_cast<std::uint64_t>(ts.tv_nsec);
}

} // namespace orbel
