#include "serial/platform/posix/PosixComPlatform.h"

#include "serial/platform/ErrnoResult.h"
#include "serial/platform/posix/DeviceNames.h"
#include "serial/platform/posix/PortDiagnostics.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace orbel {

namespace {

// Drivers without a feature answer ENOTTY (or EINVAL on some USB adapters).
bool NotSupported(int error) {
    return error == ENOTTY || error == EINVAL;
}

} // namespace

ComResult PosixResult(int error, bool opening) {
    return error == PosixIoPending ? ComResult::StillPending() : ErrnoResult(error, opening);
}

IComPlatform& SystemComPlatform() {
    // Never destroyed: a component may still close its port during exit.
    static auto* platform = new TPosixComPlatform;
    return *platform;
}

std::string TPosixComPlatform::SystemErrorText(std::int32_t systemCode) const {
    char buffer[256] = {};
    // The GNU strerror_r gives the text, in the buffer or a static string.
    return ::strerror_r(systemCode, buffer, sizeof buffer);
}

ComResult TPosixComPlatform::FaultResult(ComFault fault) const {
    return {fault, fault == ComFault::Cancelled ? ECANCELED : EINVAL};
}

std::shared_ptr<TPosixDevice> TPosixComPlatform::Find(ComHandle handle) {
    return devices_.Find(handle);
}

ComResult TPosixComPlatform::Open(const std::string& name, ComHandle& handle) {
    handle = InvalidComHandle;
    // The name is resolved once, and the technician reads on standard error
    // which device it stood for and, when the open fails, why.
    const std::string port = PortLabel(name);
    const std::string path = ResolveDeviceName(name);
    if (!path.empty()) {
        PortDiagnostic(ResolvedLine(port, path));
    }
    const int error = path.empty() ? ENOENT : OpenPath(path, port, handle);
    if (error != 0) {
        PortDiagnostic(OpenFailureLine(port, path, error));
    }
    return PosixResult(error, true);
}

int TPosixComPlatform::OpenPath(const std::string& path, const std::string& port,
                                ComHandle& handle) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    // /dev/null, a file or a pipe opens too, but is no serial device.
    if (!isatty(fd)) {
        close(fd);
        return ENOTTY;
    }
    // flock holds against every other open, root's included; TIOCEXCL keeps
    // other programs from even opening the terminal.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno == EWOULDBLOCK ? EBUSY : errno;
        close(fd);
        return error;
    }
    ioctl(fd, TIOCEXCL);
    RequestLowLatency(fd);
    std::shared_ptr<TPosixDevice> device;
    try {
        device = std::make_shared<TPosixDevice>(fd, path, port);
    } catch (...) {
        ioctl(fd, TIOCNXCL);
        close(fd); // also releases the flock
        throw;
    }
    if (TErrorCounters counters; ReadErrorCounters(fd, counters)) {
        device->ExchangeErrorCounters(counters);
    }
    // From here the device owns the descriptor: should the map fail to take
    // it, the device closes it on its way out.
    handle = devices_.Add(std::move(device));
    return 0;
}

ComResult TPosixComPlatform::Close(ComHandle handle) {
    const auto device = devices_.Take(handle);
    if (!device) {
        return PosixResult(EBADF);
    }
    device->Close();
    return ComResult::Success();
}

ComResult TPosixComPlatform::SetQueueSizes(ComHandle handle, std::uint32_t, std::uint32_t) {
    // The terminal layer's queues have fixed sizes: the sizes are accepted as advice.
    return PosixResult(Find(handle) ? 0 : EBADF);
}

ComResult TPosixComPlatform::SetDeviceControl(ComHandle handle, const TComDeviceControl& control) {
    return UseDevice(handle, [&](TPosixDevice& device) {
        return ConfigureTerminal(device.Fd(), device.Path(), control);
    });
}

ComResult TPosixComPlatform::SetTimeouts(ComHandle handle, const TComTimeoutRecord& timeouts) {
    const auto device = Find(handle);
    if (!device) {
        return PosixResult(EBADF);
    }
    device->SetTimeouts(timeouts);
    return ComResult::Success();
}

ComResult TPosixComPlatform::Purge(ComHandle handle, std::uint32_t flags) {
    return UseDevice(handle, [&](TPosixDevice& device) {
        if ((flags & (PurgeFlag::TxAbort | PurgeFlag::RxAbort)) != 0) {
            device.Abort();
        }
        const bool input = (flags & PurgeFlag::RxClear) != 0;
        const bool output = (flags & PurgeFlag::TxClear) != 0;
        if (input || output) {
            const int queue = input && output ? TCIOFLUSH : input ? TCIFLUSH : TCOFLUSH;
            if (tcflush(device.Fd(), queue) != 0) {
                return errno;
            }
        }
        return 0;
    });
}

ComResult TPosixComPlatform::ClearErrors(ComHandle handle, std::uint32_t& errors,
                                         TComStat& status) {
    errors = 0;
    status = {};
    return UseDevice(handle, [&](TPosixDevice& device) {
        const int fd = device.Fd();
        int inQueue = 0;
        if (ioctl(fd, TIOCINQ, &inQueue) != 0) {
            return errno;
        }
        int outQueue = 0;
        if (ioctl(fd, TIOCOUTQ, &outQueue) != 0 && !NotSupported(errno)) {
            return errno;
        }
        status.InQueue = static_cast<std::uint32_t>(inQueue);
        status.OutQueue = static_cast<std::uint32_t>(outQueue);
        if (TErrorCounters now; ReadErrorCounters(fd, now)) {
            errors = LineErrors(device.ExchangeErrorCounters(now), now);
        }
        return 0;
    });
}

ComResult TPosixComPlatform::GetModemStatus(ComHandle handle, std::uint32_t& status) {
    status = 0;
    return UseDevice(handle, [&](TPosixDevice& device) {
        int lines = 0;
        if (ioctl(device.Fd(), TIOCMGET, &lines) != 0) {
            // A driver without modem lines (every pseudo-terminal) answers ENOTTY:
            // none is on. Anything else is a real failure.
            return errno == ENOTTY ? 0 : errno;
        }
        status = ModemStatusOfLines(lines);
        return 0;
    });
}

} // namespace orbel
