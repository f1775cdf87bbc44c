#include "app/gateway/Poller.h"

#include "protocol/CommandSet.h"

#include <algorithm>

namespace orbel::gateway {

using namespace std::chrono_literals;
using TKind = TLineAnswer::TKind;

std::chrono::milliseconds NextBackoff(std::chrono::milliseconds previous) {
    return previous <= 0ms ? 500ms : std::min<std::chrono::milliseconds>(previous * 2, 10s);
}

TPollCycle::TPollCycle(IInstrumentLine& line, std::string port, TStateStore& store, TSay say,
                       TObserver observer)
    : line_(line), port_(std::move(port)), store_(store), say_(std::move(say)),
      observer_(std::move(observer)) {}

void TPollCycle::Publish() {
    store_.Publish(state_);
    if (observer_) {
        observer_(state_);
    }
}

void TPollCycle::Enter(TLinkState state, const std::string& line) {
    if (state != link_) {
        link_ = state;
        say_(line);
    }
}

bool TPollCycle::EnsureOpen() {
    if (open_) {
        return true;
    }
    std::string reason;
    if (!line_.Open(port_, reason)) {
        state_.lineReason = "cannot open " + port_ + ": " + reason;
        Enter(TLinkState::OpenFailed, state_.lineReason + "; retrying");
        return false;
    }
    open_ = true;
    needSignature_ = needCoefficients_ = true;
    backoff_ = 0ms;
    state_.portOpen = true;
    Enter(TLinkState::Open, port_ + " is open");
    return true;
}

void TPollCycle::Lost(const std::string& reason) {
    line_.Close();
    open_ = false;
    state_.portOpen = false;
    state_.answering = false;
    state_.lineReason = reason;
    failuresInRow_ = 0;
    Enter(TLinkState::Lost, port_ + " was lost: " + reason + "; retrying");
}

void TPollCycle::TakeReadings(const TDecodedReply& reply, TClock::time_point now) {
    state_.hasReadings = true;
    state_.readingsTime = now;
    state_.sensorStatus = reply.sensorStatus;
    for (std::size_t i = 0; i < 2; ++i) {
        state_.channelValid[i] = reply.channels[i].hasSignal;
        state_.readings[2 * i] = reply.channels[i].levelTenths;
        state_.readings[2 * i + 1] = reply.channels[i].volumeTenths;
    }
}

void TPollCycle::ReadIdentity() {
    // Each is asked for until it comes: one bad reply costs only itself.
    if (needSignature_) {
        const TLineAnswer signature = line_.Exchange(ciSignature);
        if (signature.kind == TKind::PortLost) {
            return Lost(signature.reason);
        }
        if (signature.kind == TKind::Answered) {
            const TSignatureValues& s = signature.reply.signature;
            state_.signature = {s.address, s.type, s.serial, s.hard, s.soft};
            ++state_.signatureReads;
            needSignature_ = false;
        }
    }
    if (needCoefficients_) {
        const TLineAnswer coefficients = line_.Exchange(ciReadCoeffs);
        if (coefficients.kind == TKind::PortLost) {
            return Lost(coefficients.reason);
        }
        if (coefficients.kind == TKind::Answered) {
            state_.coefficientTenths = coefficients.reply.coefficientTenths;
            ++state_.coefficientReads;
            needCoefficients_ = false;
        }
    }
}

std::chrono::milliseconds TPollCycle::Step(TClock::time_point now) {
    if (!EnsureOpen()) {
        Publish();
        backoff_ = NextBackoff(backoff_);
        return backoff_;
    }
    const TLineAnswer answer = line_.Exchange(ciReadings);
    if (answer.kind == TKind::Answered && answer.reply.kind == TReplyKind::Readings) {
        ++state_.answeredPolls;
        failuresInRow_ = 0;
        state_.answering = true;
        state_.lineReason.clear();
        TakeReadings(answer.reply, now);
        Enter(TLinkState::Answering, "the instrument answers");
        if (needSignature_ || needCoefficients_) {
            ReadIdentity();
        }
    } else {
        ++state_.failedPolls;
        if (answer.kind == TKind::PortLost) {
            Lost(answer.reason);
        } else if (++failuresInRow_ >= SilentAfter) {
            // It may come back as another instrument: read who it is again.
            state_.answering = false;
            state_.lineReason = answer.reason;
            needSignature_ = needCoefficients_ = true;
            Enter(TLinkState::Silent, "the instrument does not answer: " + answer.reason);
        }
    }
    Publish();
    if (!open_) {
        backoff_ = NextBackoff(0ms);
        return backoff_;
    }
    return 0ms;
}

TPoller::TPoller(TPollCycle& cycle, std::chrono::milliseconds period)
    : cycle_(cycle), period_(period), thread_([this] { Run(); }) {}

TPoller::~TPoller() {
    Stop();
}

void TPoller::Stop() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void TPoller::Run() {
    TClock::time_point next = TClock::now();
    std::unique_lock lock(mutex_);
    while (!stop_) {
        lock.unlock();
        const TClock::time_point start = TClock::now();
        const std::chrono::milliseconds wait = cycle_.Step(start);
        // Periods run start to start; one that overran starts the next at once.
        next = wait > 0ms ? TClock::now() + wait : std::max(next + period_, TClock::now());
        lock.lock();
        wake_.wait_until(lock, next, [this] { return stop_; });
    }
}

} // namespace orbel::gateway
