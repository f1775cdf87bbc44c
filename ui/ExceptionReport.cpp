#include "ui/ExceptionReport.h"

#include "ui/MessageBoxes.h"

#include <QString>

namespace orbel {

void ShowExceptionBox(const std::exception& e) {
    MessageBoxes().Show(TMsgKind::Error, QStringLiteral("Error"), QString::fromUtf8(e.what()),
                        TMsgButtons::Ok);
}

void InstallStandardExceptionReport() {
    SetExceptionReport(&ShowExceptionBox);
}

} // namespace orbel
