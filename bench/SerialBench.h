// What the serial benchmark's contenders share: the exchange's shape, the
// clock, and the interface each one is measured through.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace serial_bench {

constexpr int RequestLength = 5;
constexpr int ReplyLength = 13;
constexpr int MsPerByte = 7;
constexpr int BudgetMs = ReplyLength * MsPerByte;

using Clock = std::chrono::steady_clock;

inline double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

// One contender's figures, and how they are printed.
struct Results {
    std::vector<double> errors;
    std::vector<double> times;
};

inline void Print(const char* name, const Results& r) {
    std::printf("%s read time-out error median (ms): %.3f\n", name, Percentile(r.errors, 0.5));
    std::printf("%s read time-out error p99 (ms): %.3f\n", name, Percentile(r.errors, 0.99));
    std::printf("%s exchange median (us): %.1f\n", name, Percentile(r.times, 0.5));
}

inline double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// One contender, holding its port open on its own line.
class Library {
public:
    virtual ~Library() = default;
    // Reads of 13 bytes on a silent line: actual minus budget, in ms.
    virtual std::vector<double> TimeoutErrors(int count) = 0;
    // 5-byte writes each followed by a 13-byte read the responder fills, in us.
    virtual std::vector<double> ExchangeTimes(int count) = 0;
};

// `reply` is the length an exchange must read (the responder's reply).
template <typename Read, typename Exchange>
std::vector<double> Time(int count, Read&& read, Exchange&& exchange, bool exchanges,
                         int reply = ReplyLength) {
    std::vector<double> values;
    for (int i = 0; i < count; ++i) {
        const auto start = Clock::now();
        const int got = exchanges ? exchange() : read();
        const double ms = MsSince(start);
        if (got != (exchanges ? reply : 0)) {
            throw std::runtime_error("unexpected reply length " + std::to_string(got));
        }
        values.push_back(exchanges ? ms * 1000.0 : ms - BudgetMs);
    }
    return values;
}

// The floor: the same exchange and the same time-out read with nothing but
// write, ppoll and read on the terminal.
std::unique_ptr<Library> MakeFloor(const std::string& device);

// Ours: the serial port component at the exchange's settings (mark parity,
// 7 ms a byte), on `device`, whose responder answers a request with `reply`
// bytes.
std::unique_ptr<Library> MakeOurs(const std::string& device, int reply = ReplyLength);

} // namespace serial_bench
