#include "sim/Simulator.h"

#include "sim/Instrument.h"
#include "sim/PtyPair.h"
#include "sim/TerminalLine.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <ctime>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

namespace orbel::sim {

namespace {

using std::chrono::ceil;
using std::chrono::milliseconds;

// A reply that cannot be written within this time is dropped (the tool has
// stopped reading and the terminal's queue is full).
constexpr milliseconds kWriteBudget{1000};

// Milliseconds until `deadline` for poll: 0 when past, -1 when there is none.
int PollTimeout(std::optional<Simulator::Clock::time_point> deadline) {
    if (!deadline) {
        return -1;
    }
    const auto left = ceil<milliseconds>(*deadline - Simulator::Clock::now()).count();
    return static_cast<int>(std::clamp<std::int64_t>(left, 0, 60000));
}

std::optional<Simulator::Clock::time_point>
Earliest(std::optional<Simulator::Clock::time_point> a,
         std::optional<Simulator::Clock::time_point> b) {
    if (a && b) {
        return std::min(*a, *b);
    }
    return a ? a : b;
}

} // namespace

Simulator::Simulator(Options options) : options_(std::move(options)) {
    stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopFd_ < 0) {
        throw std::system_error(errno, std::generic_category(), "eventfd");
    }
}

Simulator::~Simulator() {
    if (line_) {
        line_->Close();
    }
    ::close(stopFd_);
}

void Simulator::Start() {
    const Options options = CurrentOptions();
    if (options.line.empty()) {
        auto pty = std::make_unique<PtyPair>();
        pty->Open(options.link);
        line_ = std::move(pty);
    } else {
        auto terminal = std::make_unique<TerminalLine>();
        terminal->Open(options.line);
        line_ = std::move(terminal);
    }
    start_ = Clock::now();
    started_ = true;
}

const std::string& Simulator::DevicePath() const {
    static const std::string none;
    return line_ ? line_->DevicePath() : none;
}

void Simulator::Stop() noexcept {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(stopFd_, &one, sizeof one);
}

void Simulator::Update(const std::function<void(Options&)>& change) {
    std::lock_guard lock(mutex_);
    change(options_);
}

Options Simulator::CurrentOptions() const {
    std::lock_guard lock(mutex_);
    return options_;
}

std::uint64_t Simulator::Replies() const {
    std::lock_guard lock(mutex_);
    return replies_;
}

Simulator::RunResult Simulator::Run() {
    if (!started_) {
        throw std::logic_error("Simulator::Run before Start");
    }
    while (line_->IsOpen()) {
        std::array<pollfd, 2> fds{{{stopFd_, POLLIN, 0}, {line_->Fd(), POLLIN, 0}}};
        const int timeout = PollTimeout(Earliest(assembler_.Deadline(), hangupAt_));
        if (::poll(fds.data(), fds.size(), timeout) < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw std::system_error(errno, std::generic_category(), "poll");
        }
        if (fds[0].revents != 0) {
            return RunResult::Stopped;
        }
        if (const auto end = Receive(fds[1].revents)) {
            return *end;
        }
        const auto now = Clock::now();
        assembler_.Expire(now);
        if (hangupAt_ && now >= *hangupAt_) {
            HangUp();
            return RunResult::HungUp;
        }
    }
    return closedAs_;
}

std::optional<Simulator::RunResult> Simulator::Receive(short revents) {
    if (revents == 0) {
        return std::nullopt;
    }
    if ((revents & POLLIN) != 0) {
        std::array<std::uint8_t, 512> chunk{};
        const ssize_t n = ::read(line_->Fd(), chunk.data(), chunk.size());
        const int error = n < 0 ? errno : 0;
        if (n > 0) {
            return Take(std::span(chunk).first(static_cast<std::size_t>(n)));
        }
        if (error == EAGAIN || error == EINTR) {
            return std::nullopt;
        }
        if (error != 0 && error != EIO) {
            throw std::system_error(error, std::generic_category(), "read");
        }
    }
    // The other end hung up: EIO or the end of file, or POLLHUP or POLLERR
    // without data.
    if (line_->HangUpIsFinal()) {
        LoseLine();
        return RunResult::LineLost;
    }
    // No tool has the pair's device open: it cannot last, but do not spin.
    if (!Pause(milliseconds(10))) {
        return RunResult::Stopped;
    }
    return std::nullopt;
}

std::optional<Simulator::RunResult> Simulator::Take(std::span<const std::uint8_t> bytes) {
    if (hangupAt_) {
        HangUp();
        return RunResult::HungUp;
    }
    std::uint8_t own = 0;
    {
        std::lock_guard lock(mutex_);
        own = options_.address;
    }
    for (const Frame& frame : assembler_.Feed(bytes, Clock::now(), own)) {
        if (hangupAt_) {
            HangUp(); // a second request in the same burst
            return RunResult::HungUp;
        }
        if (!Serve(frame)) {
            return RunResult::Stopped;
        }
    }
    return std::nullopt;
}

