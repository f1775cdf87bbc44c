// The end of a stopped program, said by its main thread once the port is
// closed and the trace flushed, for a handler that must not return before it:
// Windows ends the process as soon as a console's close handler returns, and
// at the latest about five seconds after the event (HandlerRoutine).
#pragma once

namespace orbel {

// Main's word that the clean-up is done; said once, heard by every waiter.
void SayCleanedUp();

// Waits up to `ms` for that word; true when it was said.
bool WaitForCleanUp(unsigned ms);

// How long a console's close handler waits: inside the time Windows allows.
constexpr unsigned CloseEventCleanUpMs = 4500;

} // namespace orbel
