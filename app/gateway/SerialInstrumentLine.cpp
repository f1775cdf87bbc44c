#include "app/gateway/SerialInstrumentLine.h"

#include "app/gateway/GatewaySystem.h"

#include "protocol/CommandSet.h"
#include "protocol/Dispatch.h"
#include "protocol/EMUL_Functions.h"
#include "protocol/ReplyScan.h"
#include "serial/errors/EComPort.h"

#include <algorithm>
#include <optional>
#include <vector>

using namespace EMUL_Functions;

namespace orbel::gateway {

TSerialInstrumentLine::TSerialInstrumentLine(const std::string& tracePath, bool softwareMode)
    : trace_(tracePath), software_(softwareMode) {
    // The platform speaks once per open and per loss; the poller says one
    // line per change of state, with the system's reason taken from here.
    RoutePortDiagnostics([this](const std::string& line) {
        const std::lock_guard lock(diagnosticMutex_);
        diagnostic_ = line;
    });
    ConfigureInstrumentLine(port_);
    exchangePort_.Attach(&port_);
    worker_ = std::make_unique<UART_THREAT>(*this);
}

TSerialInstrumentLine::~TSerialInstrumentLine() {
    worker_.reset();
    Close();
    RoutePortDiagnostics({});
}

std::string TSerialInstrumentLine::TakeReason(const std::string& fallback) {
    std::string line;
    {
        const std::lock_guard lock(diagnosticMutex_);
        line.swap(diagnostic_);
    }
    // "serial: NAME (PATH): reason" or "serial: NAME lost: reason".
    for (const char* mark : {"): ", " lost: "}) {
        if (const std::size_t at = line.find(mark); at != std::string::npos) {
            std::string reason = line.substr(at + std::string(mark).size());
            while (!reason.empty() && reason.back() == '\n') {
                reason.pop_back();
            }
            return reason;
        }
    }
    return fallback;
}

bool TSerialInstrumentLine::Open(const std::string& port, std::string& reason) {
    TakeReason("");
    try {
        port_.SetPort(port);
        port_.SetConnected(true);
        return true;
    } catch (const EComPort& e) {
        reason = TakeReason(e.Message());
        return false;
    }
}

void TSerialInstrumentLine::Close() {
    try {
        port_.SetConnected(false);
    } catch (const EComPort&) {
        // A device that has gone cannot refuse its close in any useful way.
    }
}

TLineAnswer TSerialInstrumentLine::Exchange(int commandIndex) {
    ReplyDataLength = *BuildRequest(commandIndex, 0, TxFrame);
    PrepareRequest();
    const std::vector<std::uint8_t> request(TxFrame.begin(),
                                            TxFrame.begin() + FrameLineLength(TxFrame));
    trace_.RequestStarted();
    const std::int32_t status = StartAndAwait(*worker_);
    trace_.Record(request, {RxRaw.begin(), RxRaw.begin() + std::max(RxRawCount, 0)},
                  ExchangeOutcome, OutcomePortCode, OutcomeSystemCode,
                  PreReadCount > 0 ? std::optional<std::uint8_t>(PreReadByte) : std::nullopt,
                  LateByteCount);

    TLineAnswer answer;
    switch (ExchangeOutcome) {
    case TExchangeOutcome::PortNotOpen:
    case TExchangeOutcome::PortError:
    case TExchangeOutcome::DeviceLost:
        answer.kind = TLineAnswer::TKind::PortLost;
        answer.reason =
            TakeReason(TExchangeTrace::OutcomeText(ExchangeOutcome, OutcomePortCode, -1));
        return answer;
    default:
        break;
    }
    if (status != esAccepted) {
        answer.reason = TExchangeTrace::OutcomeText(ExchangeOutcome, 0, -1);
        return answer;
    }
    answer.reply = DecodeReply(RxFrame, ".");
    if (answer.reply.kind == TReplyKind::Other) {
        answer.reason = "a reply without the layout of its command";
    } else {
        answer.kind = TLineAnswer::TKind::Answered;
    }
    return answer;
}

} // namespace orbel::gateway
