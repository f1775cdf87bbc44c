#include "app/cli/Console.h"

#include "base/WideText.h"

#include <windows.h>

#include <algorithm>
#include <atomic>

namespace cli {

namespace {

std::atomic<bool> stopRequested{false};
HANDLE stopEvent = nullptr; // manual reset: set once, stays set

// Runs on a thread of its own that the system starts for the console event.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
        stopRequested.store(true);
        if (stopEvent != nullptr) {
            ::SetEvent(stopEvent);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

bool StdinIsTerminal() {
    const HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    return in != nullptr && in != INVALID_HANDLE_VALUE && ::GetFileType(in) == FILE_TYPE_CHAR &&
           ::GetConsoleMode(in, &mode) != 0;
}

void UseUtf8Console() {
    // Each fails harmlessly when the program has no console (output into a
    // file or a pipe, where the bytes go as they are).
    ::SetConsoleOutputCP(CP_UTF8);
    ::SetConsoleCP(CP_UTF8);
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

bool WaitUntilStopped(std::chrono::steady_clock::time_point deadline) {
    using namespace std::chrono;
    for (;;) {
        if (stopRequested.load()) {
            return true;
        }
        const auto left = ceil<milliseconds>(deadline - steady_clock::now()).count();
        if (left <= 0) {
            return false;
        }
        const auto wait = static_cast<DWORD>(std::min<long long>(left, 1 << 30));
        if (stopEvent != nullptr) {
            ::WaitForSingleObject(stopEvent, wait);
        } else {
            ::Sleep(wait);
        }
    }
}

} // namespace cli
