// The event side of the port: its event thread and notification receiver,
// the servicing of line events, and the event hooks.
#include "serial/core/CustomComPort.h"

#include "serial/core/ComNotifyWindow.h"
#include "serial/core/ComThread.h"
#include "serial/events/ComEvents.h"

#include <utility>

namespace orbel {

const TComNotifyWindow* TCustomComPort::NotifyWindow() const {
    return notifyWindow_.get();
}

void TCustomComPort::StartMonitor() {
    if (syncMethod_ == smWindowSync) {
        notifyWindow_ = std::make_shared<TComNotifyWindow>(*this);
    }
    try {
        monitorThread_ = std::make_unique<TComThread>(*this, notifyWindow_);
    } catch (...) {
        notifyWindow_.reset();
        throw;
    }
    monitorRunning_ = true;
}

void TCustomComPort::StopMonitor() {
    monitorThread_.reset();
    // A notification running now (a handler closing the port) holds it on.
    notifyWindow_.reset();
}

void TCustomComPort::DispatchEvents(TComEvents events) {
    // A handler may close this port and destroy it: once it has, nothing of
    // the port is touched any more.
    const std::weak_ptr<const bool> life = life_;
    for (const TComEvent event : EventServiceOrder) {
        if (life.expired() || !connected_.load()) {
            return;
        }
        if (events.Contains(event)) {
            ServiceEvent(event);
        }
    }
}

void TCustomComPort::ServiceEvent(TComEvent event) {
    switch (event) {
    case evError:
        if (const TComErrors errors = LineErrors(); !errors.Empty()) {
            FireError(errors);
        }
        break;
    case evRxChar:
        if (const std::int32_t count = BytesWaiting(); count > 0) {
            FireRxChar(count);
        }
        break;
    case evTxEmpty:
        FireTxEmpty();
        break;
    case evBreak:
        FireBreak();
        break;
    case evRing:
        FireRing();
        break;
    case evCTS:
        FireCTSChange(LineSignals().Contains(sgCTS));
        break;
    case evDSR:
        FireDSRChange(LineSignals().Contains(sgDSR));
        break;
    case evRxFlag:
        FireRxFlag();
        break;
    case evRLSD:
        FireRLSDChange(LineSignals().Contains(sgRLSD));
        break;
    case evRx80Full:
        FireRx80Full();
        break;
    }
}

namespace {

template <typename Handler, typename... Args> void Fire(const Handler& handler, Args&&... args) {
    if (handler) {
        handler(std::forward<Args>(args)...);
    }
}

} // namespace

void TCustomComPort::FireAfterClose() {
    Fire(OnAfterClose, this);
}
void TCustomComPort::FireAfterOpen() {
    Fire(OnAfterOpen, this);
}
void TCustomComPort::FireBeforeClose() {
    Fire(OnBeforeClose, this);
}
void TCustomComPort::FireBeforeOpen() {
    Fire(OnBeforeOpen, this);
}
void TCustomComPort::FireRxChar(std::int32_t count) {
    Fire(OnRxChar, this, count);
}
void TCustomComPort::FireRxBuf(const void* buffer, std::int32_t count) {
    Fire(OnRxBuf, this, buffer, count);
}
void TCustomComPort::FireTxEmpty() {
    Fire(OnTxEmpty, this);
}
void TCustomComPort::FireBreak() {
    Fire(OnBreak, this);
}
void TCustomComPort::FireRing() {
    Fire(OnRing, this);
}
void TCustomComPort::FireRxFlag() {
    Fire(OnRxFlag, this);
}
void TCustomComPort::FireCTSChange(bool onOff) {
    Fire(OnCTSChange, this, onOff);
}
void TCustomComPort::FireDSRChange(bool onOff) {
    Fire(OnDSRChange, this, onOff);
}
void TCustomComPort::FireError(TComErrors errors) {
    Fire(OnError, this, errors);
}
void TCustomComPort::FireRLSDChange(bool onOff) {
    Fire(OnRLSDChange, this, onOff);
}
void TCustomComPort::FireRx80Full() {
    Fire(OnRx80Full, this);
}

} // namespace orbel
