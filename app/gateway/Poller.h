// Polling the instrument: the readings once a period, the signature and the
// coefficients after every (re)connection and after a silent spell, the port
// opened again with a growing back-off when it cannot be opened or is lost.
// One line is said per change of state, never one per failed poll.
#pragma once

#include "app/gateway/InstrumentLine.h"
#include "app/gateway/InstrumentState.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace orbel::gateway {

// The state every client reads; the poller is its only writer.
class TStateStore {
public:
    void Publish(const TInstrumentState& state) {
        const std::lock_guard lock(mutex_);
        state_ = state;
    }
    TInstrumentState Read() const {
        const std::lock_guard lock(mutex_);
        return state_;
    }

private:
    mutable std::mutex mutex_;
    TInstrumentState state_;
};

// The wait before the next attempt to open, after `previous` (zero at first).
std::chrono::milliseconds NextBackoff(std::chrono::milliseconds previous);

// One poll at a time, without threads or clocks of its own.
class TPollCycle {
public:
    // Failed polls in a row after which the instrument counts as silent: a
    // single bad reply changes no state.
    static constexpr int SilentAfter = 3;

    using TSay = std::function<void(const std::string&)>;
    // Called on the poll's thread with the state after each step; it must not
    // wait for anything (the MQTT publisher takes a copy and returns).
    using TObserver = std::function<void(const TInstrumentState&)>;
    TPollCycle(IInstrumentLine& line, std::string port, TStateStore& store, TSay say,
               TObserver observer = {});

    // One period's work at `now`. Returns how long to wait before the next
    // step: zero for the next period, the back-off while the port is closed.
    std::chrono::milliseconds Step(TClock::time_point now);

private:
    enum class TLinkState { Unknown, OpenFailed, Open, Answering, Silent, Lost };
    void Enter(TLinkState state, const std::string& line);
    bool EnsureOpen();
    void Lost(const std::string& reason);
    void TakeReadings(const TDecodedReply& reply, TClock::time_point now);
    void ReadIdentity();
    void Publish();

    IInstrumentLine& line_;
    std::string port_;
    TStateStore& store_;
    TSay say_;
    TObserver observer_;
    TInstrumentState state_;
    TLinkState link_ = TLinkState::Unknown;
    bool open_ = false;
    bool needSignature_ = true;
    bool needCoefficients_ = true;
    int failuresInRow_ = 0;
    std::chrono::milliseconds backoff_{0};
};

// Runs a poll cycle on a thread of its own, one step a period (start to
// start), until Stop.
class TPoller {
public:
    TPoller(TPollCycle& cycle, std::chrono::milliseconds period);
    ~TPoller();
    TPoller(const TPoller&) = delete;
    TPoller& operator=(const TPoller&) = delete;

    void Stop();

private:
    void Run();

    TPollCycle& cycle_;
    std::chrono::milliseconds period_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;
};

} // namespace orbel::gateway
