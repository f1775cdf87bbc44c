// One journal entry as the writer makes it: the facts of an act or a read,
// turned into one line of JSON. Pure.
//
//   {"time":"2026-12-08T02:31:35.123Z","offset":"+03:00","program":"orbel-cli",
//    "version":"1.0.0","host":"bench-7","user":"ivanov","process":4242,
//    "port":"COM1","device":"/dev/ttyS0","act":"calibrate","channel":1,"point":"C1",
//    "value":12.5,"tenths":125,"request":"FF 03 ...","outcome":"accepted",
//    "reply":"01 03 ...","instrument":{...}|null,"asFound":{...}|null,"prev":"<sha-256>"}
//
// A signature read holds "instrument" as just read; a coefficients read holds
// "coefficients" as just read; a calibration holds what was last read on its
// port in this run, its as-found values.
#pragma once

#include "protocol/InstrumentLink.h"
#include "protocol/ReplyDecoder.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orbel {

using TJournalClock = std::chrono::system_clock;

// Who wrote an entry.
struct TJournalWriter {
    std::string program;
    std::string version;
    std::string host;
    std::string user;
    std::int64_t process = 0;
};

// The instrument as a signature read found it.
struct TIdentityRead {
    TSignatureValues values;
    TJournalClock::time_point read{};
};

// The coefficients in tenths (C1, C2 of channel 1, then of channel 2) as read.
struct TCoefficientsRead {
    std::array<std::uint16_t, 4> tenths{};
    TJournalClock::time_point read{};
};

struct TEntryFacts {
    TJournalWriter writer;
    int offsetMinutes = 0;       // the local time's offset from UTC at the time of the act
    std::string port;            // as the technician named it
    std::string device;          // what it stood for
    TLinkAnswer answer;          // the request sent and what came of it
    std::optional<double> value; // a calibration's value as entered
    std::optional<TIdentityRead> instrument;
    std::optional<TCoefficientsRead> asFound;
};

// The act an entry records for a command: "signature", "coefficients",
// "calibrate"; empty for a command the journal keeps no entry of.
std::string_view ActName(int command);

// "accepted", "code 250", "no reply", "bad reply" or "port error".
std::string_view OutcomeName(const TLinkAnswer& answer);

// 2026-12-08T02:31:35.123Z
std::string UtcText(TJournalClock::time_point time);
// +03:00, -05:30
std::string OffsetText(int minutes);
// The local time's offset from UTC at `time`, in minutes.
int LocalOffsetMinutes(TJournalClock::time_point time);

// Bytes as two hexadecimal digits each, parted by blanks.
std::string HexBytes(const std::vector<std::uint8_t>& bytes);

// The entry's line (no line feed), `prev` the SHA-256 of the line before it.
std::string EntryLine(const TEntryFacts& facts, std::string_view prev);

} // namespace orbel
