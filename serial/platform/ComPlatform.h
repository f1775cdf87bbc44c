// The stand-in for the operating system's serial device calls. The component
// talks to a device only through this interface; the POSIX implementation
// drives real terminals, the Win32 one COM ports, and the recording fake
// serves the unit tests.
//
// Every call returns a ComResult: success, or a portable kind of failure with
// the system's own code beside it. Records and constants mirror the device
// control record, the time-out record and the flag values the component works
// with.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace orbel {

// The system's device namespace: the component puts it in front of the port
// name it opens ("\\.\COM1"); a platform takes a name with or without it.
inline constexpr std::string_view DeviceNamePrefix = "\\\\.\\";

// An open device. Handles are never reused within a process, so a stale
// handle held by another thread fails cleanly instead of reaching a new device.
using ComHandle = std::intptr_t;
inline constexpr ComHandle InvalidComHandle = -1;

// What went wrong in a platform call, in terms every platform can give. The
// system's own code travels beside it for messages and diagnostics.
enum class ComFault : std::uint8_t {
    None,       // success
    Pending,    // a started request is still running (StartRead/StartWrite/StartEventWait)
    Cancelled,  // ended by an abort, a purge with abort bits, or the device's close
    DeviceLost, // the device went away (hang-up, unplug, EIO/ENXIO/ENODEV, ERROR_DEVICE_REMOVED...)
    Busy,       // another program holds it (EBUSY/EWOULDBLOCK on lock; ERROR_ACCESS_DENIED at a COM
                // port's open)
    NoDevice,   // no such device (ENOENT/ENODEV at open, ERROR_FILE_NOT_FOUND)
    AccessDenied,    // EACCES/EPERM
    InvalidArgument, // EINVAL / ERROR_INVALID_PARAMETER, a refused setting
    Other,
};

struct ComResult {
    ComFault Fault = ComFault::None;
    std::int32_t SystemCode = 0; // errno on POSIX, GetLastError() on Windows; 0 on success

    constexpr bool Ok() const noexcept { return Fault == ComFault::None; }
    constexpr bool IsPending() const noexcept { return Fault == ComFault::Pending; }
    static constexpr ComResult Success() noexcept { return {}; }
    static constexpr ComResult StillPending() noexcept { return {ComFault::Pending, 0}; }
    bool operator==(const ComResult&) const = default;
};

// Device control record.
struct TComDeviceControl {
    std::uint32_t BaudRate = 0;
    std::uint32_t Flags = 0;
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    std::uint8_t ByteSize = 0;
    std::uint8_t Parity = 0;   // 0 none, 1 odd, 2 even, 3 mark, 4 space
    std::uint8_t StopBits = 0; // 0 one, 1 one and a half, 2 two
    std::uint8_t XonChar = 0;
    std::uint8_t XoffChar = 0;
    std::uint8_t ErrorChar = 0;
    std::uint8_t EofChar = 0;
    std::uint8_t EvtChar = 0;

    bool operator==(const TComDeviceControl&) const = default;
};

// Bits of TComDeviceControl::Flags.
namespace DcbFlag {
inline constexpr std::uint32_t Binary = 0x0001;
inline constexpr std::uint32_t Parity = 0x0002;
inline constexpr std::uint32_t OutxCtsFlow = 0x0004;
inline constexpr std::uint32_t OutxDsrFlow = 0x0008;
inline constexpr std::uint32_t DtrControlShift = 4; // two bits: 0 off, 1 on, 2 handshake
inline constexpr std::uint32_t DtrControlMask = 0x0030;
inline constexpr std::uint32_t DsrSensitivity = 0x0040;
inline constexpr std::uint32_t TxContinueOnXoff = 0x0080;
inline constexpr std::uint32_t OutX = 0x0100;
inline constexpr std::uint32_t InX = 0x0200;
inline constexpr std::uint32_t ErrorChar = 0x0400;
inline constexpr std::uint32_t Null = 0x0800;
inline constexpr std::uint32_t RtsControlShift = 12; // two bits: 0 off, 1 on, 2 handshake, 3 toggle
inline constexpr std::uint32_t RtsControlMask = 0x3000;
inline constexpr std::uint32_t AbortOnError = 0x4000;
} // namespace DcbFlag

// Time-out record; every value is an unsigned 32-bit number of milliseconds.
struct TComTimeoutRecord {
    std::uint32_t ReadIntervalTimeout = 0;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 0;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 0;

    bool operator==(const TComTimeoutRecord&) const = default;
};

// Queue and error status.
struct TComStat {
    std::uint32_t InQueue = 0;
    std::uint32_t OutQueue = 0;
};

namespace PurgeFlag {
inline constexpr std::uint32_t TxAbort = 0x0001;
inline constexpr std::uint32_t RxAbort = 0x0002;
inline constexpr std::uint32_t TxClear = 0x0004;
inline constexpr std::uint32_t RxClear = 0x0008;
} // namespace PurgeFlag

