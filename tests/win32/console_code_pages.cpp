// Runs a command in this console and says the console's code pages before
// and after it, and the command's exit code:
//
//   console_code_pages.exe orbel-cli.exe --port COM1 readings --count 0
//   code pages: input 866, output 866
//   starting the command
//   exit code: 0
//   code pages: input 866, output 866
//
// Ctrl-C in the console ends the command (whose handler takes it), not this
// program, which goes on to read the code pages the command left.
#include <windows.h>

#include <cstdio>

namespace {

BOOL WINAPI KeepRunning(DWORD /*event*/) {
    return TRUE;
}

void SayCodePages() {
    std::printf("code pages: input %u, output %u\n", ::GetConsoleCP(), ::GetConsoleOutputCP());
    std::fflush(stdout);
}

// The command line after this program's own name.
wchar_t* CommandAfterOwnName() {
    wchar_t* line = ::GetCommandLineW();
    const bool quoted = *line == L'"';
    line += quoted ? 1 : 0;
    while (*line != L'\0' && *line != (quoted ? L'"' : L' ')) {
        ++line;
    }
    line += *line == L'"' ? 1 : 0;
    while (*line == L' ' || *line == L'\t') {
        ++line;
    }
    return line;
}

} // namespace

int main() {
    ::SetConsoleCtrlHandler(KeepRunning, TRUE);
    SayCodePages();
    // Keys typed once this line shows are echoed after the first, which stays whole.
    std::printf("starting the command\n");
    std::fflush(stdout);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (::CreateProcessW(nullptr, CommandAfterOwnName(), nullptr, nullptr, TRUE, 0, nullptr,
                         nullptr, &startup, &process) == 0) {
        std::printf("cannot start the command: error %lu\n", ::GetLastError());
        return 1;
    }
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    std::printf("exit code: %lu\n", code);
    SayCodePages();
    return 0;
}
