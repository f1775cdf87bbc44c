#include "GuestPort.h"

#include "serial/platform/posix/PortDiagnostics.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>

using namespace orbel;

namespace orbel::guest {

namespace {

std::mutex g_linesMutex;
std::vector<std::string> g_lines;

// The suites speak the system's own codes (errno here): 0 for success.
int Code(const ComResult& result) {
    return result.Ok() ? 0 : result.SystemCode;
}

// Completes a transfer the platform has started.
int Complete(IComPlatform& platform, ComHandle handle, ComResult started, TComRequest& request,
             std::uint32_t& done) {
    if (started.IsPending()) {
        started = platform.AwaitRequest(handle, request, done);
    }
    platform.ReleaseRequest(request);
    return Code(started);
}

} // namespace

std::string DeviceFromEnvironment(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

TComDeviceControl ToolLine() {
    TComDeviceControl line;
    line.BaudRate = 9600;
    line.Flags = DcbFlag::Binary; // DTR and RTS control 0: held off
    line.XonLim = 1024;
    line.XoffLim = 1024;
    line.ByteSize = 8;
    line.Parity = 3; // mark
    line.StopBits = 0;
    line.XonChar = 0x11;
    line.XoffChar = 0x13;
    return line;
}

TComTimeoutRecord ToolTimeouts() {
    return {0xFFFFFFFFu, 7, 0, 200, 1000};
}

PlatformPort::PlatformPort(const std::string& device) : platform_(SystemComPlatform()) {
    if (const int error = Code(platform_.Open(device, handle_)); error != 0) {
        throw std::runtime_error("cannot open " + device + ": " + std::strerror(error));
    }
}

PlatformPort::~PlatformPort() {
    Close();
}

int PlatformPort::Configure(const TComDeviceControl& line, const TComTimeoutRecord& timeouts) {
    if (const int error = Code(platform_.SetDeviceControl(handle_, line)); error != 0) {
        return error;
    }
    return Code(platform_.SetTimeouts(handle_, timeouts));
}

int PlatformPort::Write(const Bytes& bytes, std::uint32_t& written) {
    TComRequest request;
    const auto size = static_cast<std::uint32_t>(bytes.size());
    const ComResult started = platform_.StartWrite(handle_, bytes.data(), size, request, written);
    return Complete(platform_, handle_, started, request, written);
}

int PlatformPort::Read(std::uint32_t count, Bytes& got) {
    got.assign(count, 0);
    TComRequest request;
    std::uint32_t done = 0;
    const ComResult started = platform_.StartRead(handle_, got.data(), count, request, done);
    const int result = Complete(platform_, handle_, started, request, done);
    got.resize(done);
    return result;
}

int PlatformPort::Close() {
    if (handle_ == InvalidComHandle) {
        return 0;
    }
    const int result = Code(platform_.Close(handle_));
    handle_ = InvalidComHandle;
    return result;
}

std::uint32_t PlatformPort::AwaitEvents(std::chrono::milliseconds timeout) {
    TComRequest request;
    if (!platform_.StartEventWait(handle_, request).IsPending()) {
        platform_.ReleaseRequest(request);
        return 0;
    }
    std::uint32_t events = 0;
    int result = 0;
    std::packaged_task<void()> wait(
        [&] { result = Code(platform_.AwaitEvent(handle_, request, events)); });
    auto finished = wait.get_future();
    std::thread waiter(std::move(wait));
    if (finished.wait_for(timeout) != std::future_status::ready) {
        platform_.CancelRequest(request);
    }
    waiter.join();
    platform_.ReleaseRequest(request);
    return result == 0 ? events : 0;
}

int TryOpen(const std::string& device) {
    IComPlatform& platform = SystemComPlatform();
    ComHandle handle = InvalidComHandle;
    const int error = Code(platform.Open(device, handle));
    if (error == 0) {
        platform.Close(handle);
    }
    return error;
}

CapturedDiagnostics::CapturedDiagnostics() {
    {
        std::lock_guard lock(g_linesMutex);
        g_lines.clear();
    }
    SetPortDiagnosticSink([](const std::string& line) {
        std::lock_guard lock(g_linesMutex);
        g_lines.push_back(line);
    });
}

CapturedDiagnostics::~CapturedDiagnostics() {
    SetPortDiagnosticSink({});
}

std::vector<std::string> CapturedDiagnostics::Lines() const {
    std::lock_guard lock(g_linesMutex);
    return g_lines;
}

void AskHost(const std::string& request) {
    std::fflush(stdout);
    std::printf("@@ host %s\n", request.c_str());
    std::fflush(stdout);
}

void ReportFigure(const std::string& name, double value) {
    std::fflush(stdout);
    std::printf("@@ figure %s %.2f\n", name.c_str(), value);
    std::fflush(stdout);
}

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void PauseBriefly() {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

} // namespace orbel::guest