namespace ModemStatus {
inline constexpr std::uint32_t CtsOn = 0x0010;
inline constexpr std::uint32_t DsrOn = 0x0020;
inline constexpr std::uint32_t RingOn = 0x0040;
inline constexpr std::uint32_t RlsdOn = 0x0080;
} // namespace ModemStatus

namespace LineError {
inline constexpr std::uint32_t RxOver = 0x0001;
inline constexpr std::uint32_t Overrun = 0x0002;
inline constexpr std::uint32_t RxParity = 0x0004;
inline constexpr std::uint32_t Frame = 0x0008;
inline constexpr std::uint32_t Break = 0x0010;
inline constexpr std::uint32_t TxFull = 0x0100;
inline constexpr std::uint32_t IOE = 0x0400;
inline constexpr std::uint32_t Mode = 0x8000;
} // namespace LineError

namespace EventMask {
inline constexpr std::uint32_t RxChar = 0x0001;
inline constexpr std::uint32_t RxFlag = 0x0002;
inline constexpr std::uint32_t TxEmpty = 0x0004;
inline constexpr std::uint32_t Cts = 0x0008;
inline constexpr std::uint32_t Dsr = 0x0010;
inline constexpr std::uint32_t Rlsd = 0x0020;
inline constexpr std::uint32_t Break = 0x0040;
inline constexpr std::uint32_t Err = 0x0080;
inline constexpr std::uint32_t Ring = 0x0100;
inline constexpr std::uint32_t Rx80Full = 0x0400;
} // namespace EventMask

// One request in flight (a read, a write or an event wait). The platform that
// starts it keeps its own state here; the caller only holds the record from
// start to release.
struct TComRequest {
    std::shared_ptr<void> state;
};

class IComPlatform {
public:
    virtual ~IComPlatform() = default;

    // Opens the device by name for exclusive use.
    virtual ComResult Open(const std::string& name, ComHandle& handle) = 0;
    // Wakes the requests still running on the handle, waits until they have
    // left, then closes the device.
    virtual ComResult Close(ComHandle handle) = 0;

    virtual ComResult SetQueueSizes(ComHandle handle, std::uint32_t input,
                                    std::uint32_t output) = 0;
    virtual ComResult SetDeviceControl(ComHandle handle, const TComDeviceControl& control) = 0;
    virtual ComResult SetTimeouts(ComHandle handle, const TComTimeoutRecord& timeouts) = 0;

    // Transfers: start, then await; the time-outs in force bound both. A start
    // that completes at once succeeds with the count in `done`; otherwise it
    // returns ComResult::StillPending() or an error. ReleaseRequest is always called last,
    // whatever happened.
    virtual ComResult StartRead(ComHandle handle, void* buffer, std::uint32_t count,
                                TComRequest& request, std::uint32_t& done) = 0;
    virtual ComResult StartWrite(ComHandle handle, const void* buffer, std::uint32_t count,
                                 TComRequest& request, std::uint32_t& done) = 0;
    virtual ComResult AwaitRequest(ComHandle handle, TComRequest& request,
                                   std::uint32_t& transferred) = 0;
    virtual void ReleaseRequest(TComRequest& request) noexcept = 0;

    // PurgeFlag bits: the abort bits end every running transfer on the device
    // (it then fails as Cancelled), the clear bits discard the queues.
    virtual ComResult Purge(ComHandle handle, std::uint32_t flags) = 0;
    // Reads and clears the LineError bits, and the queue counts.
    virtual ComResult ClearErrors(ComHandle handle, std::uint32_t& errors, TComStat& status) = 0;
    // ModemStatus bits; a device without modem lines reports none.
    virtual ComResult GetModemStatus(ComHandle handle, std::uint32_t& status) = 0;

    // Line events (EventMask bits). A wait is started, then awaited; changing
    // the mask or cancelling the request ends a running wait with no events,
    // an abort or the device's close ends it as Cancelled.
    virtual ComResult SetEventMask(ComHandle handle, std::uint32_t mask) = 0;
    virtual ComResult StartEventWait(ComHandle handle, TComRequest& request) = 0;
    virtual ComResult AwaitEvent(ComHandle handle, TComRequest& request, std::uint32_t& events) = 0;
    virtual void CancelRequest(TComRequest& request) noexcept = 0;

    virtual std::string SystemErrorText(std::int32_t systemCode) const = 0;
    // The clock the read and write time-outs run on, in microseconds: the
    // system's monotonic clock (a fake line keeps a virtual one).
    virtual std::uint64_t ClockUs() const {
        return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                              std::chrono::steady_clock::now().time_since_epoch())
                                              .count());
    }
    // The system's own code for a failure the component finds before any
    // call (a negative count, a port that is closing): InvalidArgument or
    // Cancelled, as this platform would have reported it.
    virtual ComResult FaultResult(ComFault fault) const = 0;
};

// The platform of this machine (POSIX terminals on Linux, COM ports on
// Windows); lives for the whole process.
IComPlatform& SystemComPlatform();

} // namespace orbel
