#include "serial/core/ComNotifyWindow.h"

#include "base/CatchAll.h"
#include "serial/core/CustomComPort.h"
#include "serial/events/ComEvents.h"

#include <stdexcept>

namespace orbel {

void TComNotifyWindow::PortEvent(std::uint32_t maskBit) noexcept {
    RunReported(
        [&] {
            if (port_.Connected()) {
                for (const TComEvent event : EventServiceOrder) {
                    if (EventMaskBit(event) == maskBit) {
                        port_.ServiceEvent(event);
                    }
                }
            }
        },
        UnknownHandlerFailure);
}

} // namespace orbel
