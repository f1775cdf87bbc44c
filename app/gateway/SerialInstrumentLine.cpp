#include "app/gateway/SerialInstrumentLine.h"

#include "serial/errors/EComPort.h"
#include "serial/platform/PortDiagnosticSink.h"

namespace orbel::gateway {

TSerialInstrumentLine::TSerialInstrumentLine(const std::string& tracePath, bool softwareMode)
    : mode_(softwareMode ? tmSoftware : tmSystemBus), link_(tracePath, ".") {
    // The platform speaks once per open and per loss; the poller says one
    // line per change of state, with the system's reason taken from here.
    SetPortDiagnosticSink([this](const std::string& line) {
        const std::lock_guard lock(diagnosticMutex_);
        diagnostic_ = line;
    });
}

TSerialInstrumentLine::~TSerialInstrumentLine() {
    link_.Close();
    SetPortDiagnosticSink({});
}

std::string TSerialInstrumentLine::TakeReason(const std::string& fallback) {
    std::string line;
    {
        const std::lock_guard lock(diagnosticMutex_);
        line.swap(diagnostic_);
    }
    // "serial: NAME (PATH): reason" or "serial: NAME lost: reason".
    for (const std::string mark : {"): ", " lost: "}) {
        if (const std::size_t at = line.find(mark); at != std::string::npos) {
            std::string reason = line.substr(at + mark.size());
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
        link_.Open(port, mode_);
        TakeReason(""); // what the open noted (a latency timer) is no reason for a later loss
        return true;
    } catch (const EComPort& e) {
        reason = TakeReason(e.Message());
        return false;
    }
}

void TSerialInstrumentLine::Close() {
    link_.Close();
}

TLineAnswer TSerialInstrumentLine::Exchange(int commandIndex) {
    const TLinkAnswer answer = link_.Run({commandIndex});
    TLineAnswer line;
    line.reply = answer.reply;
    switch (answer.kind) {
    case TAnswerKind::Answered:
        line.kind = TLineAnswer::TKind::Answered;
        break;
    case TAnswerKind::PortLost:
        line.kind = TLineAnswer::TKind::PortLost;
        line.reason = TakeReason(TExchangeTrace::OutcomeText(answer.outcome, answer.portCode, -1));
        break;
    case TAnswerKind::AltReply:
    case TAnswerKind::NoAnswer:
        line.reason = UnansweredReason(answer);
        break;
    }
    return line;
}

} // namespace orbel::gateway
