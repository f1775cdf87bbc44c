#include "app/gateway/GatewaySystem.h"
#include "base/CleanUp.h"
#include "base/ConsoleStreamsWin32.h"
#include "serial/platform/PortDiagnosticSink.h"

#include <windows.h>

namespace orbel::gateway {

namespace {

HANDLE StopEvent() {
    static const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return event;
}

// Runs on a thread the system starts for the event. Closing the console (or
// the system's shutdown) ends the process once this returns: it returns when
// main has stopped serving and closed the port.
BOOL WINAPI OnConsoleEvent(DWORD type) {
    switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        SetEvent(StopEvent());
        return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        SetEvent(StopEvent());
        WaitForCleanUp(CloseEventCleanUpMs);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

void UseConsoleText() {
    if (TConsoleLineWriter lines = UseConsoleStreams()) {
        SetPortDiagnosticSink(lines);
    }
}

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
