// The exchange trace's file as the system gives it: opened for appending and
// written without waiting, so that a pipe nobody reads costs a record instead
// of holding the caller. One implementation per system, chosen by CMake.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orbel {

enum class TTraceIo {
    Done,       // opened, or some bytes written
    Full,       // nothing fits now (a pipe that lags), or no reader yet at open
    ReaderGone, // the pipe's reader has gone
    Failed,     // the file cannot be opened or written; see the reason
};

struct TTraceOpened {
    TTraceIo Io = TTraceIo::Failed;
    int File = -1;
    std::string Reason;
};

struct TTraceWritten {
    TTraceIo Io = TTraceIo::Failed;
    std::size_t Count = 0;
    std::string Reason;
};

// Opens `path` (created when missing) for appending.
TTraceOpened OpenTraceFile(const std::string& path);

// One write of up to `size` bytes (retried when interrupted).
TTraceWritten WriteTraceFile(int file, const char* data, std::size_t size);

void CloseTraceFile(int file);

// The system's text for a system code as the trace writes it after an error:
// "Input/output error, errno 5".
std::string TraceSystemText(std::int32_t systemCode);

} // namespace orbel
