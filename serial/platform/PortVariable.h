// The environment variable that says which device the port "COMn" stands
// for, on every system: ORBEL_COMn.
#pragma once

#include <string>
#include <string_view>

namespace orbel {

// "ORBEL_COM3" for "COM3".
inline std::string PortVariableOf(std::string_view comName) {
    return "ORBEL_" + std::string(comName);
}

// "ORBEL_COM3" for 3.
inline std::string PortVariable(unsigned n) {
    return PortVariableOf("COM" + std::to_string(n));
}

// The same in UTF-16, for the wide calls of Windows (the name is ASCII).
inline std::wstring PortVariableWide(unsigned n) {
    const std::string name = PortVariable(n);
    return {name.begin(), name.end()};
}

} // namespace orbel
