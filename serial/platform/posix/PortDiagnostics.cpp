#include "serial/platform/posix/PortDiagnostics.h"

#include "serial/platform/ErrnoResult.h"
#include "serial/platform/posix/DeviceNames.h"

#include <cerrno>
#include <cstring>
#include <regex>

namespace {

// "COM3" or "\\.\COM3" -> "ORBEL_COM3"; empty for anything else.
std::string VariableFor(const std::string& port) {
    static const std::regex comName(R"((?:\\\\\.\\)?(COM[0-9]+))");
    std::smatch match;
    return std::regex_match(port, match, comName) ? "ORBEL_" + match[1].str() : std::string{};
}

} // namespace

std::string ResolvedLine(const std::string& port, const std::string& path) {
    return "serial: " + port + " is " + path;
}

std::string OpenFailureLine(const std::string& port, const std::string& path, int systemCode) {
    std::string line = "serial: cannot open " + port + (path.empty() ? "" : " (" + path + ")") +
                       ": " + std::strerror(systemCode);
    const std::string variable = VariableFor(port);
    switch (systemCode) {
    case EACCES:
    case EPERM:
        line += "; add your user to the dialout group (sudo usermod -aG dialout $USER) and log "
                "in again";
        break;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        if (variable.empty()) {
            break;
        }
        // An empty path: the variable held something that names no device.
        if (const auto value = path.empty() ? LookUpEnvironment(variable) : std::nullopt; value) {
            line += "; " + variable + "=" + *value + " is a relative path, which stands for no " +
                    "device; give the device's absolute path";
        } else {
            line +=
                "; set " + variable + " to the device, for example " + variable + "=/dev/ttyUSB0";
        }
        break;
    case ENOTTY:
        line += "; not a serial device: the name stands for something else";
        break;
    case EBUSY:
    case EWOULDBLOCK:
        line += "; another program holds the device";
        break;
    default:
        break;
    }
    return line;
}

std::string LostLine(const std::string& port, const std::string& path, int systemCode) {
    return "serial: " + port + (path.empty() || path == port ? "" : " (" + path + ")") +
           " lost: " + std::strerror(systemCode) + " (unplugged, or the other end hung up)";
}

bool MeansDeviceLost(int systemCode) {
    return ErrnoResult(systemCode).Fault == ComFault::DeviceLost;
}
