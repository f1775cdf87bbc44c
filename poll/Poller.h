// The poll loop every front end that polls on its own uses: the readings once
// a period, the signature and the coefficients after every (re)connection and
// after a silent spell, the port opened again with a growing back-off when it
// cannot be opened or is lost. One line is said per change of state, never
// one per failed poll. No sockets, no Modbus: a front end reads the state
// from a TStateStore or is told of each poll through an observer.
//
//   TSerialInstrumentLine line(trace, softwareMode);
//   TStateStore store;
//   TPollCycle cycle(line, "/dev/ttyUSB0", store, Say);
//   cycle.AddObserver([](const TPollResult& poll) { ... }); // before the poller starts
//   TPoller poller(cycle, 1300ms);                           // steps on a thread of its own
#pragma once

#include "poll/InstrumentLine.h"
#include "poll/InstrumentState.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orbel {

// The state every reader copies; the poll cycle is its only writer.
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

// When the poll after the one due at `previous` starts: periods run start to
// start, and one that overran starts the next at once (the schedule moves, it
// does not crowd).
TClock::time_point NextPollStart(TClock::time_point previous, std::chrono::milliseconds period,
                                 TClock::time_point now);

// The line's state as the cycle sees it.
enum class TLineStatus { Unknown, OpenFailed, Open, Answering, Silent, Lost };

// What one step came to, for an observer. Valid during the call only.
struct TPollResult {
    const TInstrumentState& state; // as published after the step
    TLineStatus line;              // the line's state after the step
    bool lineChanged;              // the step changed it (and said its line)
    const std::string& lineReason; // why it is OpenFailed, Silent or Lost; else empty
    // The step's readings answer; nullptr when the port could not be opened.
    const TLineAnswer* readings;
    bool identityRead; // the signature or the coefficients came in this step
};

// Told of every step, on the thread that steps the cycle; it must not block.
using TPollObserver = std::function<void(const TPollResult&)>;

struct TPollSettings {
    // The signature and coefficients after each (re)connection and silent
    // spell; off, only readings requests go out.
    bool readIdentity = true;
};

// One poll at a time, without threads or clocks of its own.
class TPollCycle {
public:
    // Failed polls in a row after which the instrument counts as silent: a
    // single bad reply changes no state.
    static constexpr int SilentAfter = 3;

    using TSay = std::function<void(const std::string&)>;
    // Called on the poll's thread with the state after each step; it must not
    // wait for anything (the MQTT publisher takes a copy and returns). The
    // state alone: an observer added with AddObserver is told the rest.
    using TObserver = std::function<void(const TInstrumentState&)>;
    TPollCycle(IInstrumentLine& line, std::string port, TStateStore& store, TSay say,
               TObserver observer = {}, TPollSettings settings = {});
    // Without a store: the observers are told.
    TPollCycle(IInstrumentLine& line, std::string port, TSay say, TPollSettings settings = {});

    // Adds one more observer; only before the cycle is first stepped.
    void AddObserver(TPollObserver observer) { observers_.push_back(std::move(observer)); }

    // One period's work at `now`. Returns how long to wait before the next
    // step: zero for the next period, the back-off while the port is closed.
    std::chrono::milliseconds Step(TClock::time_point now);

private:
    void Enter(TLineStatus state, const std::string& line, const std::string& reason = {});
    bool EnsureOpen();
    void Lost(const std::string& reason);
    void TakeReadings(const TDecodedReply& reply, TClock::time_point now);
    void ReadIdentity();
    void Tell(const TLineAnswer* readings);

    IInstrumentLine& line_;
    std::string port_;
    TStateStore* store_;
    TSay say_;
    TPollSettings settings_;
    std::vector<TPollObserver> observers_;
    TInstrumentState state_;
    TLineStatus link_ = TLineStatus::Unknown;
    std::string reason_;
    bool changed_ = false;  // in the step under way
    bool identity_ = false; // read in the step under way
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

} // namespace orbel
