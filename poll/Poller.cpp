#include "poll/Poller.h"

#include "protocol/CommandSet.h"

#include <algorithm>

namespace orbel {

using namespace std::chrono_literals;
using TKind = TLineAnswer::TKind;

std::chrono::milliseconds NextBackoff(std::chrono::milliseconds previous) {
    return previous <= 0ms ? 500ms : std::min<std::chrono::milliseconds>(previous * 2, 10s);
}

TClock::time_point NextPollStart(TClock::time_point previous, std::chrono::milliseconds period,
                                 TClock::time_point now) {
    return std::max(previous + period, now);
}

TLineAnswer::TKind LineKind(TAnswerKind kind) {
    switch (kind) {
    case TAnswerKind::Answered:
        return TKind::Answered;
    case TAnswerKind::PortLost:
        return TKind::PortLost;
    case TAnswerKind::AltReply:
    case TAnswerKind::NoAnswer:
        break;
    }
    return TKind::NoAnswer;
}

TPollCycle::TPollCycle(IInstrumentLine& line, std::string port, TStateStore& store, TSay say,
                       TObserver observer, TPollSettings settings)
    : line_(line), port_(std::move(port)), store_(&store), say_(std::move(say)),
      settings_(settings) {
    if (observer) {
        AddObserver(
            [observer = std::move(observer)](const TPollResult& poll) { observer(poll.state); });
    }
}

TPollCycle::TPollCycle(IInstrumentLine& line, std::string port, TSay say, TPollSettings settings)
    : line_(line), port_(std::move(port)), store_(nullptr), say_(std::move(say)),
      settings_(settings) {}

void TPollCycle::Enter(TLineStatus state, const std::string& line, const std::string& reason) {
    if (state != link_) {
        link_ = state;
        reason_ = reason;
        changed_ = true;
        say_(line);
    }
}

void TPollCycle::Tell(const TLineAnswer* readings) {
    if (store_ != nullptr) {
        store_->Publish(state_);
    }
    const TPollResult result{state_, link_, changed_, reason_, readings, identity_};
    for (const TPollObserver& observer : observers_) {
        observer(result);
    }
}

bool TPollCycle::EnsureOpen() {
    if (open_) {
        return true;
    }
    std::string reason;
    if (!line_.Open(port_, reason)) {
        state_.lineReason = "cannot open " + port_ + ": " + reason;
        Enter(TLineStatus::OpenFailed, state_.lineReason + "; retrying", reason);
        return false;
    }
    open_ = true;
    needSignature_ = needCoefficients_ = true;
    backoff_ = 0ms;
    state_.portOpen = true;
    Enter(TLineStatus::Open, port_ + " is open");
    return true;
}

void TPollCycle::Lost(const std::string& reason) {
    line_.Close();
    open_ = false;
    state_.portOpen = false;
    state_.answering = false;
    state_.lineReason = reason;
    failuresInRow_ = 0;
    Enter(TLineStatus::Lost, port_ + " was lost: " + reason + "; retrying", reason);
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
            identity_ = true;
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
            identity_ = true;
        }
    }
}

std::chrono::milliseconds TPollCycle::Step(TClock::time_point now) {
    changed_ = identity_ = false;
    if (!EnsureOpen()) {
        Tell(nullptr);
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
        Enter(TLineStatus::Answering, "the instrument answers");
        if (settings_.readIdentity && (needSignature_ || needCoefficients_)) {
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
            Enter(TLineStatus::Silent, "the instrument does not answer: " + answer.reason,
                  answer.reason);
        }
    }
    Tell(&answer);
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
        next = wait > 0ms ? TClock::now() + wait : NextPollStart(next, period_, TClock::now());
        lock.lock();
        wake_.wait_until(lock, next, [this] { return stop_; });
    }
}

} // namespace orbel
