// The hidden receiver of an open port's event notifications under
// smWindowSync. It lives on the port's thread and services one event per
// notification while the port is open; a notification that comes after the
// close is dropped. Nothing it services propagates: failures go to the
// application's exception report.
#pragma once

#include <QObject>
#include <cstdint>

class TCustomComPort;

class TComNotifyWindow : public QObject {
public:
    explicit TComNotifyWindow(TCustomComPort& port);

    // `maskBit` names the event by its event mask bit; any other value does nothing.
    void PortEvent(std::uint32_t maskBit) noexcept;

private:
    TCustomComPort& port_;
};
