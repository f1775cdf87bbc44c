// The application's standard exception report on the toolkit: an exception's
// message in an error box. Every handler and timer slot hands over what
// escapes it (RunReported), so nothing propagates into the toolkit.
#pragma once

#include "base/CatchAll.h"

#include <exception>

namespace orbel {

// Shows the message in an error box through the message-box seam.
void ShowExceptionBox(const std::exception& e);

// Makes the error box the report of the whole program (the port component
// hands its own failures there too).
void InstallStandardExceptionReport();

} // namespace orbel
