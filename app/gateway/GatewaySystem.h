// What orbel-gateway's main needs of the system besides sockets and ports.
#pragma once

#include <functional>
#include <string>

namespace orbel::gateway {

// Where the serial platform's diagnostic lines go (standard error for an
// empty function). Where the platform writes them itself, nothing changes.
void RoutePortDiagnostics(std::function<void(const std::string&)> sink);

// Opens the null device on whichever of descriptors 0 to 2 is closed, so
// that no port or socket opened later takes their place.
void GuardStandardDescriptors();
// Takes SIGINT and SIGTERM away from every thread started after this call,
// so that WaitForStopSignal alone receives them.
void HoldStopSignals();
// Waits for SIGINT or SIGTERM.
void WaitForStopSignal();

} // namespace orbel::gateway
