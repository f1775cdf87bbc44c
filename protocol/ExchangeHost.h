// What the exchange worker needs from the outside: a port it can read, write
// and purge, and the timeout mode. TInstrumentLink implements the host for
// every front end; tests give fakes. Nothing here knows about widgets.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace orbel {

class IExchangePort {
public:
    virtual ~IExchangePort() = default;
    virtual bool Connected() const = 0;
    // Blocking transfers bounded by the port's time-outs; a short count is no
    // error. Failures raise EComPort.
    virtual std::int32_t ReadBytes(void* buffer, std::int32_t count) = 0;
    virtual std::int32_t WriteBytes(const void* buffer, std::int32_t count) = 0;
    virtual void PurgeBuffers(bool input, bool output) = 0;
    // How many received bytes wait in the input queue.
    virtual std::int32_t BytesWaiting() = 0;

    // A read of `count` bytes under ReadBytes' budget that ends as soon as
    // `decided` gives 0 for the bytes received so far (else the bytes it
    // needs at least before it can tell). A port that cannot end a read
    // early waits out the budget.
    virtual std::int32_t
    ReadBytesUntil(void* buffer, std::int32_t count,
                   const std::function<std::int32_t(const std::uint8_t*, std::int32_t)>& decided) {
        static_cast<void>(decided);
        return ReadBytes(buffer, count);
    }
    // A read of `count` bytes that waits at most `waitMs`; 0 when the line
    // stayed quiet that long. A port that cannot listen reports a quiet line
    // at once.
    virtual std::int32_t ReadWithin(void* buffer, std::int32_t count, std::uint32_t waitMs) {
        static_cast<void>(buffer);
        static_cast<void>(count);
        static_cast<void>(waitMs);
        return 0;
    }
    // The clock the port's time-outs run on, in microseconds.
    virtual std::uint64_t ClockUs() const {
        return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                              std::chrono::steady_clock::now().time_since_epoch())
                                              .count());
    }
};

// Timeout mode flag handed to a transaction.
enum TTimeoutModeFlag : std::uint8_t {
    tmSoftware = 0,  // wait 2 ms before each request
    tmSystemBus = 1, // consume one waiting byte before each request
};

class IExchangeHost {
public:
    virtual ~IExchangeHost() = default;
    // Both are read by the worker at the start of every transaction, while the
    // window thread waits for the outcome.
    virtual IExchangePort& ExchangePort() = 0;
    virtual std::uint8_t TimeoutModeFlag() = 0;
};

} // namespace orbel
