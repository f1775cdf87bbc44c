// orbel-gateway's command line.
#pragma once

#include <chrono>
#include <cstdint>
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
};

struct TGatewayCommandLine {
    enum class TKind { Run, Help, Version, Usage };
    TKind kind = TKind::Usage;
    TGatewayOptions options;
    std::string message; // for Usage
};

extern const char* const GatewayHelpText;

TGatewayCommandLine ParseGatewayCommandLine(const std::vector<std::string>& args);

} // namespace orbel::gateway
