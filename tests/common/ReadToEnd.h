// A child's standard output and error, read as it writes them until both end.
#pragma once

#include <chrono>
#include <string>

namespace orbel::test {

// Reads `out` and `err` into their texts until both have reached their end
// (or failed) or the deadline has passed; true when both have ended. Closes
// neither.
bool ReadToEnd(int out, int err, std::string& outText, std::string& errText,
               std::chrono::steady_clock::time_point deadline);

} // namespace orbel::test
