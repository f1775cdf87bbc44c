#include "app/cli/CliOptions.h"

#include "protocol/CommandTable.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <map>
#include <sstream>
#include <vector>

namespace orbel::cli {

// Where "COMn" leads when ORBEL_COMn is not set.
#ifdef _WIN32
#define ORBEL_COMN_DEVICE R"(\\.\COMn)"
#else
#define ORBEL_COMN_DEVICE "/dev/ttyS(n-1)"
#endif

namespace {

// The commands: the help's lines, the parser's subcommands and what each
// parsed subcommand stands for all come from here: the command table's
// read-only rows, then calibrate and ports.
struct TCliCommandRow {
    TCliCommand command;
    std::uint8_t code; // for Instrument
    const char* name;
    const char* arguments;   // after the name in the help, or ""
    const char* description; // the help's lines, parted by line feeds
    bool repeated;           // takes --count, --every and --csv
};

const std::vector<TCliCommandRow>& CommandRows() {
    static const std::vector<TCliCommandRow> rows = [] {
        std::vector<TCliCommandRow> all;
        for (const TCommandRow& row : orbel::CommandRows) {
            if (row.cliName != nullptr) {
                all.push_back({TCliCommand::Instrument, row.code, row.cliName,
                               row.repeated ? "[--count N] [--every MS] [--csv [regional]]" : "",
                               row.cliHelp, row.repeated});
            }
        }
        all.push_back({TCliCommand::Calibrate, 0, "calibrate",
                       "CHANNEL POINT VALUE [--yes] [--no-readback]",
                       "take point C1 or C2 of channel 1 or 2 with VALUE (a point or\n"
                       "a comma); asks the tank question first unless --yes is given;\n"
                       "reads the signature and coefficients before and the coefficients\n"
                       "after (unless --no-readback) and records all in the journal",
                       false});
        all.push_back({TCliCommand::Ports, 0, "ports", "",
                       "the serial ports present: the name for --port, the adapter,\n"
                       "and the menu item COM1 to COM4 that reaches it",
                       false});
        all.push_back({TCliCommand::Journal, 0, "journal",
                       "[--report | --verify] [--serial N] [--since DATE]",
                       "the calibration journal's entries (--port, --serial, --since\n"
                       "filter them); --report: one row per calibration act with the\n"
                       "point as found and as left; --verify: check its chain",
                       false});
        return all;
    }();
    return rows;
}

// The options, each the program's (so that it may stand before or after the
// command) or one command's.
struct TOptionRow {
    const char* name;
    bool takesValue;
    // The commands it belongs to, parted by blanks ("*": every repeated
    // command of the table); nullptr: any command.
    const char* command;
};

constexpr TOptionRow OptionRows[] = {
    {"--port", true, nullptr},
    {"--mode", true, nullptr},
    {"--json", false, nullptr},
    {"--trace", true, nullptr},
    {"--count", true, "*"},
    {"--every", true, "*"},
    {"--csv", false, "* journal"},
    {"--yes", false, "calibrate"},
    {"--no-readback", false, "calibrate"},
    {"--report", false, "journal"},
    {"--verify", false, "journal"},
    {"--serial", true, "journal"},
    {"--since", true, "journal"},
};

// True when the option of `row` belongs to a command `app` parsed.
bool Belongs(const TOptionRow& row, const CLI::App& app, const TCliCommandRow* parsed) {
    std::istringstream names(row.command);
    for (std::string name; names >> name;) {
        if (name == "*" ? parsed != nullptr && parsed->repeated
                        : app.get_subcommand(name)->parsed()) {
            return true;
        }
    }
    return false;
}

constexpr std::size_t HelpColumn = 28;

const TOptionRow* FindOption(const std::string& arg) {
    const std::string name = arg.substr(0, arg.find('='));
    for (const TOptionRow& row : OptionRows) {
        if (name == row.name) {
            return &row;
        }
    }
    return nullptr;
}

bool Wants(const std::vector<std::string>& args, std::initializer_list<const char*> flags) {
    for (const std::string& arg : args) {
        if (arg == "--") {
            return false;
        }
        for (const char* flag : flags) {
            if (arg == flag) {
                return true;
            }
        }
    }
    return false;
}

std::string CommandNames(bool repeatedOnly = false) {
    std::string names;
    for (const TCliCommandRow& row : CommandRows()) {
        if (row.repeated || !repeatedOnly) {
            names += (names.empty() ? "" : ", ") + std::string(row.name);
        }
    }
    return names;
}

// The commands an option of `row` belongs to, for a message.
std::string Owners(const TOptionRow& row) {
    std::istringstream names(row.command);
    std::string owners;
    for (std::string name; names >> name;) {
        owners += (owners.empty() ? "" : ", ") + (name == "*" ? CommandNames(true) : name);
    }
    return owners;
}

// What the words say before CLI11 reads them: an option given an empty value
// (`--port=` or `--port ""`, an empty variable in a script) would otherwise
// take the next word or a device named "", and a word that is no command
// would be reported as a missing one. Empty when nothing is wrong.
std::string FirstProblem(const std::vector<std::string>& args) {
    std::string command;
    for (std::size_t i = 0; i < args.size() && args[i] != "--"; ++i) {
        const std::string& arg = args[i];
        const TOptionRow* option = FindOption(arg);
        if (option != nullptr && option->takesValue) {
            const std::size_t equals = arg.find('=');
            const bool joined = equals != std::string::npos;
            if (joined ? equals + 1 == arg.size() : i + 1 < args.size() && args[i + 1].empty()) {
                return std::string(option->name) + " needs a value; it was given an empty one";
            }
            i += joined ? 0 : 1;
        } else if (command.empty() && !arg.empty() && arg[0] != '-') {
            command = arg;
        }
    }
    const bool known = std::any_of(CommandRows().begin(), CommandRows().end(),
                                   [&](const TCliCommandRow& row) { return command == row.name; });
    return known ? std::string()
           : command.empty()
               ? "a command is required: " + CommandNames()
               : "unknown command '" + command + "' (commands: " + CommandNames() + ")";
}

// "--csv regional" and "--csv=regional" ask for the regional form, and CLI11
// sees a plain --csv; "--csv=" with anything else is refused. What is wrong,
// or empty.
std::string TakeCsvForm(std::vector<std::string>& args, bool& regional) {
    for (std::size_t i = 0; i < args.size() && args[i] != "--"; ++i) {
        if (args[i].rfind("--csv=", 0) == 0) {
            const std::string form = args[i].substr(6);
            if (form != "regional") {
                return "--csv: '" + form +
                       "' is no form of it (regional, or none for the plain one)";
            }
            args[i] = "--csv";
            regional = true;
        } else if (args[i] == "--csv" && i + 1 < args.size() && args[i + 1] == "regional") {
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i) + 1);
            regional = true;
        }
    }
    return {};
}

