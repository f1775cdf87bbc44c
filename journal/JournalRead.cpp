#include "journal/JournalRead.h"

#include "journal/JournalChain.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cmath>
#include <cstdio>

namespace orbel {

using nlohmann::json;

namespace {

std::string Text(const json& entry, const char* key) {
    const auto found = entry.find(key);
    return found != entry.end() && found->is_string() ? found->get<std::string>() : std::string();
}

template <typename T> T Number(const json& entry, const char* key, T otherwise) {
    const auto found = entry.find(key);
    return found != entry.end() && found->is_number() ? found->get<T>() : otherwise;
}

std::optional<TJournalCoefficients> Coefficients(const json& entry, const char* key) {
    const auto found = entry.find(key);
    if (found == entry.end() || !found->is_object()) {
        return std::nullopt;
    }
    TJournalCoefficients c;
    c.read = Text(*found, "read");
    std::size_t i = 0;
    for (const char* channel : {"channel1", "channel2"}) {
        const auto points = found->find(channel);
        for (const char* point : {"C1", "C2"}) {
            c.values[i++] = points != found->end() && points->is_object()
                                ? Number(*points, point, std::nan(""))
                                : std::nan("");
        }
    }
    return c;
}

void Fill(TJournalRecord& r, const json& entry) {
    r.time = Text(entry, "time");
    r.offset = Text(entry, "offset");
    r.program = Text(entry, "program");
    r.version = Text(entry, "version");
    r.host = Text(entry, "host");
    r.user = Text(entry, "user");
    r.process = Number<std::int64_t>(entry, "process", 0);
    r.port = Text(entry, "port");
    r.device = Text(entry, "device");
    r.act = Text(entry, "act");
    r.channel = Number(entry, "channel", 0);
    r.point = Text(entry, "point");
    if (const auto value = entry.find("value"); value != entry.end() && value->is_number()) {
        r.value = value->get<double>();
    }
    r.tenths = Number(entry, "tenths", 0);
    r.request = Text(entry, "request");
    r.outcome = Text(entry, "outcome");
    r.reply = Text(entry, "reply");
    r.prev = Text(entry, "prev");
    if (const auto found = entry.find("instrument"); found != entry.end() && found->is_object()) {
        const int serial = Number(*found, "serial", -1);
        if (serial >= 0 && serial <= 0xFFFF) {
            r.serial = static_cast<std::uint16_t>(serial);
        }
        r.address = Number(*found, "address", -1);
        r.type = Number(*found, "type", -1);
        r.hardware = Number(*found, "hardware", -1);
        r.software = Number(*found, "software", -1);
    }
    r.coefficients = Coefficients(entry, r.act == "calibrate" ? "asFound" : "coefficients");
}

} // namespace

TJournalRecord ReadEntryLine(std::size_t number, std::string_view text, bool torn) {
    TJournalRecord record;
    record.line = number;
    record.text = text;
    const json entry = json::parse(text, nullptr, false);
    if (entry.is_discarded()) {
        record.problem = torn ? "torn (the last line, never finished)" : "not JSON";
    } else if (!entry.is_object() || !entry.contains("prev") || !entry["prev"].is_string() ||
               !entry.contains("time") || !entry.contains("act")) {
        record.problem = "not a journal entry";
    } else {
        Fill(record, entry);
    }
    return record;
}

namespace {

bool Chained(const std::vector<TJournalRecord>& records, std::size_t i) {
    const std::string expected = i == 0 ? std::string(ChainStart) : Sha256Hex(records[i - 1].text);
    return !records[i].IsEntry() || records[i].prev == expected;
}

} // namespace

std::vector<TJournalRecord> ReadJournal(std::string_view text) {
    std::vector<TJournalRecord> records;
    records.reserve(text.size() / 700 + 1);
    std::size_t number = 0;
    while (!text.empty()) {
        const std::size_t feed = text.find('\n');
        const bool torn = feed == std::string_view::npos;
        records.push_back(ReadEntryLine(++number, text.substr(0, feed), torn));
        text.remove_prefix(torn ? text.size() : feed + 1);
    }
    return records;
}

bool Matches(const TJournalRecord& r, const TJournalFilter& filter) {
    return r.IsEntry() && (!filter.serial || r.serial == filter.serial) &&
           (filter.since.empty() || r.time >= filter.since) &&
           (filter.port.empty() || r.port == filter.port || r.device == filter.port);
}

std::optional<TChainBreak> VerifyChain(const std::vector<TJournalRecord>& records) {
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (Chained(records, i)) {
            continue;
        }
        const std::string at = "line " + std::to_string(i + 1);
        if (i == 0) {
            return TChainBreak{1, "the first entry does not begin the chain"};
        }
        if (i + 1 == records.size()) {
            return TChainBreak{i, "line " + std::to_string(i) + " or " + at +
                                      " was changed after it was written (" + at +
                                      " does not chain to the line before it)"};
        }
        if (Chained(records, i + 1)) {
            return TChainBreak{i, "line " + std::to_string(i) +
                                      " was changed after it was written (" + at +
                                      " does not chain to it)"};
        }
        return TChainBreak{i + 1, at + " was changed after it was written (it does not chain to "
                                       "the line before it, nor the next line to it)"};
    }
    return std::nullopt;
}

