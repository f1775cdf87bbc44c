// The POSIX platform's diagnostic lines for the technician (which device a
// port name stands for, why an open failed, what the driver refused), handed
// to the platforms' one sink.
#pragma once

#include "serial/platform/PortDiagnosticSink.h"

#include <string>

namespace orbel {

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

} // namespace orbel
