#include "serial/core/ComNotifyWindow.h"

#include "serial/core/CustomComPort.h"
#include "serial/errors/ExceptionReport.h"
#include "serial/events/ComEvents.h"

#include <stdexcept>

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
