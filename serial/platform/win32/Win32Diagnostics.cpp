#include "serial/platform/win32/Win32Diagnostics.h"

#include "base/WideText.h"
#include "serial/platform/win32/Win32Errors.h"

#include <iterator>
#include <windows.h>

namespace orbel {

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
    } else if (code == ERROR_ACCESS_DENIED) {
        line += "; another program holds the port";
    } else if (code == ERROR_SEM_TIMEOUT) {
        // Bluetooth serial ports make their link at the open, and fail so
        // when the far device does not answer.
        line += "; the port's device did not answer in time (a Bluetooth port: is the far "
                "device on, in reach and paired?)";
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

std::string Win32RefusedLine(const std::string& port, const DCB& wanted, const DCB& got) {
    static const char* const parities[] = {"no parity", "odd parity", "even parity", "mark parity",
                                           "space parity"};
    static const char* const stopBits[] = {"1 stop bit", "1.5 stop bits", "2 stop bits"};
    std::string refused;
    const auto add = [&](const std::string& what) {
        refused += (refused.empty() ? "" : ", ") + what;
    };
    if (got.BaudRate != wanted.BaudRate) {
        add(std::to_string(wanted.BaudRate) + " baud");
    }
    if (got.ByteSize != wanted.ByteSize) {
        add(std::to_string(wanted.ByteSize) + " data bits");
    }
    if (got.Parity != wanted.Parity && wanted.Parity < std::size(parities)) {
        add(parities[wanted.Parity]);
    }
    if (got.StopBits != wanted.StopBits && wanted.StopBits < std::size(stopBits)) {
        add(stopBits[wanted.StopBits]);
    }
    if (refused.empty()) {
        return {};
    }
    return "serial: " + port + ": the driver did not take " + refused +
           "; the port is used as it is";
}

} // namespace orbel
