#include "protocol/InstrumentLink.h"

#include "protocol/Dispatch.h"
#include "protocol/ReplyScan.h"
#include "protocol/UART_THREAT.h"
#include "serial/errors/EComPort.h"
#include "serial/ports/SerialPorts.h"

#include <algorithm>
#include <atomic>
#include <optional>
#include <stdexcept>
#include <vector>

namespace orbel {

using namespace EMUL_Functions;

namespace {

TAnswerKind KindOf(const TLinkAnswer& answer, const TExchangeArea& area) {
    switch (answer.outcome) {
    case TExchangeOutcome::PortNotOpen:
    case TExchangeOutcome::PortError:
    case TExchangeOutcome::DeviceLost:
        return TAnswerKind::PortLost;
    case TExchangeOutcome::Accepted:
        break;
    default:
        return TAnswerKind::NoAnswer;
    }
    if (answer.reply.kind != TReplyKind::Other) {
        return TAnswerKind::Answered;
    }
    return area.RxFrame[1] == CMD_ALT_REPLY ? TAnswerKind::AltReply : TAnswerKind::NoAnswer;
}

} // namespace

std::string UnansweredReason(const TLinkAnswer& answer) {
    switch (answer.kind) {
    case TAnswerKind::AltReply:
        return "the instrument answered with code 250";
    case TAnswerKind::NoAnswer:
        return answer.Accepted() ? "a reply without the layout of its command"
                                 : TExchangeTrace::OutcomeText(answer.outcome, 0, -1);
    default:
        return {};
    }
}

std::string PortErrorText(std::int32_t portCode, std::int32_t systemCode) {
    if (portCode == 0) {
        return {};
    }
    return (systemCode >= 0 ? EComPort(portCode, ComResult{ComFault::Other, systemCode})
                            : EComPort(portCode))
        .Message();
}

namespace {

// Whether a link holds the process's own area.
std::atomic<bool> sharedAreaHeld{false};

} // namespace

TInstrumentLink::TInstrumentLink(const std::string& tracePath, std::string decimalSeparator,
                                 IComPlatform* platform)
    : area_(TakeArea()), port_(nullptr, platform),
      trace_(tracePath.empty() ? TExchangeTrace::FromEnvironment() : TExchangeTrace(tracePath)),
      separator_(std::move(decimalSeparator)) {
    ConfigureInstrumentLine(port_);
    exchangePort_.Attach(&port_);
    worker_ = std::make_unique<UART_THREAT>(static_cast<IExchangeHost&>(*this), area_);
}

TExchangeArea& TInstrumentLink::TakeArea() {
    if (!sharedAreaHeld.exchange(true)) {
        return SharedArea();
    }
    ownArea_ = std::make_unique<TExchangeArea>();
    return *ownArea_;
}

TInstrumentLink::~TInstrumentLink() {
    worker_.reset();
    if (ownArea_ == nullptr) {
        sharedAreaHeld.store(false);
    }
    // A device that is gone fails the close's abort; the port is released all
    // the same, and the front end has already said what happened to it.
    Close();
}

void TInstrumentLink::Open(const std::string& portName, TTimeoutModeFlag mode) {
    port_.SetConnected(false);
    port_.SetPort(portName);
    mode_ = mode;
    NotePortUnusable(portName); // before the open, whose failure then says the system's reason last
    port_.SetConnected(true);
    NotePortOpened(portName);
}

void TInstrumentLink::Close() noexcept {
    try {
        port_.SetConnected(false);
    } catch (const std::exception&) {
        // The device is gone or refuses to close; the port is given up either way.
    }
}

void TInstrumentLink::ConfigureWorker(const std::function<void(UART_THREAT&)>& change) {
    worker_->WaitParked();
    change(*worker_);
}

TLinkAnswer TInstrumentLink::Run(const TLinkRequest& request,
                                 const std::function<void(const std::string&)>& beforeSend) {
    Build(request);
    return Send(beforeSend);
}

void TInstrumentLink::Build(const TLinkRequest& request) {
    const std::optional<std::int32_t> replyLength =
        BuildRequest(request.command, request.calibrationTenths, area_.TxFrame);
    if (!replyLength) {
        throw std::invalid_argument("no such instrument command");
    }
    area_.ReplyDataLength = *replyLength;
    request_ = request;
}

TLinkAnswer TInstrumentLink::Send(const std::function<void(const std::string&)>& beforeSend) {
    TLinkAnswer answer;
    answer.sent = PrepareRequest(area_);
    if (beforeSend) {
        beforeSend(answer.sent);
    }
    const TExchangeArea& a = area_;
    const std::vector<std::uint8_t> sent(a.TxFrame.begin(),
                                         a.TxFrame.begin() + FrameLineLength(a.TxFrame));
    trace_.RequestStarted();
    StartAndAwait(*worker_);
    trace_.Record(sent, {a.RxRaw.begin(), a.RxRaw.begin() + std::max(a.RxRawCount, 0)},
                  a.ExchangeOutcome, a.OutcomePortCode, a.OutcomeSystemCode,
                  a.PreReadCount > 0 ? std::optional<std::uint8_t>(a.PreReadByte) : std::nullopt,
                  a.LateByteCount, a.LateBytes);

    answer.time = std::chrono::system_clock::now();
    answer.request = request_;
    answer.requestBytes = sent;
    answer.receivedBytes.assign(a.RxRaw.begin(), a.RxRaw.begin() + std::max(a.RxRawCount, 0));
    answer.outcome = a.ExchangeOutcome;
    answer.portCode = a.OutcomePortCode;
    answer.systemCode = a.OutcomeSystemCode;
    if (answer.Accepted()) {
        answer.received = a.RxText;
        answer.reply = DecodeReply(a.RxFrame, separator_);
    }
    answer.kind = KindOf(answer, a);
    return answer;
}

} // namespace orbel
