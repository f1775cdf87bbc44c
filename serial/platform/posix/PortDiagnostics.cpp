#include "serial/platform/posix/PortDiagnostics.h"

#include "serial/platform/ErrnoResult.h"
#include "serial/platform/PortVariable.h"
#include "serial/platform/posix/DeviceNames.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <regex>

namespace orbel {

namespace {

// "COM3" or "\\.\COM3" -> "ORBEL_COM3"; empty for anything else.
std::string VariableFor(const std::string& port) {
    static const std::regex comName(R"((?:\\\\\.\\)?(COM[0-9]+))");
    std::smatch match;
    return std::regex_match(port, match, comName) ? PortVariableOf(match[1].str()) : std::string{};
}

// What to do about ORBEL_COMn when the device that COMn led to is not there.
// The path tells whether the variable was set: unset, COMn leads to
// /dev/ttyS(n-1); set to a relative path, to no path at all.
std::string VariableHint(const std::string& variable, const std::string& path) {
    unsigned n = 0; // of ORBEL_COMn
    std::from_chars(variable.data() + 9, variable.data() + variable.size(), n);
    if (n > 0 && path == "/dev/ttyS" + std::to_string(n - 1)) {
        return "; set " + variable + " to the device, for example " + variable + "=/dev/ttyUSB0";
    }
    if (path.empty()) {
        const std::string value = LookUpEnvironment(variable).value_or("");
        return "; " + variable + "=" + value + " is a relative path, which stands for no " +
               "device; give the device's absolute path";
    }
    const std::string name = path.substr(path.rfind('/') + 1);
    if (path == "/dev/" + name && !VariableFor(name).empty()) { // ORBEL_COM1=COM7, as on Windows
        return "; " + variable + "=" + name + " names a Windows port; here " + variable +
               " wants the device's path, for example " + variable + "=/dev/ttyUSB0";
    }
    return "; " + variable + " leads to " + path + ", which is not there; give the path of " +
           "the device, for example " + variable + "=/dev/ttyUSB0";
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
        line += VariableHint(variable, path);
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

} // namespace orbel
