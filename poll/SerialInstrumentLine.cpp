#include "poll/SerialInstrumentLine.h"

#include "serial/errors/EComPort.h"
#include "serial/platform/PortDiagnosticSink.h"

namespace orbel {

namespace {

// The system's words for a failure that has a system code; else the port's.
std::string SystemOrPortText(std::int32_t systemCode, const std::string& fallback) {
    return systemCode >= 0 ? SystemComPlatform().SystemErrorText(systemCode) : fallback;
}

} // namespace

TSerialInstrumentLine::TSerialInstrumentLine(const std::string& tracePath, bool softwareMode)
    : mode_(softwareMode ? tmSoftware : tmSystemBus), link_(tracePath, ".") {
    SetPortDiagnosticSink([](const std::string&) {});
}

TSerialInstrumentLine::~TSerialInstrumentLine() {
    link_.Close();
    SetPortDiagnosticSink({});
}

bool TSerialInstrumentLine::Open(const std::string& port, std::string& reason) {
    try {
        link_.Open(port, mode_);
        return true;
    } catch (const EComPort& e) {
        reason = SystemOrPortText(e.SystemCode(), e.Message());
        return false;
    }
}

void TSerialInstrumentLine::Close() {
    link_.Close();
}

TLineAnswer TSerialInstrumentLine::Exchange(int commandIndex) {
    TLineAnswer line;
    line.link = link_.Run({commandIndex});
    const TLinkAnswer& answer = line.link;
    line.kind = LineKind(answer.kind);
    line.reply = answer.reply;
    if (answer.kind == TAnswerKind::PortLost) {
        line.reason = SystemOrPortText(
            answer.systemCode, TExchangeTrace::OutcomeText(answer.outcome, answer.portCode, -1));
    } else if (answer.kind != TAnswerKind::Answered) {
        line.reason = UnansweredReason(answer);
    }
    return line;
}

} // namespace orbel
