// The port as a window description uses it: every setting of TCustomComPort,
// nothing added.
#pragma once

#include "serial/core/CustomComPort.h"

namespace orbel {

class TComPort : public TCustomComPort {
public:
    using TCustomComPort::TCustomComPort;
};

} // namespace orbel
