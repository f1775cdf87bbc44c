// Device names on Windows: "\\.\COMn" (or plain "COMn", in any letter case)
// stands for the port named by the environment variable ORBEL_COMn when it is
// set and not empty ("COM7", or a device path such as "\\.\COM7"), else for
// itself. Any other name is opened behind "\\.\" as it stands.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace orbel {

using Win32EnvironmentLookup = std::function<std::optional<std::wstring>(const std::wstring&)>;

// The path to give CreateFileW; empty when the name stands for no device.
std::wstring ResolveWin32DeviceName(const std::string& name, const Win32EnvironmentLookup& lookup);

// The process environment (GetEnvironmentVariableW).
std::optional<std::wstring> Win32Environment(const std::wstring& variable);

} // namespace orbel