bool Simulator::Serve(const Frame& request) {
    const auto received = Clock::now();
    Record(Direction::Rx, request.raw, received);

    Options now;
    std::optional<Bytes> reply;
    std::uint64_t number = 0;
    {
        std::lock_guard lock(mutex_);
        if (!options_.silent) {
            reply = Answer(request, options_, ceil<milliseconds>(received - start_));
        }
        if (reply) {
            number = ++replies_;
        }
        now = options_;
    }
    if (!reply) {
        return true;
    }
    if (now.corruptEvery != 0 && number % now.corruptEvery == 0) {
        reply->back() ^= 0xFF;
    }
    Bytes out(now.stray, 0);
    out.insert(out.end(), reply->begin(), reply->end());
    // On a real line the request's last byte is in only this long after its
    // first. Every wait counts from the request's arrival, so that a late
    // wake-up does not push the reply later still.
    auto ready = received;
    if (now.pace) {
        ready += kCharacterTime * request.raw.size();
    }
    const std::uint32_t turnaround = now.turnaroundMs.value_or(now.pace ? kPacedTurnaroundMs : 0);
    ready += milliseconds(now.delayMs + turnaround);
    if (ready != received && !PauseUntil(ready)) {
        return false;
    }
    if (!(now.pace ? SendPaced(out, now, ready) : Send(out, now))) {
        return false;
    }
    if (now.hangupAfter != 0 && number >= now.hangupAfter) {
        hangupAt_ = Clock::now() + kHangupLinger;
    }
    return true;
}

bool Simulator::Send(const Bytes& bytes, const Options& now) {
    const auto at = Clock::now();
    std::vector<Clock::time_point> due(bytes.size(), at);
    if (now.lateLastMs != 0 && bytes.size() > 1) {
        due.back() += milliseconds(now.lateLastMs);
    }
    return Deliver(bytes, due, now.latencyTimerMs, at);
}

bool Simulator::SendPaced(const Bytes& bytes, const Options& now, Clock::time_point from) {
    const auto at = Clock::now();
    std::vector<Clock::time_point> due(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        // Each byte is in when its character has gone over the line.
        due[i] = from + kCharacterTime * (i + 1);
        if (now.lateLastMs != 0 && i + 1 == bytes.size() && i > 0) {
            due[i] += milliseconds(now.lateLastMs);
        }
    }
    return Deliver(bytes, due, now.latencyTimerMs, at);
}

Simulator::Clock::time_point Simulator::NextTick(Clock::time_point in,
                                                 std::uint32_t timerMs) const {
    const auto period = std::chrono::duration_cast<Clock::duration>(milliseconds(timerMs));
    const auto since = in - start_;
    return start_ + ((since + period - Clock::duration(1)) / period) * period;
}

bool Simulator::Deliver(const Bytes& bytes, const std::vector<Clock::time_point>& due,
                        std::uint32_t latencyTimerMs, Clock::time_point at) {
    // Behind a latency timer the bytes wait in the adapter for its next tick:
    // what came in between two ticks goes to the host in one burst.
    const auto handedOver = [&](std::size_t i) {
        return latencyTimerMs != 0 ? NextTick(due[i], latencyTimerMs) : due[i];
    };
    for (std::size_t i = 0; i < bytes.size();) {
        const auto when = handedOver(i);
        std::size_t end = i + 1;
        while (end < bytes.size() && handedOver(end) == when) {
            ++end;
        }
        if (!PauseUntil(when) || !WriteAll(&bytes[i], end - i)) {
            return false;
        }
        i = end;
    }
    Record(Direction::Tx, bytes, at);
    return true;
}

bool Simulator::WriteAll(const std::uint8_t* data, std::size_t size) {
    const auto deadline = Clock::now() + kWriteBudget;
    while (size > 0) {
        const ssize_t n = ::write(line_->Fd(), data, size);
        if (n > 0) {
            data += n;
            size -= static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return true; // the reply is lost, the simulator goes on
        }
        std::array<pollfd, 2> fds{{{stopFd_, POLLIN, 0}, {line_->Fd(), POLLOUT, 0}}};
        const int timeout = PollTimeout(deadline);
        if (timeout == 0) {
            return true; // nobody reads: drop the rest
        }
        if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) {
            return true;
        }
        if (fds[0].revents != 0) {
            return false;
        }
    }
    return true;
}

bool Simulator::Pause(milliseconds duration) {
    const auto deadline = Clock::now() + duration;
    for (;;) {
        pollfd fd{stopFd_, POLLIN, 0};
        const int timeout = PollTimeout(deadline);
        const int rc = ::poll(&fd, 1, timeout);
        if (rc > 0) {
            return false;
        }
        if (rc == 0 && timeout == 0) {
            return true;
        }
        if (rc == 0 && Clock::now() >= deadline) {
            return true;
        }
    }
}

bool Simulator::PauseUntil(Clock::time_point deadline) {
    for (;;) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) {
            return true;
        }
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec wait{static_cast<time_t>(ns / 1'000'000'000),
                            static_cast<long>(ns % 1'000'000'000)};
        pollfd fd{stopFd_, POLLIN, 0};
        if (::ppoll(&fd, 1, &wait, nullptr) > 0) {
            return false;
        }
    }
}

void Simulator::Record(Direction direction, Bytes bytes, Clock::time_point at) {
    if (observer_) {
        const auto ms = std::chrono::duration_cast<milliseconds>(at - start_).count();
        observer_(FrameRecord{ms, direction, std::move(bytes)});
    }
}

void Simulator::HangUp() {
    hangupAt_.reset();
    line_->Close();
    closedAs_ = RunResult::HungUp;
}

void Simulator::LoseLine() {
    hangupAt_.reset();
    line_->Close();
    closedAs_ = RunResult::LineLost;
}

} // namespace orbel::sim
