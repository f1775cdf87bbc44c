// The device control record and the system's DCB, field for field: the
// record's flag word holds the DCB's bit fields in the DCB's own order.
#pragma once

#include "serial/platform/ComPlatform.h"

#include <windows.h>

namespace orbel {

DCB ToDcb(const TComDeviceControl& control) noexcept;
TComDeviceControl FromDcb(const DCB& dcb) noexcept;

COMMTIMEOUTS ToCommTimeouts(const TComTimeoutRecord& timeouts) noexcept;

} // namespace orbel
