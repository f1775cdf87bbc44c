// The instrument's port, the exchange worker and the trace for one run of
// orbel-cli: one request at a time, as the window sends it.
#pragma once

#include "protocol/ExchangeHost.h"
#include "protocol/ExchangeTrace.h"
#include "protocol/InstrumentPort.h"
#include "protocol/ReplyDecoder.h"
#include "protocol/UART_THREAT.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

enum class TAnswerKind {
    Answered, // an accepted reply with its command's layout
    NoAnswer, // nothing, a bad CRC, too many stray bytes, or a reply of no layout
    AltReply, // the instrument answered with code 250
    PortLost, // the port failed or the device went away
};

struct TAnswer {
    TAnswerKind kind = TAnswerKind::NoAnswer;
    TDecodedReply reply;                          // for Answered
    std::chrono::system_clock::time_point time{}; // when the exchange ended
    std::string reason;                           // for the other kinds
};

class TCliSession : public IExchangeHost {
public:
    // tracePath: empty for the trace $ORBEL_TRACE asks for.
    TCliSession(const std::string& tracePath, bool softwareMode, std::string decimalSeparator);
    ~TCliSession() override;
    TCliSession(const TCliSession&) = delete;
    TCliSession& operator=(const TCliSession&) = delete;

    // Opens the port with the instrument's line settings; throws EComPort.
    void Open(const std::string& port);

    // Sends the request of a command index and waits for its outcome.
    TAnswer Exchange(int commandIndex, std::uint16_t calibrationTenths = 0);

    // Between requests: why the port is no longer there (unplugged, the other
    // end hung up), or nothing while it is. Other failures of the check count
    // as nothing: some drivers refuse the status call on a sound port.
    std::optional<std::string> LostPort();

    IExchangePort& ExchangePort() override { return exchangePort_; }
    std::uint8_t TimeoutModeFlag() override { return software_ ? tmSoftware : tmSystemBus; }

private:
    TComPort port_;
    TComPortExchange exchangePort_;
    TExchangeTrace trace_;
    bool software_;
    std::string separator_;
    std::unique_ptr<UART_THREAT> worker_; // last: it ends before the port closes
};
