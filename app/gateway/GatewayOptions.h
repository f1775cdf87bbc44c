// orbel-gateway's command line.
#pragma once

#include "app/gateway/MqttOptions.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orbel::gateway {

struct TGatewayOptions {
    std::string port;
    bool softwareMode = true;
    std::string listenHost = "127.0.0.1";
    std::string listenPort = "1502";
    std::chrono::milliseconds every{1300};
    std::uint8_t unitId = 1;
    std::chrono::milliseconds staleAfter{0}; // three periods unless given
    int maxClients = 16;
    std::string trace;
    bool serveModbus = true; // false for --listen none
    std::optional<TMqttOptions> mqtt;
};

struct TGatewayCommandLine {
    enum class TKind { Run, Help, Version, Usage };
    TKind kind = TKind::Usage;
    TGatewayOptions options;
    std::string message; // for Usage
};

extern const char* const GatewayHelpText;

// `sources` gives the MQTT password's variable and file and the host name
// (the system's when not given).
TGatewayCommandLine ParseGatewayCommandLine(const std::vector<std::string>& args,
                                            const TMqttSources* sources = nullptr);

} // namespace orbel::gateway
