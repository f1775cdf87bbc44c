// Applying the device control record to a terminal, and the driver's extras.
#include "serial/platform/posix/PortDiagnostics.h"
#include "serial/platform/posix/PosixComPlatform.h"
#include "serial/platform/posix/Termios2.h"
#include "serial/platform/posix/TermiosMapping.h"

#include <cerrno>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace orbel {

namespace {

TKernelTermios ToKernel(const termios& tio, std::uint32_t speed, bool standardSpeed) {
    TKernelTermios record;
    record.iflag = tio.c_iflag;
    record.oflag = tio.c_oflag;
    record.cflag = tio.c_cflag;
    record.lflag = tio.c_lflag;
    for (std::size_t i = 0; i < record.cc.size(); ++i) {
        record.cc[i] = tio.c_cc[i];
    }
    record.ispeed = speed;
    record.ospeed = speed;
    if (!standardSpeed) {
        UseOtherSpeed(record, speed);
    }
    return record;
}

// DTR and RTS to the given levels; a driver without modem lines has nothing to set.
int SetOutputLines(int fd, bool dtr, bool rts) {
    const int dtrBit = TIOCM_DTR;
    const int rtsBit = TIOCM_RTS;
    if (ioctl(fd, dtr ? TIOCMBIS : TIOCMBIC, &dtrBit) != 0 && errno != ENOTTY && errno != EINVAL) {
        return errno;
    }
    if (ioctl(fd, rts ? TIOCMBIS : TIOCMBIC, &rtsBit) != 0 && errno != ENOTTY && errno != EINVAL) {
        return errno;
    }
    return 0;
}

void Warn(const std::string& line) {
    PortDiagnostic(line);
}

} // namespace

int ConfigureTerminal(int fd, const std::string& path, const TComDeviceControl& control) {
    const TTermiosPlan plan = MapDeviceControl(control);
    if (plan.error != 0) {
        return plan.error;
    }
    // The record in force, speeds included, to put back if a later step fails.
    TKernelTermios previous;
    if (const int error = GetKernelTermios(fd, previous); error != 0) {
        return error;
    }
    // Straight to the driver: what it changes is read back below and warned
    // about, while tcsetattr would fail a second open on a pseudo-terminal
    // because nothing changed.
    int error = SetKernelTermios(fd, ToKernel(plan.tio, plan.speed, plan.standardSpeed));
    if (error != 0) {
        return error;
    }
    if (error = SetOutputLines(fd, plan.dtrOn, plan.rtsOn); error != 0) {
        SetKernelTermios(fd, previous);
        return error;
    }

    TKernelTermios now;
    if (GetKernelTermios(fd, now) == 0) {
        const TLineState wanted{plan.tio.c_iflag, plan.tio.c_cflag, plan.speed};
        const TLineState got{now.iflag, now.cflag, now.ospeed};
        const std::string warning =
            ConfigurationWarning(path, RefusedSettings(wanted, got), plan.notAvailable);
        if (!warning.empty()) {
            Warn(warning);
        }
    }
    return 0;
}

void RequestLowLatency(int fd) noexcept {
    serial_struct serial{};
    if (ioctl(fd, TIOCGSERIAL, &serial) != 0 || (serial.flags & ASYNC_LOW_LATENCY) != 0) {
        return;
    }
    serial.flags |= ASYNC_LOW_LATENCY;
    ioctl(fd, TIOCSSERIAL, &serial);
}

bool ReadErrorCounters(int fd, TErrorCounters& counters) noexcept {
    serial_icounter_struct icount{};
    if (ioctl(fd, TIOCGICOUNT, &icount) != 0) {
        return false;
    }
    counters = {icount.frame, icount.overrun, icount.parity, icount.brk, icount.buf_overrun};
    return true;
}

} // namespace orbel
