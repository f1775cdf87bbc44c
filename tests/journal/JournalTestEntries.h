// Entries for the journal's tests: the answers a link would give, made by hand.
#pragma once

#include "journal/JournalEntry.h"
#include "protocol/CommandSet.h"

#include <string>

namespace orbel::test {

inline TLinkAnswer Answered(int command, std::uint16_t tenths = 0) {
    TLinkAnswer answer;
    answer.kind = TAnswerKind::Answered;
    answer.outcome = EMUL_Functions::TExchangeOutcome::Accepted;
    answer.request = {command, tenths};
    answer.requestBytes = {0xFF, static_cast<std::uint8_t>(command)};
    answer.receivedBytes = {0x01, 0x02};
    answer.time = TJournalClock::now();
    return answer;
}

inline TLinkAnswer SignatureAnswer(std::uint16_t serial) {
    TLinkAnswer answer = Answered(ciSignature);
    answer.reply.kind = TReplyKind::Signature;
    answer.reply.signature = {1, 1, serial, 1, 3};
    return answer;
}

inline TLinkAnswer CoefficientsAnswer(std::array<std::uint16_t, 4> tenths) {
    TLinkAnswer answer = Answered(ciReadCoeffs);
    answer.reply.kind = TReplyKind::Coefficients;
    answer.reply.coefficientTenths = tenths;
    return answer;
}

// One entry's line for `prev`, a calibration of C1 channel 1 unless told.
inline std::string SomeEntry(std::string_view prev, int command = ciCalibrateC1Channel1) {
    TEntryFacts facts;
    facts.writer = {"orbel-test", "1.0", "host", "user", 7};
    facts.port = "COM1";
    facts.device = "/dev/ttyS0";
    facts.answer = Answered(command, 125);
    facts.value = 12.5;
    return EntryLine(facts, prev);
}

} // namespace orbel::test
