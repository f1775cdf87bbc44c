// What orbel-gateway's main needs of the system besides sockets and ports.
#pragma once

namespace orbel::gateway {

// Windows: the program's lines and the port's diagnostics reach a console as
// wide text (Russian whole in any code page); elsewhere nothing to do.
void UseConsoleText();

// Takes SIGINT and SIGTERM away from every thread started after this call,
// so that WaitForStopSignal alone receives them.
void HoldStopSignals();
// Waits for SIGINT or SIGTERM.
void WaitForStopSignal();

} // namespace orbel::gateway
