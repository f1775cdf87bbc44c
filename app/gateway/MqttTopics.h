// The topic tree the gateway publishes under a prefix.
#pragma once

#include <string>

namespace orbel::gateway {

// One topic level made of a name: '/', '+', '#', blanks and control
// characters become '_'; an empty name becomes "_".
std::string TopicLevel(const std::string& name);

// orbel/<host name>/<port name>, the port's device folder left out
// (/dev/ttyUSB0 -> ttyUSB0).
std::string DefaultTopicPrefix(const std::string& hostName, const std::string& serialPort);

// Empty when a prefix may be published under, else why not.
std::string TopicPrefixProblem(const std::string& prefix);

struct TMqttTopics {
    explicit TMqttTopics(const std::string& prefix)
        : status(prefix + "/status"), line(prefix + "/line"), identity(prefix + "/identity"),
          coefficients(prefix + "/coefficients"), readings(prefix + "/readings") {}
    std::string status;       // retained: online, offline (also the last will)
    std::string line;         // retained: the instrument line's state
    std::string identity;     // retained: the signature
    std::string coefficients; // retained
    std::string readings;     // each poll's readings
};

} // namespace orbel::gateway
