// What the terminal front end needs from the system beyond standard C++:
// whether standard input is a terminal, the system's reason for an error
// code, and the stop requests (Ctrl-C, SIGINT, SIGTERM) turned into a flag
// the loop can wait on. One implementation per platform.
#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace cli {

bool StdinIsTerminal();

// Makes a console show and read the program's UTF-8 text (the Russian lines
// and the д/н answer); where terminals speak the locale's encoding already,
// nothing to do.
void UseUtf8Console();

// The system's text for an error code of its own (errno on POSIX).
std::string SystemReason(int code);

// Runs `start` with the stop requests held back from the threads it creates,
// so that only the calling thread ever handles them.
void WithStopRequestsHeldFromNewThreads(const std::function<void()>& start);

// From now on a stop request sets the flag instead of ending the process.
void CatchStopRequests();
bool StopRequested();

// Waits until `deadline` or a stop request, whichever comes first; true when
// a stop was requested.
bool WaitUntilStopped(std::chrono::steady_clock::time_point deadline);

} // namespace cli
