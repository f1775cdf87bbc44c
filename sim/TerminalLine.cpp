#include "sim/TerminalLine.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace orbel::sim {

TerminalLine::~TerminalLine() {
    Close();
}

void TerminalLine::Open(const std::string& device) {
    Close();
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        throw LineError(errno, std::generic_category(), device);
    }
    if (::isatty(fd) == 0) {
        const int error = errno;
        ::close(fd);
        throw LineError(error, std::generic_category(), device);
    }
    try {
        MakeRaw(fd, device);
    } catch (const std::system_error& e) {
        ::close(fd);
        throw LineError(e.code(), e.what());
    }
    fd_ = fd;
    path_ = device;
}

void TerminalLine::Close() noexcept {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

} // namespace orbel::sim
