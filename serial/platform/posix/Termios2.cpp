#include "serial/platform/posix/Termios2.h"

#include <asm/termbits.h>
#include <cerrno>
#include <sys/ioctl.h>

namespace orbel {

static_assert(sizeof(TKernelTermios::cc) == NCCS, "the kernel record has 19 control characters");

void UseOtherSpeed(TKernelTermios& record, std::uint32_t speed) {
    record.cflag = (record.cflag & ~(CBAUD | (CBAUD << IBSHIFT))) | BOTHER | (BOTHER << IBSHIFT);
    record.ispeed = speed;
    record.ospeed = speed;
}

int SetKernelTermios(int fd, const TKernelTermios& record) {
    termios2 tio{};
    tio.c_iflag = record.iflag;
    tio.c_oflag = record.oflag;
    tio.c_cflag = record.cflag;
    tio.c_lflag = record.lflag;
    tio.c_line = record.line;
    for (int i = 0; i < NCCS; ++i) {
        tio.c_cc[i] = record.cc[static_cast<std::size_t>(i)];
    }
    tio.c_ispeed = record.ispeed;
    tio.c_ospeed = record.ospeed;
    return ioctl(fd, TCSETS2, &tio) == 0 ? 0 : errno;
}

int GetKernelTermios(int fd, TKernelTermios& record) {
    termios2 tio{};
    if (ioctl(fd, TCGETS2, &tio) != 0) {
        return errno;
    }
    record.iflag = tio.c_iflag;
    record.oflag = tio.c_oflag;
    record.cflag = tio.c_cflag;
    record.lflag = tio.c_lflag;
    record.line = tio.c_line;
    for (int i = 0; i < NCCS; ++i) {
        record.cc[static_cast<std::size_t>(i)] = tio.c_cc[i];
    }
    record.ispeed = tio.c_ispeed;
    record.ospeed = tio.c_ospeed;
    return 0;
}

} // namespace orbel
