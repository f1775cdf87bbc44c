// The calendar fields of a moment in the local time zone, safe to call from
// any thread on every system the tool is built for.
#pragma once

#include <ctime>

namespace orbel {

std::tm LocalTime(std::time_t seconds);

} // namespace orbel
