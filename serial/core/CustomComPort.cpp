// Construction, the setters with their rules, and the loading state.
#include "serial/core/CustomComPort.h"

#include "base/CatchAll.h"
#include "serial/core/ComNotifyWindow.h"
#include "serial/core/ComThread.h"
#include "serial/errors/EComPort.h"
#include "serial/errors/PortErrorMessages.h"

namespace orbel {

TCustomComPort::TCustomComPort(void* owner, IComPlatform* platform)
    : owner_(owner), platform_(platform != nullptr ? platform : &SystemComPlatform()) {
    // The message table is built here, once the application has set its locale.
    InitPortErrorMessages();
}

TCustomComPort::~TCustomComPort() {
    // The port must not outlive its object: whatever the close threw (a
    // handler may throw anything), close the device anyway.
    if (!RunReported([this] { ClosePort(); }, "unknown failure while closing the port")) {
        StopMonitor();
        monitorRunning_ = false;
        CloseDevice();
        connected_ = false;
    }
}

void TCustomComPort::SetConnected(bool value) {
    if (loading_) {
        loadedConnected_ = value;
        return;
    }
    if (value == connected_.load()) {
        return;
    }
    if (value) {
        OpenPort();
    } else {
        ClosePort();
    }
}

void TCustomComPort::SetPort(const std::string& value) {
    if (value == port_) {
        return;
    }
    port_ = value;
    if (Live()) {
        ClosePort();
        OpenPort();
    }
}

void TCustomComPort::SetSyncMethod(TSyncMethod value) {
    if (value == syncMethod_) {
        return;
    }
    if (Live()) {
        throw EComPort(CError_ConnChangeProp);
    }
    syncMethod_ = value;
}

void TCustomComPort::SetBuffer(const TComBuffer& value) {
    buffer_.Assign(value);
    ApplyQueueSizes();
}

void TCustomComPort::SetParity(const TComParity& value) {
    parity_.Assign(value);
    ApplyLineSettings();
}

void TCustomComPort::SetTimeouts(const TComTimeouts& value) {
    timeouts_.Assign(value);
    ApplyTimeoutSettings();
}

void TCustomComPort::SetFlowControl(const TComFlowControl& value) {
    flowControl_.Assign(value);
    ApplyLineSettings();
}

void TCustomComPort::SetPlatform(IComPlatform* platform) {
    if (connected_.load()) {
        throw EComPort(CError_ConnChangeProp);
    }
    platform_ = platform != nullptr ? platform : &SystemComPlatform();
}

void TCustomComPort::AfterLoad() {
    loading_ = false;
    if (!loadedConnected_) {
        return;
    }
    loadedConnected_ = false;
    RunReported([this] { OpenPort(); }, "unknown failure while opening the port");
}

} // namespace orbel
