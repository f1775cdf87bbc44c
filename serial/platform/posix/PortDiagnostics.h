// Port diagnostics for the technician: one line on standard error per event
// (which device a port name stands for, why an open failed, what the driver
// refused). Tests may capture the lines instead.
#pragma once

#include <functional>
#include <string>

using PortDiagnosticSink = std::function<void(const std::string& line)>;

// Replaces where the lines go; an empty function restores standard error.
// Thread-safe.
void SetPortDiagnosticSink(PortDiagnosticSink sink);

// Writes one line (a trailing line feed is added when missing).
void PortDiagnostic(const std::string& line);

// "serial: COM1 is /dev/ttyUSB0".
std::string ResolvedLine(const std::string& port, const std::string& path);

// The failed open with the system's reason and, where it helps, what to do:
// the dialout group for a permission error, the ORBEL_COMn variable for a
// missing device.
std::string OpenFailureLine(const std::string& port, const std::string& path, int systemCode);

// A device that went away while open: "serial: COM1 (/dev/ttyUSB0) lost: ...".
std::string LostLine(const std::string& port, const std::string& path, int systemCode);

// The system code says the device is gone (hung up, unplugged).
bool MeansDeviceLost(int systemCode);
