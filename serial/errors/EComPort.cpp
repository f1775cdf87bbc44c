#include "serial/errors/EComPort.h"

#include "serial/errors/PortErrorMessages.h"

namespace orbel {

namespace {

std::string MessageFor(std::int32_t portCode) {
    return PortErrorMessages(portCode);
}

} // namespace

EComPort::EComPort(std::int32_t portCode, const ComResult& failure)
    : std::runtime_error(MessageFor(portCode) + PortErrorSuffixFor(failure.SystemCode)),
      systemCode_(failure.SystemCode), portCode_(portCode), fault_(failure.Fault) {}

EComPort::EComPort(std::int32_t portCode)
    : std::runtime_error(MessageFor(portCode)), systemCode_(-1), portCode_(portCode),
      fault_(ComFault::Other) {}

} // namespace orbel
