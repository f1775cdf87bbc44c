#include "serial/platform/win32/Win32Diagnostics.h"

#include "base/WideText.h"
#include "serial/platform/win32/Win32Errors.h"

#include <windows.h>

std::string Win32OpenFailureLine(const std::string& port, const std::wstring& path,
                                 std::uint32_t code) {
    std::string line = "serial: cannot open " + port;
    if (!path.empty() && Utf8FromWide(path) != port) {
        line += " (" + Utf8FromWide(path) + ")";
    }
    line += ": " + Win32ErrorText(code);
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
        if (line.back() != '.') {
            line += '.';
        }
        line += " Set ORBEL_COMn to the port the adapter has (set ORBEL_COM1=COM7).";
    }
    return line;
}

std::string Win32ResolvedLine(const std::string& port, const std::wstring& path) {
    return "serial: " + port + " is " + Utf8FromWide(path);
}

std::string Win32LostLine(const std::string& port, std::uint32_t code) {
    return "serial: " + port + " lost: " + Win32ErrorText(code) + " (error " +
           std::to_string(code) + ")";
}
