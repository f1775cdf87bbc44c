#include "app/gateway/GatewayOptions.h"

#include <CLI/CLI.hpp>

namespace orbel::gateway {

namespace {

// "host:port" or "[v6 host]:port": the host, and the port, which must be a
// number from 0 to 65535 (the resolver would take 65537 for 1).
bool SplitListenAddress(const std::string& text, std::string& host, std::string& port) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) {
        return false;
    }
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    if (host.empty() || port.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    const std::size_t digits = port.find_first_not_of('0');
    return digits == std::string::npos ||
           (port.size() - digits <= 5 && std::stoul(port.substr(digits)) <= 65535);
}

} // namespace

const char* const GatewayHelpText =
    R"(Usage: orbel-gateway --port NAME [--mode software|system] [--listen ADDRESS:PORT]
                     [--every MS] [--unit-id N] [--stale-after MS] [--max-clients N]
                     [--trace FILE]
       orbel-gateway --help | --version
Polls the ORBEL level instrument and serves its readings as a Modbus TCP server
(read-only registers, input and holding alike; discrete inputs 0 to 3).

Options:
  --port NAME               the instrument's serial port (COM1..COM4 or a device path)
  --mode software|system    timeout mode (default software)
  --listen ADDRESS:PORT     where to serve (default 127.0.0.1:1502; [::1]:PORT for IPv6)
  --every MS                one readings request every MS ms (default 1300)
  --unit-id N               the unit id answered besides 0 and 255 (default 1)
  --stale-after MS          readings older than this fail with exception 0B
                            (default three periods)
  --max-clients N           connections served at once; more are refused (default 16)
  --trace FILE              append every exchange with the instrument to FILE
  -h, --help                this text
  --version                 the version

Stops on SIGINT or SIGTERM; SIGHUP reopens the port and reads the signature
and coefficients again. Exit codes: 0 stopped, 2 bad usage (a --port that is
a directory, a FIFO, a file or a device that is no terminal included), 3 the
address cannot be listened on.
)";

TGatewayCommandLine ParseGatewayCommandLine(const std::vector<std::string>& args) {
    TGatewayCommandLine result;
    CLI::App app;
    app.set_help_flag();
    bool help = false;
    bool version = false;
    std::string mode = "software";
    std::string listen = "127.0.0.1:1502";
    unsigned every = 1300;
    unsigned unitId = 1;
    unsigned staleAfter = 0;
    unsigned maxClients = 16;
    TGatewayOptions& o = result.options;
    app.add_flag("-h,--help", help);
    app.add_flag("--version", version);
    app.add_option("--port", o.port);
    app.add_option("--mode", mode)->check(CLI::IsMember({"software", "system"}));
    app.add_option("--listen", listen);
    app.add_option("--every", every)->check(CLI::Range(10U, 3600000U));
    app.add_option("--unit-id", unitId)->check(CLI::Range(1U, 247U));
    app.add_option("--stale-after", staleAfter)->check(CLI::Range(1U, 86400000U));
    app.add_option("--max-clients", maxClients)->check(CLI::Range(1U, 1000U));
    app.add_option("--trace", o.trace);
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        result.message = e.what();
        return result;
    }
    if (help || version) {
        result.kind = help ? TGatewayCommandLine::TKind::Help : TGatewayCommandLine::TKind::Version;
        return result;
    }
    if (o.port.empty()) {
        result.message = app.count("--port") != 0
                             ? "--port needs a value; it was given an empty one"
                             : "--port is required";
        return result;
    }
    if (!SplitListenAddress(listen, o.listenHost, o.listenPort)) {
        result.message =
            "--listen: expected ADDRESS:PORT with a port from 0 to 65535, got '" + listen + "'";
        return result;
    }
    o.softwareMode = mode == "software";
    o.every = std::chrono::milliseconds(every);
    o.unitId = static_cast<std::uint8_t>(unitId);
    o.staleAfter = std::chrono::milliseconds(staleAfter != 0 ? staleAfter : 3 * every);
    o.maxClients = static_cast<int>(maxClients);
    result.kind = TGatewayCommandLine::TKind::Run;
    return result;
}

} // namespace orbel::gateway
