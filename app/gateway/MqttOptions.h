// What orbel-gateway needs to publish to an MQTT broker, from its command line
// and environment.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace orbel::gateway {

struct TMqttOptions {
    std::string host;
    int port = 1883; // 8883 with TLS unless given
    std::string prefix;
    std::string clientId;
    std::string user;
    std::string password; // from a file or ORBEL_MQTT_PASSWORD only
    bool hasPassword = false;
    std::string caFile; // TLS when given
    std::string certFile;
    std::string keyFile;
    int keepAliveSeconds = 30;
    int readingsQos = 0;
};

// The options as typed, before they are checked.
struct TMqttArguments {
    std::string broker; // HOST[:PORT]; empty: no MQTT
    std::string prefix;
    std::string clientId;
    std::string user;
    std::string passwordFile;
    std::string caFile;
    std::string certFile;
    std::string keyFile;
    unsigned keepAlive = 30;
    unsigned readingsQos = 0;
};

// Where the password may come from besides a file.
constexpr const char* MqttPasswordVariable = "ORBEL_MQTT_PASSWORD";

struct TMqttSources {
    std::function<std::optional<std::string>(const std::string&)> variable;
    // The file's contents; nullopt with the reason when it cannot be read.
    std::function<std::optional<std::string>(const std::string&, std::string&)> readFile;
    std::string hostName;
};

// The checked options, or nullopt with a message for the user. `serialPort`
// names the default topic prefix's last level.
std::optional<TMqttOptions> MakeMqttOptions(const TMqttArguments& args,
                                            const std::string& serialPort,
                                            const TMqttSources& sources, std::string& message);

// The environment and the file system behind TMqttSources.
TMqttSources SystemMqttSources();

} // namespace orbel::gateway
