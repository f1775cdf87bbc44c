#include "serial/errors/ExceptionReport.h"

#include <cstdio>
#include <memory>
#include <mutex>

namespace {

std::mutex reportMutex;
std::shared_ptr<const ExceptionReportHandler> installed;

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
