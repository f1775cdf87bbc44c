// Device names: "\\.\COMn" (or plain "COMn") stands for the device named by the
// environment variable ORBEL_COMn when it is set and not empty, else for
// /dev/ttyS(n-1); an absolute path stands as it is, also behind "\\.\"; any
// other bare device name ("ttyUSB0") stands for /dev/<name>. A relative path
// (or no name at all) stands for no device, whether it is the port name or
// the value of ORBEL_COMn.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace orbel {

using EnvironmentLookup = std::function<std::optional<std::string>(const std::string&)>;

// Replaces how variables are looked up (tests give a map instead of touching
// the process environment); an empty function restores getenv. Thread-safe.
void SetEnvironmentLookup(EnvironmentLookup lookup);

// The variable through the lookup in force.
std::optional<std::string> LookUpEnvironment(const std::string& variable);

// The path to open for a device name; empty when it stands for no device.
std::string ResolveDeviceName(const std::string& name);

// The name as the technician chose it: without the prefix "\\.\".
std::string PortLabel(const std::string& name);

} // namespace orbel
