#include "base/ConsoleStreamsWin32.h"

#include "base/CatchAll.h"
#include "base/ConsoleText.h"
#include "base/WideText.h"

#include <algorithm>
#include <array>
#include <iostream>
#include <mutex>
#include <streambuf>
#include <string>

namespace orbel {

namespace {

// Writes through at once, whole characters only: a character cut by the
// stream's own buffering waits for its last bytes. The port's diagnostics
// may come from another thread: one write at a time.
class TConsoleOutBuf : public std::streambuf {
public:
    explicit TConsoleOutBuf(HANDLE console) : console_(console) {}

protected:
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        std::lock_guard lock(mutex_);
        pending_.append(text, static_cast<std::size_t>(count));
        const std::size_t whole = WholeUtf8Length(pending_);
        const int failure = WriteConsoleUtf8(console_, std::string_view(pending_).substr(0, whole));
        pending_.erase(0, whole);
        return failure == 0 ? count : 0;
    }
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) {
            return traits_type::not_eof(c);
        }
        const char byte = traits_type::to_char_type(c);
        return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
    }

private:
    HANDLE console_;
    std::mutex mutex_;
    std::string pending_;
};

// Reads what was typed a line at a time (the console's line editing), in
// UTF-16 turned into UTF-8. Ctrl-Z at the start of a line ends the input,
// as the C runtime takes it.
class TConsoleInBuf : public std::streambuf {
public:
    explicit TConsoleInBuf(HANDLE console) : console_(console) {}

    // Forgets the rest of a line read but not yet taken.
    void Drop() {
        setg(nullptr, nullptr, nullptr);
        line_.clear();
    }

protected:
    int_type underflow() override {
        if (gptr() < egptr()) {
            return traits_type::to_int_type(*gptr());
        }
        std::array<wchar_t, 512> typed{};
        DWORD count = 0;
        if (::ReadConsoleW(console_, typed.data(), static_cast<DWORD>(typed.size()), &count,
                           nullptr) == 0 ||
            count == 0 || typed[0] == L'\x1A') {
            return traits_type::eof();
        }
        line_ = Utf8FromWide(std::wstring_view(typed.data(), count));
        setg(line_.data(), line_.data(), line_.data() + line_.size());
        return traits_type::to_int_type(*gptr());
    }

private:
    HANDLE console_;
    std::string line_;
};

TConsoleInBuf* consoleIn = nullptr; // std::cin's while it reads the console

} // namespace

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           ::GetFileType(handle) == FILE_TYPE_CHAR && ::GetConsoleMode(handle, &mode) != 0;
}

int WriteConsoleUtf8(HANDLE console, std::string_view text) {
    const std::wstring wide = WideFromUtf8(text);
    std::size_t done = 0;
    while (done < wide.size()) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 8192));
        DWORD written = 0;
        if (::WriteConsoleW(console, wide.data() + done, chunk, &written, nullptr) == 0 ||
            written == 0) {
            const DWORD code = ::GetLastError();
            return code != 0 ? static_cast<int>(code) : ERROR_WRITE_FAULT;
        }
        done += written;
    }
    return 0;
}

TConsoleLineWriter UseConsoleStreams() {
    // Never freed: the streams are flushed after every static object of the
    // program has gone.
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (IsConsole(out)) {
        std::cout.flush();
        std::cout.rdbuf(new TConsoleOutBuf(out));
    }
    TConsoleLineWriter lines;
    const HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
    if (IsConsole(err)) {
        auto* buffer = new TConsoleOutBuf(err);
        std::cerr.rdbuf(buffer);
        // For the port's diagnostic lines (a Russian system's reason among them).
        lines = [buffer](const std::string& line) {
            buffer->sputn(line.data(), static_cast<std::streamsize>(line.size()));
        };
        // And what the port's threads and destructors report (a Russian
        // reason once the device has gone): the C runtime's standard error
        // would show it in the console's code page.
        SetExceptionReport([buffer](const std::exception& error) {
            const std::string line = std::string(error.what()) + "\n";
            buffer->sputn(line.data(), static_cast<std::streamsize>(line.size()));
        });
    }
    const HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
    if (IsConsole(in)) {
        consoleIn = new TConsoleInBuf(in);
        std::cin.rdbuf(consoleIn);
    }
    return lines;
}

void DropConsoleInput() {
    if (consoleIn != nullptr) {
        consoleIn->Drop();
    }
}

} // namespace orbel
