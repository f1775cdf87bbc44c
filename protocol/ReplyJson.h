// A decoded reply as one JSON object, its keys from the command's fields
// (CommandTable.h): orbel-cli's --json answers, and whatever else publishes
// the instrument's values under the same names.
#pragma once

#include "protocol/ReplyDecoder.h"

#include <chrono>
#include <string>

namespace orbel {

// 2026-12-07T10:15:00.123Z
std::string IsoUtcTime(std::chrono::system_clock::time_point time);

// One object on one line, without a line end: {"time": ...} first for a
// repeated command (the time of the answer), then the fields without a group,
// then each group as an object (null while absent). Whole numbers stay whole,
// tenths and floats are numbers with a point. Empty for a reply not decoded.
std::string ReplyJson(const TDecodedReply& reply, std::chrono::system_clock::time_point time);

} // namespace orbel
