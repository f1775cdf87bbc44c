#include "ui/ExceptionReport.h"

#include "ui/MessageBoxes.h"

#include <QString>

#include <stdexcept>

void ShowExceptionBox(const std::exception& e) {
    MessageBoxes().Show(TMsgKind::Error, QStringLiteral("Error"), QString::fromUtf8(e.what()),
                        TMsgButtons::Ok);
}

void InstallStandardExceptionReport() {
    SetExceptionReport(&ShowExceptionBox);
}

void RunReported(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& e) {
        ReportException(e);
    } catch (...) {
        ReportException(std::runtime_error("Unknown error"));
    }
}
