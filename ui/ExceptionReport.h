// The application's standard exception report: an exception's message in an
// error box. Every handler and timer slot hands over what escapes it.
#pragma once

#include <exception>
#include <functional>

void ReportException(const std::exception& e);

// Runs `action`; an exception that escapes it is reported, never propagated
// into the toolkit (an exception leaving a slot is undefined behaviour).
void RunReported(const std::function<void()>& action);
