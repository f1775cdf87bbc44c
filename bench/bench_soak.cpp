// A long run of mixed transactions through the exchange worker and the real
// serial component against orbel-sim (its own process) injecting a corrupted
// reply every tenth time. Failures are counted where the protocol sees them
// (status 1); a watchdog counts a transaction that does not end as a hang.
//
//   bench-soak [TRANSACTIONS] [READ_MS_PER_BYTE]
//
// The read budget per byte defaults to 2 ms instead of the tool's 7 ms, so
// that 20,000 transactions take minutes rather than an hour; the worker,
// the transfers and the scan are the same.
#include "common/SimProcess.h"
#include "protocol/CommandSet.h"
#include "protocol/Dispatch.h"
#include "protocol/EMUL_Functions.h"
#include "protocol/InstrumentPort.h"
#include "serial/core/ComPort.h"

#include <QCoreApplication>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <unistd.h>

using namespace orbel;

using namespace EMUL_Functions;

namespace {

long ResidentKb() {
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    statm >> size >> resident;
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

class Host : public IExchangeHost {
public:
    explicit Host(IExchangePort& port) : port_(port) {}
    IExchangePort& ExchangePort() override { return port_; }
    std::uint8_t TimeoutModeFlag() override { return tmSoftware; }

private:
    IExchangePort& port_;
};

} // namespace

int main(int argc, char** argv) {
    const int transactions = argc > 1 ? std::max(10, std::atoi(argv[1])) : 20000;
    const int perByte = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2;
    constexpr int FaultEvery = 10;
    QCoreApplication app(argc, argv);

    orbel::test::SimProcess sim({"--no-drift", "--corrupt-every", std::to_string(FaultEvery)});
    TComPort port;
    port.SetPort(sim.DevicePath());
    port.Parity().SetBits(prMark);
    port.Timeouts().SetReadTotalMultiplier(perByte);
    port.Timeouts().SetWriteTotalMultiplier(200);
    port.SetEvents(TComEvents{});
    port.SetConnected(true);
    TComPortExchange exchangePort;
    exchangePort.Attach(&port);
    Host host(exchangePort);

    std::atomic<int> done{0};
    std::atomic<bool> finished{false};
    int hangs = 0;
    std::thread watchdog([&] {
        int last = -1;
        auto lastChange = std::chrono::steady_clock::now();
        while (!finished.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            const int now = done.load();
            if (now != last) {
                last = now;
                lastChange = std::chrono::steady_clock::now();
            } else if (std::chrono::steady_clock::now() - lastChange > std::chrono::seconds(10)) {
                std::printf("hangs: 1\n");
                std::fflush(stdout);
                std::_Exit(2);
            }
        }
    });

    const long rssStart = ResidentKb();
    int failures = 0;
    const auto start = std::chrono::steady_clock::now();
    {
        UART_THREAT worker(host);
        const int commands[] = {ciSignature, ciReadings, ciReadCoeffs, ciCalibrateC1Channel1};
        for (int i = 0; i < transactions; ++i) {
            const int command = commands[i % 4];
            ReplyDataLength = *BuildRequest(command, static_cast<std::uint16_t>(i % 1000), TxFrame);
            PrepareRequest();
            failures += StartAndAwait(worker) == esNoReply ? 1 : 0;
            done.store(i + 1);
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    finished.store(true);
    watchdog.join();
    port.SetConnected(false);
    const long rssEnd = ResidentKb();

    std::printf("transactions: %d\n", transactions);
    std::printf("read ms per byte: %d\n", perByte);
    std::printf("failures injected: %d\n", transactions / FaultEvery);
    std::printf("failures seen: %d\n", failures);
    std::printf("hangs: %d\n", hangs);
    std::printf("seconds: %.1f\n", seconds);
    std::printf("rss start kB: %ld\n", rssStart);
    std::printf("rss end kB: %ld\n", rssEnd);
    std::printf("rss growth kB: %ld\n", rssEnd - rssStart);
    return failures == transactions / FaultEvery ? 0 : 1;
}
