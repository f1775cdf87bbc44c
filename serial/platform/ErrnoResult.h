// The one map from errno values to results: the POSIX platform's, which the
// recording fake uses too for the failures a test tells it to give. The errno
// stays the system code beside the kind of failure.
#pragma once

#include "serial/platform/ComPlatform.h"

#include <cerrno>

namespace orbel {

// A missing device at an open is no device; the same codes later mean it went
// away.
inline ComResult ErrnoResult(int error, bool opening = false) {
    switch (error) {
    case 0:
        return ComResult::Success();
    case ECANCELED:
        return {ComFault::Cancelled, error};
    case ENOENT:
        return {ComFault::NoDevice, error};
    case ENODEV:
    case ENXIO:
        return {opening ? ComFault::NoDevice : ComFault::DeviceLost, error};
    case EIO:
        return {ComFault::DeviceLost, error};
    case EBUSY:
    case EWOULDBLOCK:
        return {ComFault::Busy, error};
    case EACCES:
    case EPERM:
        return {ComFault::AccessDenied, error};
    case EINVAL:
        return {ComFault::InvalidArgument, error};
    default:
        return {ComFault::Other, error};
    }
}

} // namespace orbel
