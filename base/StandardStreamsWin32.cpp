#include "base/StandardStreams.h"

namespace orbel {

// A port is a handle of its own on Windows: a missing standard handle is never
// taken by a file the program opens, so there is nothing to fill.
void OpenClosedStandardStreams() {}

} // namespace orbel
