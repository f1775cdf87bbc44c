#include "journal/JournalRecorder.h"

#include "journal/JournalSystem.h"
#include "protocol/CommandSet.h"

namespace orbel {

namespace {

bool SameSignature(const TSignatureValues& a, const TSignatureValues& b) {
    return a.address == b.address && a.type == b.type && a.serial == b.serial && a.hard == b.hard &&
           a.soft == b.soft;
}

} // namespace

TJournalRecorder::TJournalRecorder(std::string program, std::string version, std::string path)
    : path_(std::move(path)) {
    writer_.program = std::move(program);
    writer_.version = std::move(version);
    writer_.host = JournalHostName();
    writer_.user = JournalUserName();
    writer_.process = JournalProcessId();
}

bool TJournalRecorder::Remember(TPortMemory& memory, const TLinkAnswer& answer) {
    const int command = answer.request.command;
    if (command == ciSignature) {
        const TSignatureValues& values = answer.reply.signature;
        memory.identity = TIdentityRead{values, answer.time};
        const bool repeat =
            memory.recordedIdentity && SameSignature(*memory.recordedIdentity, values);
        memory.recordedIdentity = values;
        return !repeat;
    }
    const auto& tenths = answer.reply.coefficientTenths;
    memory.coefficients = TCoefficientsRead{tenths, answer.time};
    const bool repeat = memory.recordedCoefficients == tenths;
    memory.recordedCoefficients = tenths;
    return !repeat;
}

TJournalWrite TJournalRecorder::Record(const std::string& port, const TLinkAnswer& answer,
                                       std::optional<double> value) {
    const int command = answer.request.command;
    if (ActName(command).empty() ||
        answer.outcome == EMUL_Functions::TExchangeOutcome::PortNotOpen) {
        return {};
    }
    TPortMemory& memory = ports_[port];
    if (IsCalibrationCommand(command)) {
        const TPortMemory before = memory;
        memory.recordedIdentity.reset();
        memory.recordedCoefficients.reset();
        return Write(port, answer, value, before);
    }
    if (answer.kind != TAnswerKind::Answered) {
        return {};
    }
    const TPortMemory before = memory;
    if (!Remember(memory, answer)) {
        return {};
    }
    TPortMemory shown = before;
    if (command == ciSignature) {
        shown.identity = memory.identity; // a signature read records what it found
    }
    return Write(port, answer, std::nullopt, shown);
}

TJournalWrite TJournalRecorder::Write(const std::string& port, const TLinkAnswer& answer,
                                      std::optional<double> value, const TPortMemory& before) {
    TEntryFacts facts;
    facts.writer = writer_;
    facts.offsetMinutes = LocalOffsetMinutes(answer.time);
    facts.port = port;
    facts.device = JournalPortDevice(port);
    facts.answer = answer;
    facts.value = value;
    facts.instrument = before.identity;
    facts.asFound = before.coefficients;
    if (path_.empty()) {
        return {false, "no folder for it is known (set ORBEL_JOURNAL)"};
    }
    std::string failure =
        AppendToJournal(path_, [&](std::string_view prev) { return EntryLine(facts, prev); });
    return {failure.empty(), std::move(failure)};
}

} // namespace orbel
