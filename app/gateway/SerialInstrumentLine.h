// The instrument on a serial port: the port, the exchange worker and the
// exchange trace, as the other front ends drive them.
#pragma once

#include "app/gateway/InstrumentLine.h"
#include "protocol/ExchangeHost.h"
#include "protocol/ExchangeTrace.h"
#include "protocol/InstrumentPort.h"
#include "protocol/UART_THREAT.h"
#include "serial/core/ComPort.h"

#include <memory>
#include <mutex>
#include <string>

namespace orbel::gateway {

class TSerialInstrumentLine : public IInstrumentLine, public IExchangeHost {
public:
    // tracePath: empty for no trace.
    TSerialInstrumentLine(const std::string& tracePath, bool softwareMode);
    ~TSerialInstrumentLine() override;
    TSerialInstrumentLine(const TSerialInstrumentLine&) = delete;
    TSerialInstrumentLine& operator=(const TSerialInstrumentLine&) = delete;

    bool Open(const std::string& port, std::string& reason) override;
    void Close() override;
    TLineAnswer Exchange(int commandIndex) override;

    IExchangePort& ExchangePort() override { return exchangePort_; }
    std::uint8_t TimeoutModeFlag() override { return software_ ? tmSoftware : tmSystemBus; }

private:
    // The system's reason from the platform's last diagnostic line, taken.
    std::string TakeReason(const std::string& fallback);

    std::mutex diagnosticMutex_;
    std::string diagnostic_; // the platform's last line, kept off standard error
    TComPort port_;
    TComPortExchange exchangePort_;
    TExchangeTrace trace_;
    bool software_;
    std::unique_ptr<UART_THREAT> worker_; // last: it ends before the port closes
};

} // namespace orbel::gateway
