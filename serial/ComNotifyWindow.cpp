#include "serial/ComNotifyWindow.h"

#include "serial/ComEvents.h"
#include "serial/CustomComPort.h"
#include "serial/ExceptionReport.h"

#include <stdexcept>

TComNotifyWindow::TComNotifyWindow(TCustomComPort& port) : port_(port) {
    setObjectName(QStringLiteral("NotifyWindow"));
}

void TComNotifyWindow::PortEvent(std::uint32_t maskBit) noexcept {
    try {
        if (port_.Connected()) {
            for (const TComEvent event : EventServiceOrder) {
                if (EventMaskBit(event) == maskBit) {
                    port_.ServiceEvent(event);
                }
            }
        }
    } catch (const std::exception& error) {
        ReportException(error);
    } catch (...) {
        ReportException(std::runtime_error("unknown failure in a port event handler"));
    }
}
