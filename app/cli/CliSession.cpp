#include "app/cli/CliSession.h"

#include "app/cli/Console.h"
#include "protocol/CommandSet.h"
#include "protocol/Dispatch.h"
#include "protocol/EMUL_Functions.h"
#include "protocol/ReplyScan.h"
#include "serial/errors/EComPort.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <vector>

using namespace EMUL_Functions;

namespace {

std::string TracePath(const std::string& given) {
    if (!given.empty()) {
        return given;
    }
    const char* env = std::getenv("ORBEL_TRACE");
    return env != nullptr ? env : "";
}

std::string PortFailure(TExchangeOutcome outcome, std::int32_t portCode, std::int32_t systemCode) {
    if (outcome == TExchangeOutcome::PortNotOpen) {
        return "the port is not open";
    }
    std::string text =
        outcome == TExchangeOutcome::DeviceLost ? "the device was lost" : "port error";
    if (portCode != 0) {
        text += ": " + (systemCode >= 0 ? EComPort(portCode, ComResult{ComFault::Other, systemCode})
                                        : EComPort(portCode))
                           .Message();
    }
    if (systemCode >= 0) {
        text += ": " + cli::SystemReason(systemCode);
    }
    return text;
}

} // namespace

TCliSession::TCliSession(const std::string& tracePath, bool softwareMode,
                         std::string decimalSeparator)
    : trace_(TracePath(tracePath)), software_(softwareMode),
      separator_(std::move(decimalSeparator)) {
    ConfigureInstrumentLine(port_);
    exchangePort_.Attach(&port_);
    worker_ = std::make_unique<UART_THREAT>(*this);
}

TCliSession::~TCliSession() {
    worker_.reset();
}

void TCliSession::Open(const std::string& port) {
    port_.SetPort(port);
    port_.SetConnected(true);
}

TAnswer TCliSession::Exchange(int commandIndex, std::uint16_t calibrationTenths) {
    ReplyDataLength = *BuildRequest(commandIndex, calibrationTenths, TxFrame);
    PrepareRequest();
    const std::vector<std::uint8_t> request(TxFrame.begin(),
                                            TxFrame.begin() + FrameLineLength(TxFrame));
    trace_.RequestStarted();
    const std::int32_t status = StartAndAwait(*worker_);
    trace_.Record(request, {RxRaw.begin(), RxRaw.begin() + std::max(RxRawCount, 0)},
                  ExchangeOutcome, OutcomePortCode, OutcomeSystemCode,
                  PreReadCount > 0 ? std::optional<std::uint8_t>(PreReadByte) : std::nullopt,
                  LateByteCount);

    TAnswer answer;
    answer.time = std::chrono::system_clock::now();
    switch (ExchangeOutcome) {
    case TExchangeOutcome::PortNotOpen:
    case TExchangeOutcome::PortError:
    case TExchangeOutcome::DeviceLost:
        answer.kind = TAnswerKind::PortLost;
        answer.reason = PortFailure(ExchangeOutcome, OutcomePortCode, OutcomeSystemCode);
        return answer;
    default:
        break;
    }
    if (status != esAccepted) {
        answer.reason = TExchangeTrace::OutcomeText(ExchangeOutcome, 0, -1);
        return answer;
    }
    answer.reply = DecodeReply(RxFrame, separator_);
    if (answer.reply.kind != TReplyKind::Other) {
        answer.kind = TAnswerKind::Answered;
    } else if (RxFrame[1] == CMD_ALT_REPLY) {
        answer.kind = TAnswerKind::AltReply;
        answer.reason = "the instrument answered with code 250";
    } else {
        answer.reason = "a reply without the layout of its command";
    }
    return answer;
}

std::optional<std::string> TCliSession::LostPort() {
    try {
        port_.BytesWaiting();
    } catch (const EComPort& e) {
        if (e.Fault() == ComFault::DeviceLost) {
            return PortFailure(TExchangeOutcome::DeviceLost, e.PortCode(), e.SystemCode());
        }
    }
    return std::nullopt;
}
