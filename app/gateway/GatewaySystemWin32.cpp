#include "app/gateway/GatewaySystem.h"

#include <windows.h>

namespace orbel::gateway {

namespace {

HANDLE StopEvent() {
    static const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return event;
}

BOOL WINAPI OnConsoleEvent(DWORD type) {
    switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        SetEvent(StopEvent());
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

void HoldStopSignals() {
    StopEvent();
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void WaitForStopSignal() {
    WaitForSingleObject(StopEvent(), INFINITE);
}

bool WaitForStopOrReload() {
    WaitForStopSignal();
    return true;
}

} // namespace orbel::gateway
