#include "ExchangeRows.h"

#include "protocol/CommandSet.h"
#include "protocol/Dispatch.h"
#include "protocol/EMUL_Functions.h"
#include "protocol/InstrumentPort.h"
#include "protocol/ReplyScan.h"
#include "protocol/UART_THREAT.h"
#include "serial/core/ComPort.h"

#include <chrono>
#include <cstdio>
#include <sys/resource.h>

using namespace orbel;

using namespace EMUL_Functions;

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

namespace {

// One character at 9600 baud, 11 bits: start, 8 data, parity, stop.
constexpr double CharacterMs = 11'000.0 / 9600;
// The quiet gap a master keeps before it speaks: 3.5 character times. The
// software mode's 2 ms wait lies inside it.
constexpr double QuietGapMs = 4.0;

class BenchHost : public IExchangeHost {
public:
    explicit BenchHost(const std::string& device) {
        ConfigureInstrumentLine(port_);
        port_.SetPort(device);
        port_.SetConnected(true);
        exchange_.Attach(&port_);
    }
    IExchangePort& ExchangePort() override { return exchange_; }
    std::uint8_t TimeoutModeFlag() override { return tmSoftware; }

private:
    TComPort port_;
    TComPortExchange exchange_;
};

struct Row {
    const char* name;
    int index;
};

} // namespace

bool PrintExchangeRows(const std::string& device, int count, double turnaroundMs,
                       const std::string& label) {
    BenchHost host(device);
    UART_THREAT worker(host);
    const Row rows[] = {{"signature", ciSignature},
                        {"readings", ciReadings},
                        {"coefficients", ciReadCoeffs},
                        {"calibrate", ciCalibrateC1Channel1}};
    bool allAnswered = true;
    for (const Row& command : rows) {
        const std::string name = label + command.name;
        const Row row{name.c_str(), command.index};
        int answered = 0;
        const double cpuStart = CpuSeconds();
        const auto wallStart = std::chrono::steady_clock::now();
        for (int i = 0; i < count; ++i) {
            ReplyDataLength = *BuildRequest(row.index, 50, TxFrame);
            PrepareRequest();
            answered += StartAndAwait(worker) == esAccepted ? 1 : 0;
        }
        const double wallMs =
            1000.0 *
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count() /
            count;
        const double cpuMs = 1000.0 * (CpuSeconds() - cpuStart) / count;
        const int requestBytes = FrameLineLength(TxFrame);
        const int replyBytes = ReplyDataLength + 4;
        const double lineMs = QuietGapMs + (requestBytes + replyBytes) * CharacterMs + turnaroundMs;
        std::printf("%s: answered %d of %d\n", row.name, answered, count);
        std::printf("%s: transaction ms: %.2f\n", row.name, wallMs);
        std::printf("%s: line ms (gap %.1f, request %d B, turnaround %.1f, reply %d B): %.2f\n",
                    row.name, QuietGapMs, requestBytes, turnaroundMs, replyBytes, lineMs);
        std::printf("%s: exchange ratio ours/line: %.2f\n", row.name, wallMs / lineMs);
        std::printf("%s: cpu ms per transaction: %.3f (cpu/wall %.4f)\n", row.name, cpuMs,
                    cpuMs / wallMs);
        allAnswered = allAnswered && answered == count;
    }
    return allAnswered;
}
