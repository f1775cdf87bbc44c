// The application's standard exception report on the toolkit: an exception's
// message in an error box. Every handler and timer slot hands over what
// escapes it, so nothing propagates into the toolkit.
#pragma once

#include "serial/errors/ExceptionReport.h"

#include <exception>
#include <functional>

// Shows the message in an error box through the message-box seam.
void ShowExceptionBox(const std::exception& e);

// Makes the error box the report of the whole program (the port component
// hands its own failures there too).
void InstallStandardExceptionReport();

// Runs `action`; an exception that escapes it goes to the report, never into
// the toolkit (an exception leaving a slot is undefined behaviour).
void RunReported(const std::function<void()>& action);
