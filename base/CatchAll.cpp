#include "base/CatchAll.h"

#include <cstdio>
#include <memory>
#include <mutex>

namespace orbel {

namespace {

std::mutex reportMutex;
std::shared_ptr<const ExceptionReportHandler> installed;

// Carries the text of an exception that is no std::exception.
struct TUnknownFailure : std::exception {
    explicit TUnknownFailure(const char* text) : text_(text) {}
    const char* what() const noexcept override { return text_; }

private:
    const char* text_;
};

} // namespace

void SetExceptionReport(ExceptionReportHandler handler) {
    auto replacement =
        handler ? std::make_shared<const ExceptionReportHandler>(std::move(handler)) : nullptr;
    std::lock_guard lock(reportMutex);
    installed = std::move(replacement);
}

void ReportException(const std::exception& error) noexcept {
    std::shared_ptr<const ExceptionReportHandler> handler;
    {
        std::lock_guard lock(reportMutex);
        handler = installed;
    }
    try {
        if (handler) {
            (*handler)(error);
            return;
        }
    } catch (...) {
        // A report that fails itself falls back to standard error.
    }
    std::fprintf(stderr, "%s\n", error.what());
}

void ReportException(const std::exception_ptr& error, const char* unknownText) noexcept {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        ReportException(e);
    } catch (...) {
        ReportException(TUnknownFailure(unknownText));
    }
}

} // namespace orbel
