// orbel-gateway: the instrument's readings as a Modbus TCP server.
#include "app/gateway/GatewayOptions.h"
#include "app/gateway/GatewaySystem.h"
#include "app/gateway/ModbusServer.h"
#include "app/gateway/MqttPublisher.h"
#include "base/CleanUp.h"
#include "base/StandardStreams.h"
#include "base/WideText.h"
#include "poll/Poller.h"
#include "poll/SerialInstrumentLine.h"

#include <clocale>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

using namespace orbel;
using namespace orbel::gateway;

namespace {

constexpr int ExitUsage = 2;
constexpr int ExitListen = 3;

// The poll's and the MQTT publisher's threads both say things: whole lines.
void Say(const std::string& line) {
    static std::mutex mutex;
    const std::lock_guard lock(mutex);
    std::cerr << "orbel-gateway: " << line << std::endl;
}

int Serve(const TGatewayOptions& o) {
    HoldStopSignals();
    TStateStore store;
    TServerSettings settings;
    settings.host = o.listenHost;
    settings.port = o.listenPort;
    settings.maxClients = o.maxClients;
    settings.unitId = o.unitId;
    settings.staleAfter = o.staleAfter;
    settings.say = Say;
    TSerialInstrumentLine line(o.trace, o.softwareMode);
#ifndef _WIN32
    // A name that can never be a port ends the program; one that may come
    // (an adapter not plugged in yet) is waited for. Windows names only
    // devices, so there the poll's own open is the first.
    if (std::string reason; !line.Open(o.port, reason) && line.NeverASerialPort()) {
        Say("cannot open " + o.port + ": " + reason);
        return ExitUsage;
    }
    line.Close();
#endif
    // TLS files that cannot be read end the program before anything is served.
    std::unique_ptr<TMqttPublisher> publisher;
    TPollCycle::TObserver observer;
    if (o.mqtt) {
        publisher = std::make_unique<TMqttPublisher>(*o.mqtt, Say);
        observer = [&publisher](const TInstrumentState& state) { publisher->Offer(state); };
    }
    std::unique_ptr<TModbusServer> server;
    if (o.serveModbus) {
        server = std::make_unique<TModbusServer>(settings, store);
        std::string reason;
        if (!server->Listen(reason)) {
            Say("cannot listen on " + o.listenHost + ":" + o.listenPort + ": " + reason);
            return ExitListen;
        }
        Say("serving unit " + std::to_string(o.unitId) + " on " + o.listenHost + ":" +
            std::to_string(server->Port()));
    }
    TPollCycle cycle(line, o.port, store, Say, observer);
    if (server) {
        server->Start();
    }
    {
        TPoller poller(cycle, o.every);
        while (!WaitForStopOrReload()) {
            Say("SIGHUP: reopening " + o.port + " at the next poll");
            cycle.RequestReopen();
        }
    }
    if (publisher) {
        publisher->Stop();
    }
    if (server) {
        server->Stop();
    }
    Say("stopped");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    orbel::OpenClosedStandardStreams();
    std::setlocale(LC_ALL, "");
    UseConsoleText();
    // UTF-8 whatever the system's code page (Windows gives them wide).
    const std::vector<std::string> arguments = orbel::ProgramArguments(argc, argv);
    const TGatewayCommandLine parsed =
        ParseGatewayCommandLine({arguments.begin() + (arguments.empty() ? 0 : 1), arguments.end()});
    switch (parsed.kind) {
    case TGatewayCommandLine::TKind::Help:
        std::cout << GatewayHelpText;
        return 0;
    case TGatewayCommandLine::TKind::Version:
        std::cout << "orbel-gateway " ORBEL_VERSION "\n";
        return 0;
    case TGatewayCommandLine::TKind::Usage:
        std::cerr << "orbel-gateway: " << parsed.message << "\nTry 'orbel-gateway --help'.\n";
        return ExitUsage;
    case TGatewayCommandLine::TKind::Run:
        break;
    }
    int code = 1;
    try {
        code = Serve(parsed.options);
    } catch (const std::exception& e) {
        Say(e.what());
    }
    orbel::SayCleanedUp(); // the port closed and the trace flushed: a closing console may end us
    return code;
}
