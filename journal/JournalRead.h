// Reading the journal: its lines as entries, the lines that are none (a torn
// last line, a line that is not JSON), the filters, and the chain's check.
// Pure: the text of the file goes in.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orbel {

struct TJournalCoefficients {
    std::array<double, 4> values{}; // C1, C2 of channel 1, then of channel 2
    std::string read;               // when (UTC)
};

struct TJournalRecord {
    std::size_t line = 0;  // from 1
    std::string_view text; // the line as stored, without its line feed
    std::string problem;   // why the line is no entry; empty for an entry

    std::string time, offset, program, version, host, user, port, device, act, point, outcome,
        request, reply, prev;
    std::int64_t process = 0;
    int channel = 0;
    std::optional<double> value;
    int tenths = 0;
    std::optional<std::uint16_t> serial; // of the instrument as identified
    int address = -1, type = -1, hardware = -1, software = -1;
    std::optional<TJournalCoefficients> coefficients; // read, or as found for an act

    bool IsEntry() const { return problem.empty(); }
};

// One line (`number` from 1); `torn` when it is the last and has no line feed.
TJournalRecord ReadEntryLine(std::size_t number, std::string_view text, bool torn);

// Every line of `text` (which must outlive the records), in order; a last
// line without a line feed is "torn".
std::vector<TJournalRecord> ReadJournal(std::string_view text);

struct TJournalFilter {
    std::optional<std::uint16_t> serial;
    std::string since; // UTC as entries write it; empty: from the start
    std::string port;  // the port or the device; empty: any
};

bool Matches(const TJournalRecord& record, const TJournalFilter& filter);

// The first line whose chain breaks: its number and why; nothing when every
// line holds.
struct TChainBreak {
    std::size_t line = 0;
    std::string reason;
};
std::optional<TChainBreak> VerifyChain(const std::vector<TJournalRecord>& records);

// A --since date as UTC text comparable with entries' times: "2026-12-08",
// "2026-12-08T10:15", "2026-12-08 10:15:30", each optionally ending in "Z" or
// an offset "+03:00"; without either it is local time, `offsetMinutes` off
// UTC. Nothing when the text is no such date.
std::optional<std::string> SinceUtc(std::string_view text, int offsetMinutes);

} // namespace orbel
