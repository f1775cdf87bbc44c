// The three standard streams of a program that was started with one of them
// closed (`orbel-cli ... >&-`). The next file the program opens would take the
// free descriptor, and every line meant for that stream would go into it: the
// answers or a diagnostic line into the instrument's serial line.
#pragma once

namespace orbel {

// Opens the null device on each of descriptors 0, 1 and 2 that is closed.
// Called first thing in main, before anything else is opened; does nothing
// where the system has no such descriptors to reuse (Windows).
void OpenClosedStandardStreams();

} // namespace orbel
