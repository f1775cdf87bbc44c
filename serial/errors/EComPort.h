// The one exception of the serial port component.
#pragma once

#include "serial/platform/ComPlatform.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace orbel {

// Component error codes (index into the message table).
enum TComPortErrorCode : std::int32_t {
    CError_OpenFailed = 1,
    CError_WriteFailed = 2,
    CError_ReadFailed = 3,
    CError_InvalidAsync = 4,
    CError_PurgeFailed = 5,
    CError_AsyncCheck = 6,
    CError_SetStateFailed = 7,
    CError_TimeoutsFailed = 8,
    CError_SetupComFailed = 9,
    CError_ClearComFailed = 10,
    CError_ModemStatFailed = 11,
    CError_EscapeComFailed = 12,
    CError_TransmitFailed = 13,
    CError_ConnChangeProp = 14,
    CError_EnumPortsFailed = 15,
    CError_StoreFailed = 16,
    CError_LoadFailed = 17,
    CError_RegFailed = 18,
    CError_LedStateFailed = 19,
    CError_ThreadCreated = 20,
    CError_WaitFailed = 21,
    CError_HasLink = 22,
    CError_RegError = 23,
};

class EComPort : public std::runtime_error {
public:
    // A failure of a platform call: the message gets the translated suffix
    // with the platform's system code (errno on POSIX, the last error on
    // Windows).
    EComPort(std::int32_t portCode, const ComResult& failure);
    // A failure that involved no system call: SystemCode is -1, Fault Other.
    explicit EComPort(std::int32_t portCode);

    std::int32_t SystemCode() const noexcept { return systemCode_; }
    std::int32_t PortCode() const noexcept { return portCode_; }
    // What went wrong, in terms every platform gives.
    ComFault Fault() const noexcept { return fault_; }
    std::string Message() const { return what(); }

private:
    std::int32_t systemCode_;
    std::int32_t portCode_;
    ComFault fault_;
};

} // namespace orbel
