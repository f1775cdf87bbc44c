// What orbel-gateway's main needs of the system besides sockets and ports.
#pragma once

namespace orbel::gateway {

// Takes SIGINT and SIGTERM away from every thread started after this call,
// so that WaitForStopSignal alone receives them.
void HoldStopSignals();
// Waits for SIGINT or SIGTERM.
void WaitForStopSignal();

} // namespace orbel::gateway
