#include "serial/errors/EComPort.h"

#include "serial/errors/PortErrorMessages.h"

namespace {

std::string MessageFor(std::int32_t portCode) {
    return PortErrorMessages(portCode);
}

} // namespace

EComPort::EComPort(std::int32_t portCode, std::int32_t systemCode)
    : std::runtime_error(MessageFor(portCode) + PortErrorSuffixFor(systemCode)),
      systemCode_(systemCode), portCode_(portCode) {}

EComPort::EComPort(std::int32_t portCode)
    : std::runtime_error(MessageFor(portCode)), systemCode_(-1), portCode_(portCode) {}
