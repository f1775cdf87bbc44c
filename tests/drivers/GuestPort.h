// The serial platform as the tool drives it, for the programs that run inside
// the throwaway virtual machine of scripts/test-drivers: a port opened and
// configured like the tool's, transfers with their time-outs, the platform's
// diagnostics captured, and the few requests the guest makes of the host.
#pragma once

#include "serial/platform/ComPlatform.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

using namespace orbel;

namespace orbel::guest {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

// The signature request and the reply orbel-sim gives with its defaults.
inline const Bytes kSignatureRequest{0xFF, 0x20, 0x01, 0x99, 0xF0};
inline const Bytes kSignatureReply{0x01, 0x20, 0x06, 0x01, 0x00, 0x2A, 0x01, 0x03, 0xFD, 0xFA};

// The device a suite runs on: the environment variable `name`, else `fallback`.
std::string DeviceFromEnvironment(const char* name, const char* fallback);

// The tool's line: 9600 baud, 8 data bits, mark parity, one stop bit, DTR and
// RTS held off; and its time-outs: 7 ms per byte read, 200 ms per byte and
// 1000 ms more written.
TComDeviceControl ToolLine();
TComTimeoutRecord ToolTimeouts();

// One device opened through the platform. The open must succeed (a failure
// throws std::runtime_error with the system's reason); the rest returns the
// platform's result for the test to check.
class PlatformPort {
public:
    explicit PlatformPort(const std::string& device);
    ~PlatformPort();
    PlatformPort(const PlatformPort&) = delete;
    PlatformPort& operator=(const PlatformPort&) = delete;

    int Configure(const TComDeviceControl& line, const TComTimeoutRecord& timeouts);
    int Write(const Bytes& bytes, std::uint32_t& written);
    // Reads `count` bytes within the time-outs in force into `got`.
    int Read(std::uint32_t count, Bytes& got);
    int Close();
    // The line events of one wait; 0 when none came within `timeout` (the
    // wait is then cancelled) or the wait failed.
    std::uint32_t AwaitEvents(std::chrono::milliseconds timeout);

    ComHandle Handle() const { return handle_; }
    IComPlatform& Platform() const { return platform_; }

private:
    IComPlatform& platform_;
    ComHandle handle_ = InvalidComHandle;
};

// Opens `device` through the platform; 0 or the system's error code.
int TryOpen(const std::string& device);

// The platform's diagnostic lines while it lives, instead of standard error.
class CapturedDiagnostics {
public:
    CapturedDiagnostics();
    ~CapturedDiagnostics();
    CapturedDiagnostics(const CapturedDiagnostics&) = delete;
    CapturedDiagnostics& operator=(const CapturedDiagnostics&) = delete;

    std::vector<std::string> Lines() const;
};

// Asks the host to act on the machine ("unplug", "replug"): one line on the
// console, which the host's script reads.
void AskHost(const std::string& request);

// A figure for the run's report: "@@ figure NAME VALUE" on the console.
void ReportFigure(const std::string& name, double value);

double MillisecondsSince(Clock::time_point start);

// Sleeps for a few milliseconds.
void PauseBriefly();

// Polls `condition` every few milliseconds until it holds or `timeout` passes.
template <typename Condition> bool WaitFor(Condition condition, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() >= deadline) {
            return false;
        }
        PauseBriefly();
    }
    return true;
}

} // namespace orbel::guest
