// orbel-cli: the instrument from a terminal and from scripts.
#include "app/cli/CliOptions.h"
#include "app/cli/CliRun.h"
#include "app/cli/Console.h"
#include "base/CleanUp.h"
#include "base/StandardStreams.h"
#include "base/WideText.h"

#include <clocale>
#include <csignal>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

using namespace orbel;

using namespace orbel::cli;

int main(int argc, char** argv) {
    OpenClosedStandardStreams(); // before the port can take a free descriptor
    // The user's locale: the regional decimal separator and the translated
    // port messages.
    std::setlocale(LC_ALL, "");
    cli::UseConsoleText();
#ifdef SIGPIPE
    // A reader that has gone (of the answers, the trace or the diagnostics)
    // fails the write instead of ending the run; the readings loop ends when
    // its answers can no longer be written.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    // UTF-8 whatever the system's code page (Windows gives them wide).
    const std::vector<std::string> arguments = ProgramArguments(argc, argv);
    const TParsedCommandLine parsed =
        ParseCommandLine({arguments.begin() + (arguments.empty() ? 0 : 1), arguments.end()});
    switch (parsed.kind) {
    case TParsedCommandLine::TKind::Help:
        std::cout << CliHelpText();
        return ecAnswered;
    case TParsedCommandLine::TKind::Version:
        std::cout << "orbel-cli " ORBEL_VERSION "\n";
        return ecAnswered;
    case TParsedCommandLine::TKind::Usage:
        std::cerr << "orbel-cli: " << parsed.message << "\nTry 'orbel-cli --help'.\n";
        return ecUsage;
    case TParsedCommandLine::TKind::Run:
        break;
    }
    int code = ecPort;
    try {
        code = RunCli(parsed.options, std::cin, std::cerr);
    } catch (const std::exception& e) {
        std::cerr << "orbel-cli: " << e.what() << "\n";
    }
    std::cerr.flush();
    SayCleanedUp(); // the port closed and the trace flushed: a closing console may end us
    return code;
}
