// The simulated instrument: serves requests on a pseudo-terminal of its own,
// or on a terminal that exists already (Options::line), until it is stopped,
// hangs up by itself or loses that terminal.
//
//   Simulator sim(options);
//   sim.Start();                 // the device exists from here on
//   use(sim.DevicePath());
//   sim.Run();                   // on any thread; returns after Stop()
//
// Replies go out within a millisecond or two of the request's last byte,
// unless the options ask for a delay. Fault options apply in this order: the
// reply is built (or not: silent, unknown command), every Nth reply gets a bad
// CRC, the stray bytes go in front, the delay passes, the bytes are written
// (the last one late when asked; behind a latency timer in its bursts), and
// the hang-up is armed.
//
// Hang-up after N replies: once the Nth reply is out, the line is closed as
// soon as the next byte arrives from the tool, or 300 ms after that reply at
// the latest (longer than the tool's read of any reply, so the Nth exchange
// completes). Closing means closing the master and the simulator's own slave
// descriptor and removing the link; the tool sees a hang-up and Run returns
// RunResult::HungUp.
//
// On a terminal that exists already, a hang-up from the other end (the
// virtual machine behind it has gone, the adapter was pulled out) ends Run
// with RunResult::LineLost: nothing will come on that line again. On its own
// pair it only means that the tool has closed its port for now.
#pragma once

#include "sim/FrameAssembler.h"
#include "sim/FrameLog.h"
#include "sim/Line.h"
#include "sim/Options.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orbel::sim {

class Simulator {
public:
    enum class RunResult { Stopped, HungUp, LineLost };
    using Observer = std::function<void(const FrameRecord&)>;
    using Clock = std::chrono::steady_clock;

    static constexpr std::chrono::milliseconds kHangupLinger{300};
    // One character at 9600 baud with 11 bits (start, 8 data, parity, stop).
    static constexpr std::chrono::nanoseconds kCharacterTime{11'000'000'000 / 9600};
    static constexpr std::uint32_t kPacedTurnaroundMs = 2;

    explicit Simulator(Options options = {});
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Opens the pseudo-terminal pair and makes the link, or opens the
    // terminal of Options::line. Throws std::system_error (LinkError for the
    // link, LineError for that terminal). The clock of the readings and the
    // log starts here.
    void Start();

    // The device the tool opens, or the terminal served; empty before Start().
    const std::string& DevicePath() const;

    // Called on the Run thread for every frame received or sent. Set it
    // before Run().
    void SetObserver(Observer observer) { observer_ = std::move(observer); }

    // Serves until Stop(), the hang-up or the loss of the line; once the line
    // is closed, returns at once. Throws std::system_error when the system refuses a poll or a
    // read, std::logic_error before Start().
    RunResult Run();

    // Ends Run() soon after; safe from any thread and from a signal handler.
    // A stopped simulator stays stopped.
    void Stop() noexcept;

    // Changes the options between exchanges, from any thread.
    void Update(const std::function<void(Options&)>& change);
    Options CurrentOptions() const;

    // Replies sent so far.
    std::uint64_t Replies() const;

private:
    // What came on the line (poll's `revents`) handled; the end of Run, when
    // it has come.
    std::optional<RunResult> Receive(short revents);
    std::optional<RunResult> Take(std::span<const std::uint8_t> bytes);
    // Each returns false when Stop() cut it short.
    bool Serve(const Frame& request);
    bool Send(const Bytes& bytes, const Options& now);
    // One byte a character time after `from`, as a line at 9600 baud
    // carries them.
    bool SendPaced(const Bytes& bytes, const Options& now, Clock::time_point from);
    // Writes each byte at its due time, or behind a latency timer at the
    // timer's first tick from then on (ticks every timerMs from the start).
    bool Deliver(const Bytes& bytes, const std::vector<Clock::time_point>& due,
                 std::uint32_t latencyTimerMs, Clock::time_point at);
    Clock::time_point NextTick(Clock::time_point in, std::uint32_t timerMs) const;
    bool WriteAll(const std::uint8_t* data, std::size_t size);
    bool Pause(std::chrono::milliseconds duration);
    // Waits to a point in time with the clock's own precision.
    bool PauseUntil(Clock::time_point deadline);
    void Record(Direction direction, Bytes bytes, Clock::time_point at);
    void HangUp();
    void LoseLine();

    std::unique_ptr<Line> line_;
    int stopFd_ = -1;
    FrameAssembler assembler_;
    Clock::time_point start_{};
    bool started_ = false;
    std::optional<Clock::time_point> hangupAt_;
    RunResult closedAs_ = RunResult::HungUp; // what Run returns once the line is closed
    Observer observer_;

    mutable std::mutex mutex_; // guards options_ and replies_
    Options options_;
    std::uint64_t replies_ = 0;
};

} // namespace orbel::sim
