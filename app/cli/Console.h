// What the terminal front end needs from the system beyond standard C++:
// whether standard input is a terminal, the console's text and the answers
// typed ahead of a question, the regional separators, the system's reason for an error
// code, the answers written to standard output with the reason when they
// cannot be, and the stop requests (Ctrl-C, SIGINT, SIGTERM) turned into a
// flag the loop can wait on. One implementation per platform.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace orbel::cli {

bool StdinIsTerminal();

// Makes a console show and read the program's UTF-8 text (the Russian lines
// and the д/н answer) without changing its code pages; where terminals speak
// the locale's encoding already, nothing to do.
void UseConsoleText();

// The console speaks Russian: the locale's messages on POSIX, the user's
// interface language (or the Cyrillic code page 866) on Windows.
bool ConsoleSpeaksRussian();

// Before a question on a terminal: throws away what was typed before it was
// put and what comes within `guardMs` of it, so that only an answer typed
// after that answers it.
void DiscardTypeAhead(int guardMs);

// The user's regional separators: the decimal one, and the list separator
// where the system keeps one (Windows), else empty.
struct TRegionalSeparators {
    std::string decimal;
    std::string list;
};
TRegionalSeparators RegionalSeparators();

// The system's text for an error code of its own (errno on POSIX).
std::string SystemReason(int code);

// Writes `lines` (whole lines) to standard output, all of them. Returns 0, or
// the system's code of the failure. A failure leaves no part of `lines` in a
// regular file, so that the file keeps only whole lines (as long as nothing
// else has written to it meanwhile).
int WriteOutput(std::string_view lines);

// True for the code of a write whose reader has gone (a closed pipe).
bool MeansReaderGone(int code);

// Runs `start` with the stop requests held back from the threads it creates,
// so that only the calling thread ever handles them.
void WithStopRequestsHeldFromNewThreads(const std::function<void()>& start);

// From now on a stop request sets the flag instead of ending the process.
void CatchStopRequests();
bool StopRequested();

enum class TWaitEnd {
    Time,       // the time is up (or the wait ended early for no reason given)
    Stop,       // a stop was requested
    OutputGone, // standard output's reader has gone (a closed pipe, a hung-up terminal)
};

// One wait of at most `ms` milliseconds for a stop request or the loss of
// standard output's reader, whichever comes first.
TWaitEnd WaitForStop(int ms);

} // namespace orbel::cli
