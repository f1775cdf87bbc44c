// The simulated instrument inside the test process, serving on a thread.
//
//   SimThread sim;                      // started; the device exists
//   open(sim.DevicePath().c_str(), ...);
//   sim.WaitForSent(1);                 // the reply is out
//   sim.Update([](auto& o) { o.silent = true; });
//
// Frames are recorded as the simulator sees them (received requests, replies
// as written, stray bytes included). Every accessor may be called from any
// thread. The destructor stops the simulator and joins its thread.
#pragma once

#include "sim/FrameLog.h"
#include "sim/Options.h"
#include "sim/Simulator.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orbel::test {

class SimThread {
public:
    using Options = orbel::sim::Options;
    using FrameRecord = orbel::sim::FrameRecord;
    static constexpr std::chrono::milliseconds kDefaultWait{2000};

    // Options whose readings stay at their base values, for tests that compare them.
    static Options Steady() {
        Options options;
        options.drift = false;
        return options;
    }

    // Starts the simulator; throws std::system_error when it cannot.
    explicit SimThread(Options options = {});
    ~SimThread();
    SimThread(const SimThread&) = delete;
    SimThread& operator=(const SimThread&) = delete;

    const std::string& DevicePath() const { return simulator_.DevicePath(); }

    std::vector<FrameRecord> Frames() const; // both directions, in order
    std::vector<FrameRecord> Received() const;
    std::vector<FrameRecord> Sent() const;
    void ClearFrames();

    // True once at least `count` frames have been received (sent), false
    // when the time runs out first.
    bool WaitForReceived(std::size_t count, std::chrono::milliseconds timeout = kDefaultWait) const;
    bool WaitForSent(std::size_t count, std::chrono::milliseconds timeout = kDefaultWait) const;

    // Changes the options between exchanges; the next request sees them.
    void Update(const std::function<void(Options&)>& change) { simulator_.Update(change); }
    Options CurrentOptions() const { return simulator_.CurrentOptions(); }

    // True once the simulator has hung up the line (hangupAfter).
    bool HungUp() const;
    bool WaitForHangup(std::chrono::milliseconds timeout = kDefaultWait) const;

    // Stops serving and joins the thread; idempotent. Rethrows nothing: an
    // error of the serving thread is kept in Error().
    void Stop();
    std::string Error() const;

private:
    std::size_t Count(orbel::sim::Direction direction) const; // caller holds mutex_
    bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) const;

    orbel::sim::Simulator simulator_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<FrameRecord> frames_;
    bool hungUp_ = false;
    bool ended_ = false;
    std::string error_;
    std::thread thread_;
};

} // namespace orbel::test
