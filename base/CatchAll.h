// The program's exception report, and the one way to hand it whatever a
// destructor, a slot or a handler must not let escape. By default the report
// writes the message to standard error; a program installs its own (the
// window installs an error box).
#pragma once

#include <exception>
#include <functional>
#include <utility>

namespace orbel {

using ExceptionReportHandler = std::function<void(const std::exception&)>;

// An empty handler restores the default. Thread-safe.
void SetExceptionReport(ExceptionReportHandler handler);

// Hands the exception to the installed report; never throws. A report that
// fails itself falls back to standard error.
void ReportException(const std::exception& error) noexcept;

// Hands over the exception `error` holds, whatever its type: one that is no
// std::exception is reported with `unknownText` as its message.
void ReportException(const std::exception_ptr& error, const char* unknownText) noexcept;

// Runs `action`; anything that escapes it goes to the report instead. Returns
// false when something escaped.
template <typename Action>
bool RunReported(Action&& action, const char* unknownText = "Unknown error") noexcept {
    try {
        std::forward<Action>(action)();
        return true;
    } catch (...) {
        ReportException(std::current_exception(), unknownText);
        return false;
    }
}

} // namespace orbel
