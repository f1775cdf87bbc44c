// The command line of orbel-cli:
//
//   orbel-cli [--port NAME] [--mode software|system] [--json] [--trace FILE] COMMAND [ARGS]
//     signature, readings, coefficients: a read-only command of the command
//       table; a repeated one takes [--count N] [--every MS] [--csv [regional]]
//     calibrate CHANNEL POINT VALUE [--yes] [--no-readback]
//     ports
//     journal [--report | --verify] [--csv [regional]] [--serial N] [--since DATE]
//   orbel-cli --help | -h | /? | --version
//
// Every option may stand before or after the command.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orbel::cli {

enum class TCliCommand { Instrument, Calibrate, Ports, Journal };

struct TCliOptions {
    TCliCommand command = TCliCommand::Instrument;
    std::uint8_t instrumentCode = 0;  // for Instrument: the command's code (CommandTable.h)
    std::optional<std::string> port;  // else the port of user.ini, else COM1
    std::optional<bool> softwareMode; // else the mode of user.ini, else software
    bool json = false;
    std::string trace; // empty: $ORBEL_TRACE, if set

    // a repeated command (readings)
    std::uint32_t count = 1; // 0: until interrupted
    std::uint32_t everyMs = 1300;
    bool csv = false;         // also journal
    bool csvRegional = false; // --csv regional: the user's list and decimal separators

    // calibrate, as given; checked by ParseCalibration
    std::string channel;
    std::string point;
    std::string value;
    bool yes = false;
    bool noReadback = false; // no reads before and after for the journal

    // journal (--port filters it too)
    bool report = false;
    bool verify = false;
    std::string serial; // as given; empty: any
    std::string since;  // as given; empty: from the start
};

struct TParsedCommandLine {
    enum class TKind { Run, Help, Version, Usage };
    TKind kind = TKind::Usage;
    TCliOptions options; // for Run
    std::string message; // for Usage: what is wrong
};

// Parses the arguments after the program name.
TParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

// The text --help prints.
std::string CliHelpText();

} // namespace orbel::cli
