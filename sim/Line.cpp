#include "sim/Line.h"

#include <cerrno>
#include <system_error>
#include <termios.h>

namespace orbel::sim {

void MakeRaw(int fd, const std::string& what) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        throw std::system_error(errno, std::generic_category(), "tcgetattr on " + what);
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~static_cast<tcflag_t>(HUPCL);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        throw std::system_error(errno, std::generic_category(), "tcsetattr on " + what);
    }
}

} // namespace orbel::sim
