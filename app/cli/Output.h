// What orbel-cli prints for an answer: the window's memo lines, JSON Lines or
// CSV. Pure: every function returns whole lines, each ended by a line feed.
#pragma once

#include "app/cli/CalibrationArgs.h"
#include "protocol/ReplyDecoder.h"
#include "protocol/ReplyJson.h"
#include "serial/ports/SerialPorts.h"

#include <chrono>
#include <string>

namespace orbel::cli {

enum class TOutputForm { Text, Json, Csv };

using orbel::IsoUtcTime;

// Text with the regional decimal separator: the lines of the reply's fields
// (the window's memo lines; for the coefficients "C1 канал 1 = 5,0").
std::string TextAnswer(const TDecodedReply& reply, const std::string& decimalSeparator);

// One JSON object on one line (ReplyJson); the time is that of the answer.
std::string JsonAnswer(const TDecodedReply& reply, std::chrono::system_clock::time_point time);
std::string JsonCalibrated(const TCalibrationRequest& request);

// How CSV parts its fields and writes a decimal: the plain form, a comma and
// a point (for scripts), or the user's regional one (for a spreadsheet).
struct TCsvForm {
    std::string list = ",";
    std::string decimal = ".";
};

// The regional form from the system's separators: the list separator it keeps
// when there is one that differs from the decimal one; else a semicolon
// beside a decimal comma and a comma beside anything else.
TCsvForm RegionalCsvForm(const std::string& decimal, const std::string& list);

// One field, in quotes (its own doubled) when it holds a separator, a quote or
// a line end.
std::string CsvField(const std::string& text, const TCsvForm& form);

// CSV lines of a command's fields: the time, then a column a field (its key,
// with its group's number); an absent group leaves its cells empty.
std::string CsvHeader(const TCommandRow& row, const TCsvForm& form = {});
std::string CsvAnswer(const TDecodedReply& reply, std::chrono::system_clock::time_point time,
                      const TCsvForm& form = {});

// A port of `orbel-cli ports`: its name for --port, the adapter, its state
// when it cannot be used, the menu items that reach it and its by-id link,
// parted by two blanks, with a line of advice below when its latency timer
// is high; or one JSON object with a null for what is not known.
std::string PortText(const TSerialPortInfo& entry);
std::string PortJson(const TSerialPortInfo& entry);

} // namespace orbel::cli
