// Win32 error codes in the platform interface's terms, and their texts.
#pragma once

#include "serial/platform/ComPlatform.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace orbel {

// The kind of failure a system error code stands for.
ComFault Win32FaultOf(std::uint32_t code) noexcept;

// A failed call with its code; 0 stands for success.
ComResult Win32Result(std::uint32_t code) noexcept;

// A failed CreateFile of a COM port: access denied there means that another
// program holds the port, file not found that there is no such port.
ComResult Win32OpenResult(std::uint32_t code) noexcept;

// The last error of the calling thread as a failure.
ComResult Win32LastError() noexcept;

// The system's message for a code in UTF-8, without the trailing line break;
// "system error <code>" where the system has none.
std::string Win32ErrorText(std::uint32_t code);

} // namespace orbel
