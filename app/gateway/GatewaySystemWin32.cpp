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

void RoutePortDiagnostics(std::function<void(const std::string&)>) {
    // The Win32 platform writes its few lines itself.
}

void GuardStandardDescriptors() {
    // A Windows program started without standard handles gets none from
    // them either: the C runtime's descriptors 0 to 2 stay unused.
}

void HoldStopSignals() {
    StopEvent();
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void WaitForStopSignal() {
    WaitForSingleObject(StopEvent(), INFINITE);
}

} // namespace orbel::gateway
