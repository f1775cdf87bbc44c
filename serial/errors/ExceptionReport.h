// The application's standard exception report, where failures that must not
// propagate end up (the port's open after loading, for one). By default it
// writes the message to standard error; the application installs its own
// (a message box).
#pragma once

#include <exception>
#include <functional>

using ExceptionReportHandler = std::function<void(const std::exception&)>;

// An empty handler restores the default. Thread-safe.
void SetExceptionReport(ExceptionReportHandler handler);

// Hands the exception to the installed report; never throws.
void ReportException(const std::exception& error) noexcept;
