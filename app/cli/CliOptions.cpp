#include "app/cli/CliOptions.h"

#include <CLI/CLI.hpp>

#include <algorithm>

// Where "COMn" leads when ORBEL_COMn is not set.
#ifdef _WIN32
#define ORBEL_COMN_DEVICE R"(\\.\COMn)"
#else
#define ORBEL_COMN_DEVICE "/dev/ttyS(n-1)"
#endif

const char* const CliHelpText =
    R"(Usage: orbel-cli [--port NAME] [--mode software|system] [--json] [--trace FILE] COMMAND [ARGS]
       orbel-cli --help | --version
The ORBEL level instrument from a terminal or a script, over the same serial
line and protocol as the window.

Commands:
  signature                 address, type, serial number, hardware and software versions
  readings [--count N] [--every MS] [--csv]
                            level and volume of both channels: N requests (default 1,
                            0 until Ctrl-C), one every MS ms start to start (default 1300)
  coefficients              the four calibration coefficients
  calibrate CHANNEL POINT VALUE [--yes]
                            take point C1 or C2 of channel 1 or 2 with VALUE (a point or
                            a comma); asks the tank question first unless --yes is given

Options (before or after the command):
  --port NAME               COM1..COM4 (ORBEL_COMn, else )" ORBEL_COMN_DEVICE R"() or a device path;
                            default: the port of ./user.ini, else COM1
  --mode software|system    timeout mode; default: the mode of ./user.ini, else software
  --json                    one JSON object per answer, one line each
  --csv                     readings as CSV: time,status,level1,volume1,level2,volume2
  --trace FILE              append every exchange to FILE (as ORBEL_TRACE does)
  --yes                     calibrate without the question
  -h, --help                this text
  --version                 the version

Exit codes: 0 every request answered; 1 a request got no valid answer; 2 bad usage,
a value that cannot be sent, or a calibration not confirmed (nothing sent); 3 the
port could not be opened or was lost; 4 the instrument answered with code 250.
)";

namespace {

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

CLI::App* Command(CLI::App& app, const char* name, const char* description) {
    CLI::App* command = app.add_subcommand(name, description);
    command->set_help_flag();
    command->fallthrough(); // the program's options may follow the command
    return command;
}

// CLI11 takes "-5" for a value but "-.5" or "-,5" for an option. Such a
// number goes through as "-0.5" and comes back as given.
std::string AsNumber(const std::string& arg) {
    const bool bareFraction = arg.size() >= 2 && arg[0] == '-' && (arg[1] == '.' || arg[1] == ',');
    return bareFraction ? "-0" + arg.substr(1) : arg;
}

} // namespace

TParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    TParsedCommandLine result;
    if (Wants(args, {"--help", "-h"})) {
        result.kind = TParsedCommandLine::TKind::Help;
        return result;
    }
    if (Wants(args, {"--version"})) {
        result.kind = TParsedCommandLine::TKind::Version;
        return result;
    }

    TCliOptions& o = result.options;
    CLI::App app("orbel-cli", "orbel-cli");
    app.set_help_flag();
    app.require_subcommand(1);
    // Every option belongs to the program, so that it may stand before or after
    // the command; the ones of one command are refused with the others below.
    std::string port;
    std::string mode;
    app.add_option("--port", port);
    app.add_option("--mode", mode)->check(CLI::IsMember({"software", "system"}));
    app.add_flag("--json", o.json);
    app.add_option("--trace", o.trace);
    app.add_option("--count", o.count);
    app.add_option("--every", o.everyMs);
    app.add_flag("--csv", o.csv);
    app.add_flag("--yes", o.yes);

    CLI::App* signature = Command(app, "signature", "");
    CLI::App* readings = Command(app, "readings", "");
    CLI::App* coefficients = Command(app, "coefficients", "");
    CLI::App* calibrate = Command(app, "calibrate", "");
    calibrate->add_option("CHANNEL", o.channel)->required();
    calibrate->add_option("POINT", o.point)->required();
    calibrate->add_option("VALUE", o.value)->required();

    std::vector<std::string> reversed; // as CLI11 takes them
    for (auto arg = args.rbegin(); arg != args.rend(); ++arg) {
        reversed.push_back(AsNumber(*arg));
    }
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        result.message = e.what();
        return result;
    }
    for (std::string* given : {&o.value, &o.trace, &port, &o.channel, &o.point}) {
        for (const std::string& arg : args) {
            if (*given == AsNumber(arg)) {
                *given = arg;
            }
        }
    }
    if (app.count("--port") != 0) {
        o.port = port;
    }
    if (app.count("--mode") != 0) {
        o.softwareMode = mode == "software";
    }
    if (o.csv && o.json) {
        result.message = "--csv and --json exclude each other";
        return result;
    }
    for (const char* option : {"--count", "--every", "--csv"}) {
        if (app.count(option) != 0 && !readings->parsed()) {
            result.message = std::string(option) + " belongs to readings";
            return result;
        }
    }
    if (app.count("--yes") != 0 && !calibrate->parsed()) {
        result.message = "--yes belongs to calibrate";
        return result;
    }
    const std::pair<CLI::App*, TCliCommand> commands[] = {
        {signature, TCliCommand::Signature},
        {readings, TCliCommand::Readings},
        {coefficients, TCliCommand::Coefficients},
        {calibrate, TCliCommand::Calibrate},
    };
    for (const auto& [command, which] : commands) {
        if (command->parsed()) {
            o.command = which;
        }
    }
    result.kind = TParsedCommandLine::TKind::Run;
    return result;
}
