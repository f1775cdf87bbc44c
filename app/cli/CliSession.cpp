#include "app/cli/CliSession.h"

#include "app/cli/Console.h"
#include "protocol/UART_THREAT.h"
#include "serial/errors/EComPort.h"

namespace orbel::cli {

using namespace EMUL_Functions;

namespace {

std::string PortFailure(TExchangeOutcome outcome, std::int32_t portCode, std::int32_t systemCode) {
    if (outcome == TExchangeOutcome::PortNotOpen) {
        return "the port is not open";
    }
    std::string text =
        outcome == TExchangeOutcome::DeviceLost ? "the device was lost" : "port error";
    if (portCode != 0) {
        text += ": " + PortErrorText(portCode, systemCode);
    }
    if (systemCode >= 0) {
        text += ": " + cli::SystemReason(systemCode);
    }
    return text;
}

} // namespace

TCliSession::TCliSession(const std::string& tracePath, bool softwareMode,
                         std::string decimalSeparator)
    : link_(tracePath, std::move(decimalSeparator)),
      mode_(softwareMode ? tmSoftware : tmSystemBus) {
    // A script reads rows one after the other: a reply that comes after its
    // budget must not pass for the next request's answer.
    link_.ConfigureWorker([](UART_THREAT& worker) {
        TExchangeOptions options;
        options.awaitLateReply = true;
        worker.SetOptions(options);
    });
}

void TCliSession::Open(const std::string& port) {
    link_.Open(port, mode_);
}

TAnswer TCliSession::Exchange(int commandIndex, std::uint16_t calibrationTenths) {
    TAnswer answer;
    static_cast<TLinkAnswer&>(answer) = link_.Run({commandIndex, calibrationTenths});
    switch (answer.kind) {
    case TAnswerKind::Answered:
        break;
    case TAnswerKind::PortLost:
        answer.reason = PortFailure(answer.outcome, answer.portCode, answer.systemCode);
        break;
    case TAnswerKind::AltReply:
    case TAnswerKind::NoAnswer:
        answer.reason = UnansweredReason(answer);
        break;
    }
    return answer;
}

TLineAnswer TSessionLine::Exchange(int commandIndex) {
    TAnswer answer = session_.Exchange(commandIndex);
    TLineAnswer line;
    line.kind = LineKind(answer.kind);
    line.reply = answer.reply;
    line.reason = std::move(answer.reason);
    line.link = std::move(answer);
    return line;
}

TAnswer TSessionLine::Answer(const TLineAnswer& line) {
    TAnswer answer;
    static_cast<TLinkAnswer&>(answer) = line.link;
    answer.reason = line.reason;
    return answer;
}

std::optional<std::string> TCliSession::LostPort() {
    try {
        link_.Port().BytesWaiting();
    } catch (const EComPort& e) {
        if (e.Fault() == ComFault::DeviceLost) {
            return PortFailure(TExchangeOutcome::DeviceLost, e.PortCode(), e.SystemCode());
        }
    }
    return std::nullopt;
}

} // namespace orbel::cli
