// The command line of orbel-sim.
#pragma once

#include "sim/Options.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace orbel::sim {

struct CommandLine {
    Options options;
    std::string logPath; // empty: no log
    bool help = false;
};

struct ParseResult {
    std::optional<CommandLine> line; // set when the arguments are good
    std::string error;               // otherwise why not, one line
};

// Parses the arguments after the program name. Values follow their option
// as the next argument or after '=' ("--delay 5", "--delay=5"). A later
// option overrides an earlier one. Never throws for bad input.
ParseResult ParseCommandLine(std::span<const std::string_view> args);

// The text of --help.
std::string Usage();

} // namespace orbel::sim
