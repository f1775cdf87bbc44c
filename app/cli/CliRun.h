// One run of orbel-cli: the port and mode to use, the command, its output on
// standard output and its exit code.
#pragma once

#include "app/cli/CliOptions.h"

#include <iosfwd>
#include <optional>
#include <string>

namespace orbel::cli {

enum TCliExitCode : int {
    ecAnswered = 0,    // every request answered
    ecNoAnswer = 1,    // at least one request got no valid answer
    ecUsage = 2,       // bad usage or a value that cannot be sent: nothing sent
    ecPort = 3,        // the port could not be opened or was lost
    ecAltReply = 4,    // the instrument answered with code 250
    ecOutput = 5,      // the output could not be written (or a calibration not recorded)
    ecBrokenChain = 4, // journal --verify: an entry was changed
};

struct TPortChoice {
    std::string port;
    bool softwareMode = true;
};

// --port and --mode where given, else what ./user.ini holds (read as the
// window reads it), else COM1 and the software mode. A file that cannot be
// read is reported on `err` and counts as none.
TPortChoice ChoosePort(const TCliOptions& options, std::ostream& err);

// The answer to the tank question: true for yes, да, д; false for no, нет, n;
// the same keys typed in the other keyboard layout count as well (нуы, lf,
// l; тщ, ytn, т); either case, blanks around. Nothing for anything else, the
// key Y/Н alone among it ("y" on the Latin layout is «н» on the Russian one).
std::optional<bool> YesNoAnswer(const std::string& line);

// The answers the question shows, in the console's language; and what is
// said before it is asked again.
std::string YesNoChoices(bool russian);
std::string AskAgainText(bool russian);

// Runs the command; the answers go to standard output, everything else to
// `err`. `in` answers the tank question when standard input is a terminal.
int RunCli(const TCliOptions& options, std::istream& in, std::ostream& err);

} // namespace orbel::cli
