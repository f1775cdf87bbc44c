#include "base/StandardStreams.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace orbel {

void OpenClosedStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
            continue;
        }
        // open() takes the lowest free descriptor: this one, since those
        // below it are open by now.
        const int opened = ::open("/dev/null", O_RDWR);
        if (opened >= 0 && opened != fd) {
            ::close(opened); // cannot happen while the ones below are open
        }
    }
}

} // namespace orbel
