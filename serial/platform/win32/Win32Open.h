// Opening a COM port as drivers need it: a port refused with access denied
// right after its adapter came back is asked again for up to a second (the
// driver may still be finishing the old instance). An open the driver holds
// (a Bluetooth port making its link) is waited for on the caller's thread
// until the driver ends it, with the semaphore time-out such ports end with:
// a thread of its own for every open stalled for seconds under Wine among a
// thousand opens, and left its handle behind for a while.
#pragma once

#include "serial/platform/win32/Win32Calls.h"

#include <string>

namespace orbel {

// How long access denied is retried.
inline constexpr DWORD Win32BusyRetryMs = 1000;

// CreateFileW of `path` for exclusive overlapped use, or
// INVALID_HANDLE_VALUE with the reason in `error`.
HANDLE OpenWin32Port(IWin32Calls& calls, const std::wstring& path, DWORD& error);

} // namespace orbel
