// What the exchange worker needs from the outside: a port it can read, write
// and purge, and the timeout mode. The window implements the host; tests give
// fakes. Nothing here knows about widgets.
#pragma once

#include <cstdint>

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
