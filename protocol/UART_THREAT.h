// The exchange worker: one thread that runs one request/reply transaction per
// wake-up and parks in between.
#pragma once

#include "base/AtomicWait.h"
#include "protocol/EMUL_Functions.h"
#include "protocol/ExchangeHost.h"
#include "protocol/LineEtiquette.h"

#include <atomic>
#include <cstdint>
#include <thread>

class UART_THREAT {
public:
    // Starts the thread parked: its loop runs only after the first Wake().
    // `area` is the exchange area it works in (the process's own unless given).
    explicit UART_THREAT(orbel::IExchangeHost& host,
                         EMUL_Functions::TExchangeArea& area = EMUL_Functions::SharedArea());
    // Stops the loop and joins the thread (at the latest when the process
    // ends); a transaction in flight ends by its port time-outs first.
    ~UART_THREAT();

    UART_THREAT(const UART_THREAT&) = delete;
    UART_THREAT& operator=(const UART_THREAT&) = delete;

    // True while the worker waits for a wake-up (or has not yet run).
    bool Parked() const { return parked_.load(std::memory_order_acquire); }
    // Blocks, without spinning, until the worker is parked.
    void WaitParked() const;
    // Releases the parked worker for one transaction; call only while Parked().
    // The wake-up is counted, so one given between the worker setting its flag
    // and blocking is not lost. It publishes every earlier store of the caller.
    void Wake();

    bool StopRequested() const { return stop_.load(std::memory_order_acquire); }

    // How the transactions treat the line; set while the worker is parked
    // (the next wake-up publishes it).
    void SetOptions(const orbel::TExchangeOptions& options) { options_ = options; }
    const orbel::TExchangeOptions& Options() const { return options_; }
    // What the transactions remember of the line; the worker's own.
    orbel::TLineState& Line() { return line_; }
    // The exchange area its transactions read and write.
    EMUL_Functions::TExchangeArea& Area() const { return area_; }

private:
    void Execute();
    void RaisePriority();

    orbel::IExchangeHost& host_;
    EMUL_Functions::TExchangeArea& area_;
    std::atomic<bool> parked_{true};
    std::atomic<bool> stop_{false};
    orbel::TSemaphore wakeups_;
    orbel::TExchangeOptions options_;
    orbel::TLineState line_;
    std::thread thread_;
};

// Waits until the area's ExchangeStatus is no longer 0 and returns it
// (acquire). Blocks on the status instead of spinning; handles no messages.
std::int32_t
WaitForExchangeStatus(EMUL_Functions::TExchangeArea& area = EMUL_Functions::SharedArea());

// One transaction on `port` (mode: tmSoftware or tmSystemBus). Its results are
// the worker's exchange area's variables; ExchangeStatus is stored last, with
// release.
void UART_EXCHANGE(UART_THREAT& thread, orbel::IExchangePort& port, std::uint8_t mode);
