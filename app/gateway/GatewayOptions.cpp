#include "app/gateway/GatewayOptions.h"

#include <CLI/CLI.hpp>

namespace orbel::gateway {

namespace {

// "host:port" or "[v6 host]:port": the host, and the port, which must be a number.
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
    return !host.empty() && port.find_first_not_of("0123456789") == std::string::npos;
}

} // namespace

const char* const GatewayHelpText =
    R"(Usage: orbel-gateway --port NAME [--mode software|system] [--listen ADDRESS:PORT]
                     [--every MS] [--unit-id N] [--stale-after MS] [--max-clients N]
                     [--trace FILE] [--mqtt HOST[:PORT] [MQTT OPTIONS]]
       orbel-gateway --help | --version
Polls the ORBEL level instrument and serves its readings as a Modbus TCP server
(read-only registers, input and holding alike; discrete inputs 0 to 3), and
with --mqtt publishes them to an MQTT broker as well.

Options:
  --port NAME               the instrument's serial port (COM1..COM4 or a device path)
  --mode software|system    timeout mode (default software)
  --listen ADDRESS:PORT     where to serve (default 127.0.0.1:1502; [::1]:PORT for IPv6);
                            none: no Modbus server (with --mqtt only)
  --every MS                one readings request every MS ms (default 1300)
  --unit-id N               the unit id answered besides 0 and 255 (default 1)
  --stale-after MS          readings older than this fail with exception 0B
                            (default three periods)
  --max-clients N           connections served at once; more are refused (default 16)
  --trace FILE              append every exchange with the instrument to FILE
  -h, --help                this text
  --version                 the version

MQTT options:
  --mqtt HOST[:PORT]        publish to this broker (port 1883, 8883 with TLS)
  --mqtt-prefix TOPIC       the topics' prefix (default orbel/<host name>/<port name>)
  --mqtt-client-id ID       the client id (default orbel-gateway:<prefix>)
  --mqtt-user NAME          the user name; its password comes from
  --mqtt-password-file FILE its first line, or the variable ORBEL_MQTT_PASSWORD
  --mqtt-ca FILE            TLS, with the broker's certificate checked against FILE
  --mqtt-cert FILE          a client certificate for TLS, with
  --mqtt-key FILE           its private key
  --mqtt-keep-alive S       seconds between signs of life (default 30)
  --mqtt-readings-qos 0|1   the readings' QoS (default 0; the retained topics use 1)

Topics: <prefix>/status, /line, /identity, /coefficients (retained) and
/readings (each poll).

Stops on SIGINT or SIGTERM. Exit codes: 0 stopped, 2 bad usage, 3 the address
cannot be listened on, 1 the MQTT client cannot be set up.
)";

namespace {

void AddMqttOptions(CLI::App& app, TMqttArguments& m) {
    app.add_option("--mqtt", m.broker);
    app.add_option("--mqtt-prefix", m.prefix);
    app.add_option("--mqtt-client-id", m.clientId);
    app.add_option("--mqtt-user", m.user);
    app.add_option("--mqtt-password-file", m.passwordFile);
    app.add_option("--mqtt-ca", m.caFile);
    app.add_option("--mqtt-cert", m.certFile);
    app.add_option("--mqtt-key", m.keyFile);
    app.add_option("--mqtt-keep-alive", m.keepAlive)->check(CLI::Range(5U, 3600U));
    app.add_option("--mqtt-readings-qos", m.readingsQos)->check(CLI::Range(0U, 1U));
}

// An --mqtt-... option given without --mqtt.
std::string StrayMqttOption(const CLI::App& app) {
    for (const char* name :
         {"--mqtt-prefix", "--mqtt-client-id", "--mqtt-user", "--mqtt-password-file", "--mqtt-ca",
          "--mqtt-cert", "--mqtt-key", "--mqtt-keep-alive", "--mqtt-readings-qos"}) {
        if (app.count(name) != 0) {
            return name;
        }
    }
    return {};
}

} // namespace

TGatewayCommandLine ParseGatewayCommandLine(const std::vector<std::string>& args,
                                            const TMqttSources* sources) {
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
    TMqttArguments mqtt;
    AddMqttOptions(app, mqtt);
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
        result.message = "--port is required";
        return result;
    }
    if (mqtt.broker.empty()) {
        if (const std::string stray = StrayMqttOption(app); !stray.empty()) {
            result.message = stray + " needs --mqtt";
            return result;
        }
    } else {
        const TMqttSources system = sources != nullptr ? TMqttSources{} : SystemMqttSources();
        o.mqtt =
            MakeMqttOptions(mqtt, o.port, sources != nullptr ? *sources : system, result.message);
        if (!o.mqtt) {
            return result;
        }
    }
    if (listen == "none") {
        if (!o.mqtt) {
            result.message = "--listen none needs --mqtt (else there is nothing to serve)";
            return result;
        }
        o.serveModbus = false;
    } else if (!SplitListenAddress(listen, o.listenHost, o.listenPort)) {
        result.message = "--listen: expected ADDRESS:PORT, got '" + listen + "'";
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
