#include "LineControl.h"

#include "serial/platform/posix/Termios2.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

using namespace orbel;

namespace orbel::guest {

LineControl::LineControl(const std::string& device) {
    fd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        throw std::runtime_error("cannot open " + device + ": " + std::strerror(errno));
    }
}

LineControl::~LineControl() {
    ::close(fd_);
}

bool LineControl::Set(int bits, bool on) {
    return ::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits) == 0;
}

int LineControl::Lines() const {
    int lines = 0;
    return ::ioctl(fd_, TIOCMGET, &lines) == 0 ? lines : -1;
}

bool LineControl::Counters(DriverCounters& c) const {
    serial_icounter_struct icount{};
    if (::ioctl(fd_, TIOCGICOUNT, &icount) != 0) {
        return false;
    }
    c = {icount.cts,   icount.dsr,     icount.rng,    icount.dcd, icount.rx,         icount.tx,
         icount.frame, icount.overrun, icount.parity, icount.brk, icount.buf_overrun};
    return true;
}

HeldLine LineControl::Held() const {
    TKernelTermios record;
    if (GetKernelTermios(fd_, record) != 0) {
        return {};
    }
    return {record.cflag, record.ospeed};
}

int LineControl::BaseSpeed() const {
    serial_struct serial{};
    return ::ioctl(fd_, TIOCGSERIAL, &serial) == 0 ? serial.baud_base : 0;
}

bool LineControl::SetBaseSpeed(int speed) {
    serial_struct serial{};
    if (::ioctl(fd_, TIOCGSERIAL, &serial) != 0) {
        return false;
    }
    serial.baud_base = speed;
    return ::ioctl(fd_, TIOCSSERIAL, &serial) == 0;
}

bool ParityIsMark(std::uint32_t cflag) {
    const std::uint32_t mark = PARENB | CMSPAR | PARODD;
    return (cflag & mark) == mark;
}

} // namespace orbel::guest