std::optional<std::string> SinceUtc(std::string_view text, int offsetMinutes) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, oh = 0, om = 0;
    int used = 0;
    const std::string given(text);
    if (std::sscanf(given.c_str(), "%4d-%2d-%2d%n", &y, &mo, &d, &used) != 3 || used != 10) {
        return std::nullopt;
    }
    std::string_view rest = text.substr(10);
    if (!rest.empty() && (rest[0] == 'T' || rest[0] == ' ')) {
        const std::string time(rest.substr(1));
        int n = 0;
        if (std::sscanf(time.c_str(), "%2d:%2d%n", &h, &mi, &n) != 2 || n != 5) {
            return std::nullopt;
        }
        rest.remove_prefix(6);
        if (rest.size() >= 3 && rest[0] == ':') {
            const std::string seconds(rest.substr(1, 2));
            if (std::sscanf(seconds.c_str(), "%2d%n", &s, &n) != 1 || n != 2) {
                return std::nullopt;
            }
            rest.remove_prefix(3);
        }
    }
    int offset = offsetMinutes;
    if (rest == "Z") {
        offset = 0;
    } else if (rest.size() == 6 && (rest[0] == '+' || rest[0] == '-') && rest[3] == ':') {
        const std::string zone(rest.substr(1));
        int n = 0;
        if (std::sscanf(zone.c_str(), "%2d:%2d%n", &oh, &om, &n) != 2 || n != 5) {
            return std::nullopt;
        }
        offset = (rest[0] == '-' ? -1 : 1) * (oh * 60 + om);
    } else if (!rest.empty()) {
        return std::nullopt;
    }
    using namespace std::chrono;
    const year_month_day date{year{y}, month{static_cast<unsigned>(mo)},
                              day{static_cast<unsigned>(d)}};
    if (!date.ok() || h > 23 || mi > 59 || s > 59) {
        return std::nullopt;
    }
    const auto utc = sys_days{date} + hours{h} + minutes{mi} + seconds{s} - minutes{offset};
    const auto day = floor<days>(utc);
    const year_month_day utcDate{day};
    const hh_mm_ss clock{utc - day};
    char out[64];
    std::snprintf(out, sizeof out, "%04d-%02u-%02uT%02d:%02d:%02d.000Z", int(utcDate.year()),
                  unsigned(utcDate.month()), unsigned(utcDate.day()), int(clock.hours().count()),
                  int(clock.minutes().count()), int(clock.seconds().count()));
    return std::string(out);
}

} // namespace orbel
