// The link to the instrument that every front end uses: its port, the
// exchange worker, the exchange trace and what a request came to. One request
// at a time, from one thread: Run builds the request, hands it to the worker,
// waits for the outcome, writes the trace record and classifies the outcome.
// No toolkit: a plain loop can poll through it.
//
//   TInstrumentLink link;                  // the trace $ORBEL_TRACE names
//   link.Open("COM2", tmSoftware);         // throws EComPort
//   const TLinkAnswer answer = link.Run({ciReadings});
//   if (answer.DeviceLost()) { ... }
//
// Each link has an exchange area of its own, so links on different ports run
// at once, one thread each. The first link takes the process's own area (the
// one the inherited names TxFrame, RxFrame, ExchangeStatus, ... stand for,
// the window's); a link made while another holds it gets a new one.
#pragma once

#include "protocol/CommandSet.h"
#include "protocol/EMUL_Functions.h"
#include "protocol/ExchangeHost.h"
#include "protocol/ExchangeTrace.h"
#include "protocol/InstrumentPort.h"
#include "protocol/ReplyDecoder.h"
#include "serial/core/ComPort.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class UART_THREAT;

namespace orbel {

enum class TAnswerKind {
    Answered, // an accepted reply with its command's layout
    NoAnswer, // nothing, a bad CRC, too many stray bytes, or a reply of no layout
    AltReply, // the instrument answered with code 250
    PortLost, // the port was not open, failed, or the device went away
};

// One request: the command and, for the calibration commands, the value in
// tenths. A setting the worker is to use for this one request belongs here
// too: Send hands it to the parked worker before waking it.
struct TLinkRequest {
    int command = ciReadings;
    std::uint16_t calibrationTenths = 0;
};

// What one request came to.
struct TLinkAnswer {
    TAnswerKind kind = TAnswerKind::NoAnswer;
    EMUL_Functions::TExchangeOutcome outcome = EMUL_Functions::TExchangeOutcome::None;
    std::int32_t portCode = 0;                    // EComPort code of a port failure, else 0
    std::int32_t systemCode = -1;                 // its system code, else -1
    std::string sent;                             // the request as a decimal dump
    std::string received;                         // an accepted reply as a decimal dump
    TDecodedReply reply;                          // an accepted reply decoded
    std::chrono::system_clock::time_point time{}; // when the exchange ended

    bool Accepted() const { return outcome == EMUL_Functions::TExchangeOutcome::Accepted; }
    // The device hung up or vanished: the port is of no more use until reopened.
    bool DeviceLost() const { return outcome == EMUL_Functions::TExchangeOutcome::DeviceLost; }
};

// Why an answer that reached the port brought nothing to show (the kinds
// AltReply and NoAnswer), in the words every front end gives; empty for the
// other kinds, whose reasons are the front end's own.
std::string UnansweredReason(const TLinkAnswer& answer);

// The port's error behind a request whose port failed, in the port's words
// (with the system's code where there is one); empty when it raised none.
std::string PortErrorText(std::int32_t portCode, std::int32_t systemCode);

class TInstrumentLink : private IExchangeHost {
public:
    // tracePath: the trace file; empty for the one $ORBEL_TRACE names, if any.
    // `platform` is the port's system interface (nullptr: the system's own).
    // The worker thread starts here, parked.
    explicit TInstrumentLink(const std::string& tracePath = {}, std::string decimalSeparator = ",",
                             IComPlatform* platform = nullptr);
    ~TInstrumentLink() override;
    TInstrumentLink(const TInstrumentLink&) = delete;
    TInstrumentLink& operator=(const TInstrumentLink&) = delete;

    // Opens the named port with the instrument's line settings (closing the
    // one open before) and sets the timeout mode; throws EComPort.
    void Open(const std::string& portName, TTimeoutModeFlag mode);
    // Closes the port; a device that is gone or refuses to close is given up
    // either way, without an error.
    void Close() noexcept;
    bool IsOpen() const { return port_.Connected(); }

    // The exchange area its requests go through.
    EMUL_Functions::TExchangeArea& Area() { return area_; }

    // The port itself, for a front end that names, opens and closes it.
    TComPort& Port() { return port_; }
    const TComPort& Port() const { return port_; }

    // The timeout mode the next request runs in.
    void SetMode(TTimeoutModeFlag mode) { mode_ = mode; }
    TTimeoutModeFlag Mode() const { return mode_; }

    // Runs `change` on the worker once it is parked: for the worker's own
    // settings, which hold for the requests that follow (the next wake-up
    // publishes them). A per-request setting is set here before each Run.
    void ConfigureWorker(const std::function<void(UART_THREAT& worker)>& change);

    // The regional decimal separator the decoded reply's texts use.
    void SetDecimalSeparator(std::string separator) { separator_ = std::move(separator); }

    // Build then Send: the request's answer.
    TLinkAnswer Run(const TLinkRequest& request,
                    const std::function<void(const std::string& sent)>& beforeSend = {});

    // Writes the request into the exchange area; an index outside the command
    // set writes nothing and throws std::invalid_argument.
    void Build(const TLinkRequest& request);
    // Sends the request the exchange area holds and waits for its outcome,
    // without handling messages. `beforeSend` sees the request's dump just
    // before the worker is woken (a window shows it and starts its no-reply
    // timer there). A window that handles messages between Build and Send
    // sends whatever request was built last, as its dispatch always has.
    TLinkAnswer Send(const std::function<void(const std::string& sent)>& beforeSend = {});

private:
    IExchangePort& ExchangePort() override { return exchangePort_; }
    std::uint8_t TimeoutModeFlag() override { return mode_; }
    EMUL_Functions::TExchangeArea& TakeArea();

    std::unique_ptr<EMUL_Functions::TExchangeArea> ownArea_; // null: the process's own
    EMUL_Functions::TExchangeArea& area_;

    TComPort port_;
    TComPortExchange exchangePort_;
    TExchangeTrace trace_;
    std::string separator_;
    TTimeoutModeFlag mode_ = tmSoftware;
    TLinkRequest request_;                // the one built last, for the worker's options
    std::unique_ptr<UART_THREAT> worker_; // last: it ends before the port closes
};

} // namespace orbel
