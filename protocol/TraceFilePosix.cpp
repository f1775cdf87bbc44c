#include "protocol/TraceFile.h"

#include "base/Text.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace orbel {

TTraceOpened OpenTraceFile(const std::string& path) {
    const int fd = ::open(path.c_str(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd >= 0) {
        return {TTraceIo::Done, fd, {}};
    }
    // ENXIO: a FIFO without a reader, which may come later.
    return {errno == ENXIO ? TTraceIo::Full : TTraceIo::Failed, -1, std::strerror(errno)};
}

TTraceWritten WriteTraceFile(int file, const char* data, std::size_t size) {
    for (;;) {
        const ssize_t n = ::write(file, data, size);
        if (n > 0) {
            return {TTraceIo::Done, static_cast<std::size_t>(n), {}};
        }
        if (n == 0) {
            return {TTraceIo::Failed, 0, "nothing could be written"};
        }
        if (errno == EINTR) {
            continue;
        }
        const TTraceIo io = errno == EAGAIN || errno == EWOULDBLOCK ? TTraceIo::Full
                            : errno == EPIPE                        ? TTraceIo::ReaderGone
                                                                    : TTraceIo::Failed;
        return {io, 0, std::strerror(errno)};
    }
}

void CloseTraceFile(int file) {
    ::close(file);
}

std::string TraceSystemText(std::int32_t systemCode) {
    return std::string(std::strerror(systemCode)) + ", errno " + DecimalText(systemCode);
}

} // namespace orbel
