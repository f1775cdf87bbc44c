#include "ui/UserIni.h"

#include "base/AtomicFile.h"

#include <filesystem>
#include <stdexcept>

namespace orbel {

std::string UserIniContent(const std::string& port, bool softwareMode) {
    return port + "\r\n" + (softwareMode ? "1" : "0") + "\r\n";
}

void WriteUserIni(const std::string& path, const std::string& content) {
    WriteFileAtomically(path, content);
}

} // namespace orbel
