// Writing the two-line settings file "user.ini"; its reading is shared with
// the terminal front end.
#pragma once

#include "protocol/UserIniLines.h"

#include <string>

namespace orbel {

// The file's content: both lines ended by CR LF.
std::string UserIniContent(const std::string& port, bool softwareMode);

// Saves the file through WriteFileAtomically: a new file renamed over the old
// one, or, where the folder takes no new file, the old regular file rewritten
// in place (never through a link). Throws EFileWrite (a std::runtime_error
// naming the path and the reason) when the file cannot be written.
void WriteUserIni(const std::string& path, const std::string& content);

} // namespace orbel
