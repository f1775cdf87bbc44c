// The hidden receiver of an open port's event notifications under
// smWindowSync. It lives on the port's thread and services one event per
// notification while the port is open; a notification that comes after the
// close is dropped. Nothing it services propagates: failures go to the
// application's exception report. The port and the notifications on their
// way share it, so a handler that closes the port from here does not pull
// it away under the running notification.
#pragma once

#include <cstdint>

namespace orbel {

class TCustomComPort;

class TComNotifyWindow {
public:
    explicit TComNotifyWindow(TCustomComPort& port) : port_(port) {}

    // `maskBit` names the event by its event mask bit; any other value does nothing.
    void PortEvent(std::uint32_t maskBit) noexcept;

private:
    TCustomComPort& port_;
};

} // namespace orbel
