// The device control record and the system's DCB, field for field: the
// record's flag word holds the DCB's bit fields in the DCB's own order.
#pragma once

#include "serial/platform/ComPlatform.h"

#include <windows.h>

namespace orbel {

// `base` is the record the driver holds (GetCommState): what the control
// record does not model (the reserved words) stays as the driver put it.
DCB ToDcb(const TComDeviceControl& control, DCB base = {}) noexcept;
TComDeviceControl FromDcb(const DCB& dcb) noexcept;

COMMTIMEOUTS ToCommTimeouts(const TComTimeoutRecord& timeouts) noexcept;

} // namespace orbel
