#include "protocol/TraceFile.h"

#include "base/Text.h"
#include "base/WideText.h"
#include "serial/platform/ComPlatform.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

namespace orbel {

TTraceOpened OpenTraceFile(const std::string& path) {
    const int fd = ::_wopen(WideFromUtf8(path).c_str(),
                            _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd >= 0) {
        return {TTraceIo::Done, fd, {}};
    }
    return {TTraceIo::Failed, -1, std::strerror(errno)};
}

TTraceWritten WriteTraceFile(int file, const char* data, std::size_t size) {
    const unsigned chunk = size > 0x7FFFFFFFu ? 0x7FFFFFFFu : static_cast<unsigned>(size);
    const int n = ::_write(file, data, chunk);
    if (n > 0) {
        return {TTraceIo::Done, static_cast<std::size_t>(n), {}};
    }
    if (n == 0) {
        return {TTraceIo::Failed, 0, "nothing could be written"};
    }
    const TTraceIo io = errno == EAGAIN  ? TTraceIo::Full
                        : errno == EPIPE ? TTraceIo::ReaderGone
                                         : TTraceIo::Failed;
    return {io, 0, std::strerror(errno)};
}

void CloseTraceFile(int file) {
    ::_close(file);
}

std::string TraceSystemText(std::int32_t systemCode) {
    return SystemComPlatform().SystemErrorText(systemCode) + ", error " + DecimalText(systemCode);
}

} // namespace orbel
