#include "journal/JournalEntry.h"

#include "base/LocalTime.h"
#include "protocol/CommandSet.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace orbel {

using nlohmann::ordered_json;

namespace {

ordered_json IdentityJson(const TIdentityRead& identity) {
    const TSignatureValues& v = identity.values;
    return {{"address", v.address}, {"type", v.type},     {"serial", v.serial},
            {"hardware", v.hard},   {"software", v.soft}, {"read", UtcText(identity.read)}};
}

double Coefficient(std::uint16_t tenths) {
    return tenths / 10.0;
}

ordered_json CoefficientsJson(const TCoefficientsRead& read) {
    const auto& t = read.tenths;
    return {{"read", UtcText(read.read)},
            {"channel1", {{"C1", Coefficient(t[0])}, {"C2", Coefficient(t[1])}}},
            {"channel2", {{"C1", Coefficient(t[2])}, {"C2", Coefficient(t[3])}}}};
}

template <typename T>
ordered_json OrNull(const std::optional<T>& value, ordered_json (*json)(const T&)) {
    return value ? json(*value) : ordered_json(nullptr);
}

} // namespace

std::string_view ActName(int command) {
    if (command == ciSignature) {
        return "signature";
    }
    if (command == ciReadCoeffs) {
        return "coefficients";
    }
    return IsCalibrationCommand(command) ? "calibrate" : "";
}

std::string_view OutcomeName(const TLinkAnswer& answer) {
    switch (answer.kind) {
    case TAnswerKind::Answered:
        return "accepted";
    case TAnswerKind::AltReply:
        return "code 250";
    case TAnswerKind::PortLost:
        return "port error";
    case TAnswerKind::NoAnswer:
        break;
    }
    return answer.outcome == EMUL_Functions::TExchangeOutcome::NoReply ? "no reply" : "bad reply";
}

std::string UtcText(TJournalClock::time_point time) {
    using namespace std::chrono;
    const auto ms = floor<milliseconds>(time);
    const auto day = floor<days>(ms);
    const year_month_day date{day};
    const hh_mm_ss clock{ms - day};
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", int(date.year()),
                  unsigned(date.month()), unsigned(date.day()), int(clock.hours().count()),
                  int(clock.minutes().count()), int(clock.seconds().count()),
                  int(clock.subseconds().count()));
    return text;
}

std::string OffsetText(int minutes) {
    const int magnitude = minutes < 0 ? -minutes : minutes;
    char text[16];
    std::snprintf(text, sizeof text, "%c%02d:%02d", minutes < 0 ? '-' : '+', magnitude / 60,
                  magnitude % 60);
    return text;
}

int LocalOffsetMinutes(TJournalClock::time_point time) {
    using namespace std::chrono;
    const std::time_t seconds = TJournalClock::to_time_t(time);
    const std::tm local = LocalTime(seconds);
    const sys_days day{year{local.tm_year + 1900} / (local.tm_mon + 1) / local.tm_mday};
    const auto localSeconds = day.time_since_epoch() + hours{local.tm_hour} +
                              minutes{local.tm_min} + std::chrono::seconds{local.tm_sec};
    return static_cast<int>(
        duration_cast<minutes>(localSeconds - std::chrono::seconds{seconds}).count());
}

std::string HexBytes(const std::vector<std::uint8_t>& bytes) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string text;
    for (const std::uint8_t byte : bytes) {
        if (!text.empty()) {
            text += ' ';
        }
        text += Digits[byte >> 4];
        text += Digits[byte & 0x0F];
    }
    return text;
}

std::string EntryLine(const TEntryFacts& facts, std::string_view prev) {
    const TLinkAnswer& answer = facts.answer;
    const int command = answer.request.command;
    ordered_json entry;
    entry["time"] = UtcText(answer.time);
    entry["offset"] = OffsetText(facts.offsetMinutes);
    entry["program"] = facts.writer.program;
    entry["version"] = facts.writer.version;
    entry["host"] = facts.writer.host;
    entry["user"] = facts.writer.user;
    entry["process"] = facts.writer.process;
    entry["port"] = facts.port;
    entry["device"] = facts.device;
    entry["act"] = ActName(command);
    if (IsCalibrationCommand(command)) {
        const int offset = command - ciCalibrateC1Channel1;
        entry["channel"] = offset / 2 + 1;
        entry["point"] = offset % 2 == 0 ? "C1" : "C2";
        entry["value"] = facts.value ? ordered_json(*facts.value) : ordered_json(nullptr);
        entry["tenths"] = answer.request.calibrationTenths;
    }
    entry["request"] = HexBytes(answer.requestBytes);
    entry["outcome"] = OutcomeName(answer);
    entry["reply"] = answer.receivedBytes.empty() ? ordered_json(nullptr)
                                                  : ordered_json(HexBytes(answer.receivedBytes));
    entry["instrument"] = OrNull(facts.instrument, IdentityJson);
    if (command == ciReadCoeffs && answer.kind == TAnswerKind::Answered) {
        entry["coefficients"] = CoefficientsJson({answer.reply.coefficientTenths, answer.time});
    } else if (IsCalibrationCommand(command)) {
        entry["asFound"] = OrNull(facts.asFound, CoefficientsJson);
    }
    entry["prev"] = prev;
    return entry.dump(-1, ' ', false, ordered_json::error_handler_t::replace);
}

} // namespace orbel
