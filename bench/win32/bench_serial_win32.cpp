// Read time-out precision and exchange time of the Win32 platform, on the COM
// port given as the first argument (default COM1) with a simulated instrument
// behind it, at the exchange's 7 ms per byte.
//
// A read of 13 bytes with the line silent runs into its 91 ms time-out; an
// exchange writes the 5-byte signature request and reads the 10-byte reply.
#include "serial/platform/win32/Win32ComPlatform.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int TimeoutReads = 100;
constexpr int Exchanges = 500;
constexpr std::uint32_t ReadLength = 13;
constexpr double BudgetMs = ReadLength * 7.0;
constexpr std::array<std::uint8_t, 5> Request{0xFF, 0x20, 0x01, 0x99, 0xF0};
constexpr std::uint32_t ReplyLength = 10;

using Clock = std::chrono::steady_clock;

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

class Port {
public:
    explicit Port(const std::string& name) {
        TComDeviceControl line;
        line.BaudRate = 9600;
        line.Flags = DcbFlag::Binary;
        line.XonLim = line.XoffLim = 256;
        line.ByteSize = 8;
        line.Parity = 3;
        line.XonChar = 17;
        line.XoffChar = 19;
        ok_ = platform_.Open(name, handle_).Ok() &&
              platform_.SetQueueSizes(handle_, 1024, 1024).Ok() &&
              platform_.SetDeviceControl(handle_, line).Ok() &&
              platform_.SetTimeouts(handle_, {0xFFFFFFFFu, 7, 0, 200, 1000}).Ok() &&
              platform_.Purge(handle_, PurgeFlag::RxClear | PurgeFlag::TxClear).Ok();
    }
    ~Port() { platform_.Close(handle_); }
    bool Ok() const { return ok_; }

    std::uint32_t Transfer(bool write, void* buffer, std::uint32_t count) {
        TComRequest request;
        std::uint32_t moved = 0;
        ComResult result = write ? platform_.StartWrite(handle_, buffer, count, request, moved)
                                 : platform_.StartRead(handle_, buffer, count, request, moved);
        if (result.IsPending()) {
            result = platform_.AwaitRequest(handle_, request, moved);
        }
        platform_.ReleaseRequest(request);
        return result.Ok() ? moved : 0;
    }

private:
    TWin32ComPlatform platform_;
    ComHandle handle_ = InvalidComHandle;
    bool ok_ = false;
};

} // namespace

int main(int argc, char** argv) {
    const std::string name = std::string("\\\\.\\") + (argc > 1 ? argv[1] : "COM1");
    Port port(name);
    if (!port.Ok()) {
        std::fprintf(stderr, "bench-serial-win32: cannot open and set up %s\n", name.c_str());
        return 1;
    }
    std::array<std::uint8_t, 64> buffer{};

    std::vector<double> errors;
    for (int i = 0; i < TimeoutReads; ++i) {
        const auto start = Clock::now();
        port.Transfer(false, buffer.data(), ReadLength);
        errors.push_back(MsSince(start) - BudgetMs);
    }

    std::vector<double> exchanges;
    int failed = 0;
    for (int i = 0; i < Exchanges; ++i) {
        auto request = Request;
        const auto start = Clock::now();
        port.Transfer(true, request.data(), request.size());
        const std::uint32_t got = port.Transfer(false, buffer.data(), ReplyLength);
        exchanges.push_back(MsSince(start));
        failed += got == ReplyLength ? 0 : 1;
    }

    const double p50 = Percentile(errors, 0.5);
    const double p99 = Percentile(errors, 0.99);
    const double median = Percentile(exchanges, 0.5);
    std::printf("win32_read_timeout_error_p50_ms: %.2f\n", p50);
    std::printf("win32_read_timeout_error_p99_ms: %.2f\n", p99);
    std::printf("win32_read_timeout_error_min_ms: %.2f\n",
                *std::min_element(errors.begin(), errors.end()));
    std::printf("win32_exchange_median_ms: %.3f\n", median);
    std::printf("win32_exchange_p99_ms: %.3f\n", Percentile(exchanges, 0.99));
    std::printf("win32_exchanges_failed: %d\n", failed);
    std::printf("summary: read time-out error p50 %.1f%% / p99 %.1f%% of the %.0f ms budget, "
                "exchange median %.3f ms (%.1f%% of the budget), %d of %d exchanges failed\n",
                100 * p50 / BudgetMs, 100 * p99 / BudgetMs, BudgetMs, median,
                100 * median / BudgetMs, failed, Exchanges);
    return failed == 0 ? 0 : 1;
}
