// What orbel-gateway's main needs of the system besides sockets and ports.
#pragma once

namespace orbel::gateway {

// Windows: the program's lines and the port's diagnostics reach a console as
// wide text (Russian whole in any code page); elsewhere nothing to do.
void UseConsoleText();

// Takes SIGINT, SIGTERM and SIGHUP away from every thread started after this
// call, so that the waits below alone receive them.
void HoldStopSignals();
// Waits for SIGINT or SIGTERM.
void WaitForStopSignal();
// Waits for SIGINT, SIGTERM or SIGHUP: true for a stop, false for SIGHUP
// (reopen the port, the daemon's reload; Windows has none).
bool WaitForStopOrReload();

} // namespace orbel::gateway
