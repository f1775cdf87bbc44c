#include "app/cli/Console.h"

#include "base/CleanUp.h"
#include "base/ConsoleStreamsWin32.h"
#include "base/WideText.h"
#include "serial/platform/PortDiagnosticSink.h"

#include <windows.h>

#include <cstdio>
#include <io.h>

#include <algorithm>
#include <atomic>
#include <utility>

namespace orbel::cli {

namespace {

std::atomic<bool> stopRequested{false};
HANDLE stopEvent = nullptr; // manual reset: set once, stays set

// Runs on a thread of its own that the system starts for the console event.
// The console's closing ends the process once this returns: it returns when main has closed the
// port and flushed the trace.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
        stopRequested.store(true);
        if (stopEvent != nullptr) {
            ::SetEvent(stopEvent);
        }
        if (event == CTRL_CLOSE_EVENT) {
            WaitForCleanUp(CloseEventCleanUpMs);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

bool StdinIsTerminal() {
    return IsConsole(::GetStdHandle(STD_INPUT_HANDLE));
}

void UseConsoleText() {
    if (TConsoleLineWriter lines = UseConsoleStreams()) {
        SetPortDiagnosticSink(lines);
    }
}

bool ConsoleSpeaksRussian() {
    return PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_RUSSIAN ||
           ::GetConsoleOutputCP() == 866;
}

void DiscardTypeAhead(int guardMs) {
    const HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
    if (!IsConsole(in)) {
        return;
    }
    DropConsoleInput(); // the rest of a line read for an earlier answer
    // Read and dropped rather than only flushed: a console that takes its
    // keys from a terminal (Wine's) has them as input only once it is read.
    ::FlushConsoleInputBuffer(in);
    const ULONGLONG end = ::GetTickCount64() + static_cast<ULONGLONG>(std::max(guardMs, 0));
    for (ULONGLONG now = ::GetTickCount64(); now < end; now = ::GetTickCount64()) {
        if (::WaitForSingleObject(in, static_cast<DWORD>(end - now)) != WAIT_OBJECT_0) {
            break;
        }
        INPUT_RECORD typed[64];
        DWORD count = 0;
        if (::ReadConsoleInputW(in, typed, 64, &count) == 0) {
            break;
        }
    }
    ::FlushConsoleInputBuffer(in);
}

TRegionalSeparators RegionalSeparators() {
    TRegionalSeparators separators;
    for (const auto& [item, text] : {std::pair{LOCALE_SDECIMAL, &separators.decimal},
                                     std::pair{LOCALE_SLIST, &separators.list}}) {
        wchar_t value[16] = {}; // at most four characters with the terminating zero
        const int length = ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, item, value, 16);
        if (length > 1) {
            *text = Utf8FromWide(std::wstring_view(value, static_cast<std::size_t>(length - 1)));
        }
    }
    return separators;
}

std::string SystemReason(int code) {
    // The wide text, so that the reason is UTF-8 like every other line the
    // program writes, whatever the system's ANSI code page.
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string reason;
    if (length != 0 && text != nullptr) {
        reason = Utf8FromWide(std::wstring_view(text, length));
    }
    ::LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) {
        reason.pop_back();
    }
    return reason.empty() ? "system error " + std::to_string(code) : reason;
}

void WithStopRequestsHeldFromNewThreads(const std::function<void()>& start) {
    // Console events never interrupt the program's own threads.
    start();
}

void CatchStopRequests() {
    if (stopEvent == nullptr) {
        stopEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool StopRequested() {
    return stopRequested.load();
}

TWaitEnd WaitForStop(int ms) {
    // A pipe whose reader has gone shows only at the next write here.
    if (!stopRequested.load()) {
        const auto wait = static_cast<DWORD>(std::max(ms, 0));
        if (stopEvent != nullptr) {
            ::WaitForSingleObject(stopEvent, wait);
        } else {
            ::Sleep(wait);
        }
    }
    return stopRequested.load() ? TWaitEnd::Stop : TWaitEnd::Time;
}

int WriteOutput(std::string_view lines) {
    const HANDLE console = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (IsConsole(console)) {
        return WriteConsoleUtf8(console, lines);
    }
    // The bytes, through the C runtime, which writes a line end as CR LF in
    // text mode, as the program's other output does; its system code tells
    // the reason.
    const int out = _fileno(stdout);
    std::size_t done = 0;
    while (done < lines.size()) {
        const auto chunk =
            static_cast<unsigned>(std::min<std::size_t>(lines.size() - done, 1 << 20));
        _doserrno = 0;
        const int n = _write(out, lines.data() + done, chunk);
        if (n <= 0) {
            return _doserrno != 0 ? static_cast<int>(_doserrno) : ERROR_INVALID_HANDLE;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

bool MeansReaderGone(int code) {
    // Wine reports a pipe without a reader as not connected.
    return code == ERROR_NO_DATA || code == ERROR_BROKEN_PIPE || code == ERROR_PIPE_NOT_CONNECTED;
}

} // namespace orbel::cli