// CLI11 takes a word that begins with a minus for an option, unless it reads
// as a number it knows ("-5", but not "-,5" or "-inf"). Every such word that
// is none of ours goes through marked as a value and comes back as given.
constexpr char ValueMark = '\x01';

std::string Marked(const std::string& arg) {
    const bool ours = arg == "--" || arg == "-h" || FindOption(arg) != nullptr ||
                      (arg.size() > 2 && arg[0] == '-' && arg[1] == '-');
    return !arg.empty() && arg[0] == '-' && !ours ? ValueMark + arg : arg;
}

std::string Unmarked(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), ValueMark), text.end());
    return text;
}

// A whole number from 0 to 4294967295, as --count and --every take it.
bool ReadCount(const std::string& text, std::uint32_t& value) {
    if (text.empty() || text.size() > 10 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    const unsigned long long number = std::stoull(text);
    value = static_cast<std::uint32_t>(number);
    return number <= 0xFFFFFFFFULL;
}

// The values CLI11 has read into their options: checked and stored.
std::string TakeValues(const std::map<std::string, std::string>& values, const CLI::App& app,
                       TCliOptions& o) {
    for (const auto& [name, target] :
         {std::pair<const char*, std::uint32_t*>{"--count", &o.count}, {"--every", &o.everyMs}}) {
        if (app.count(name) != 0 && !ReadCount(values.at(name), *target)) {
            return std::string(name) + ": '" + values.at(name) +
                   "' is not a whole number from 0 to 4294967295";
        }
    }
    if (app.count("--mode") != 0) {
        const std::string& mode = values.at("--mode");
        if (mode != "software" && mode != "system") {
            return "--mode: '" + mode + "' is neither software nor system";
        }
        o.softwareMode = mode == "software";
    }
    if (app.count("--port") != 0) {
        o.port = values.at("--port");
    }
    if (app.count("--trace") != 0) {
        o.trace = values.at("--trace");
    }
    o.serial = app.count("--serial") != 0 ? values.at("--serial") : "";
    o.since = app.count("--since") != 0 ? values.at("--since") : "";
    return {};
}

// CLI11 set up from the tables: every option the program's, one subcommand a
// command; the values are checked once it has read them.
struct TParser {
    explicit TParser(TCliOptions& o) {
        app.set_help_flag();
        app.require_subcommand(1);
        for (const TOptionRow& row : OptionRows) {
            if (row.takesValue) {
                app.add_option(row.name, values[row.name]);
            } else {
                app.add_flag(row.name, flags[row.name]);
            }
        }
        for (const TCliCommandRow& row : CommandRows()) {
            CLI::App* command = app.add_subcommand(row.name, "");
            command->set_help_flag();
            command->fallthrough(); // the program's options may follow the command
            commands[command] = &row;
        }
        CLI::App* calibrate = app.get_subcommand("calibrate");
        calibrate->add_option("CHANNEL", o.channel)->required();
        calibrate->add_option("POINT", o.point)->required();
        calibrate->add_option("VALUE", o.value)->required();
    }

    // Stores what was read into `o`; what is wrong with it, or empty.
    std::string Take(TCliOptions& o) {
        for (auto& [name, value] : values) {
            value = Unmarked(value);
        }
        for (std::string* given : {&o.channel, &o.point, &o.value}) {
            *given = Unmarked(*given);
        }
        o.json = flags["--json"];
        o.csv = flags["--csv"];
        o.yes = flags["--yes"];
        o.noReadback = flags["--no-readback"];
        o.report = flags["--report"];
        o.verify = flags["--verify"];
        if (o.report && o.verify) {
            return "--report and --verify exclude each other";
        }
        const TCliCommandRow* parsed = nullptr;
        for (const auto& [command, row] : commands) {
            parsed = command->parsed() ? row : parsed;
        }
        if (parsed != nullptr) {
            o.command = parsed->command;
            o.instrumentCode = parsed->code;
        }
        if (std::string problem = TakeValues(values, app, o); !problem.empty()) {
            return problem;
        }
        if (o.csv && o.json) {
            return "--csv and --json exclude each other";
        }
        for (const TOptionRow& row : OptionRows) {
            if (row.command != nullptr && app.count(row.name) != 0 &&
                !Belongs(row, app, parsed)) {
                return std::string(row.name) + " belongs to " + Owners(row);
            }
        }
        return {};
    }

    CLI::App app{"orbel-cli", "orbel-cli"};
    std::map<std::string, std::string> values; // nodes stay put: CLI11 holds references
    std::map<std::string, bool> flags;
    std::map<const CLI::App*, const TCliCommandRow*> commands;
};

} // namespace

