#include "ui/ExceptionReport.h"

#include "ui/MessageBoxes.h"

#include <QString>

void ReportException(const std::exception& e) {
    MessageBoxes().Show(TMsgKind::Error, QStringLiteral("Error"), QString::fromUtf8(e.what()),
                        TMsgButtons::Ok);
}

void RunReported(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& e) {
        ReportException(e);
    } catch (...) {
        const std::runtime_error unknown("Unknown error");
        ReportException(unknown);
    }
}
