// Where the platforms' port diagnostics go: one line per event for the
// technician (which device a port name stands for, why an open failed, what
// the driver refused, that a device was lost). Standard error unless the
// program says otherwise: the window on Windows, which has no standard error,
// writes them to its log; tests capture them.
#pragma once

#include <functional>
#include <string>

namespace orbel {

// Receives one line with its trailing line feed.
using PortDiagnosticSink = std::function<void(const std::string& line)>;

// Replaces where the lines go; an empty function restores standard error.
// Thread-safe; the sink is called under a lock, one line at a time.
void SetPortDiagnosticSink(PortDiagnosticSink sink);

// Hands one line to the sink (a trailing line feed is added when missing).
void PortDiagnostic(const std::string& line);

} // namespace orbel