std::string CliHelpText() {
    std::string commands;
    for (const TCliCommandRow& row : CommandRows()) {
        std::string head =
            std::string("  ") + row.name + (*row.arguments != '\0' ? " " : "") + row.arguments;
        std::string text = row.description;
        for (std::size_t from = 0; from <= text.size();) {
            const std::size_t end = std::min(text.find('\n', from), text.size());
            const bool fits = head.size() < HelpColumn - 1;
            commands += (fits ? head + std::string(HelpColumn - head.size(), ' ')
                              : head + "\n" + std::string(HelpColumn, ' ')) +
                        text.substr(from, end - from) + "\n";
            head.clear();
            from = end + 1;
        }
    }
    return R"(Usage: orbel-cli [--port NAME] [--mode software|system] [--json] [--trace FILE] COMMAND [ARGS]
       orbel-cli --help | -h | /? | --version
The ORBEL level instrument from a terminal or a script, over the same serial
line and protocol as the window.

Commands:
)" + commands +
           R"(
Options (before or after the command):
  --port NAME               COM1..COM4 (ORBEL_COMn, else )" ORBEL_COMN_DEVICE R"() or a device path;
                            default: the port of ./user.ini, else COM1
  --mode software|system    timeout mode; default: the mode of ./user.ini, else software
  --json                    one JSON object per answer, one line each
  --csv [regional]          readings (and journal) as CSV: time,status,level1,volume1,...;
                            regional: with the user's list and decimal separators
                            (a semicolon and a comma for Russian settings)
  --trace FILE              append every exchange to FILE (as ORBEL_TRACE does)
  --yes                     calibrate without the question
  --no-readback             calibrate without reading before and after
  --serial N, --since DATE  journal: the instrument's entries; those from DATE on
                            (2026-12-08 or 2026-12-08T10:15 local, or with Z or +03:00)
  --report, --verify        journal: calibration acts as found and as left; the chain's check
  -h, --help, /?            this text
  --version                 the version

Exit codes: 0 every request answered; 1 a request got no valid answer; 2 bad usage,
a value that cannot be sent, or a calibration not confirmed (nothing sent); 3 the
port could not be opened or was lost; 4 the instrument answered with code 250;
5 the output could not be written, or a calibration was sent but not recorded in the
journal. journal --verify: 4 the chain breaks (an entry was changed).
)";
}

TParsedCommandLine ParseCommandLine(const std::vector<std::string>& given) {
    TParsedCommandLine result;
    // "/?" as Windows programs take it; no argument of ours is "/?" otherwise.
    if (Wants(given, {"--help", "-h", "/?"})) {
        result.kind = TParsedCommandLine::TKind::Help;
        return result;
    }
    if (Wants(given, {"--version"})) {
        result.kind = TParsedCommandLine::TKind::Version;
        return result;
    }
    std::vector<std::string> args = given;
    if (result.message = TakeCsvForm(args, result.options.csvRegional); !result.message.empty()) {
        return result;
    }
    if (result.message = FirstProblem(args); !result.message.empty()) {
        return result;
    }
    TParser parser(result.options);
    std::vector<std::string> reversed; // as CLI11 takes them
    for (auto arg = args.rbegin(); arg != args.rend(); ++arg) {
        reversed.push_back(Marked(*arg));
    }
    try {
        parser.app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        result.message = Unmarked(e.what());
        return result;
    }
    if (result.message = parser.Take(result.options); !result.message.empty()) {
        return result;
    }
    result.kind = TParsedCommandLine::TKind::Run;
    return result;
}

} // namespace orbel::cli
