#include "app/gateway/MqttTopics.h"

namespace orbel::gateway {

std::string TopicLevel(const std::string& name) {
    std::string level = name;
    for (char& c : level) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '/' || c == '+' || c == '#' || c == ' ' || u < 0x20 || u == 0x7f) {
            c = '_';
        }
    }
    return level.empty() ? "_" : level;
}

std::string DefaultTopicPrefix(const std::string& hostName, const std::string& serialPort) {
    const std::size_t folder = serialPort.find_last_of("/\\");
    const std::string port =
        folder == std::string::npos ? serialPort : serialPort.substr(folder + 1);
    return "orbel/" + TopicLevel(hostName) + "/" + TopicLevel(port);
}

std::string TopicPrefixProblem(const std::string& prefix) {
    if (prefix.empty()) {
        return "the topic prefix is empty";
    }
    if (prefix.find_first_of("+#") != std::string::npos) {
        return "a topic prefix may not hold '+' or '#'";
    }
    if (prefix.back() == '/') {
        return "a topic prefix may not end with '/'";
    }
    if (prefix.find('\0') != std::string::npos) {
        return "a topic prefix may not hold a null character";
    }
    return {};
}

} // namespace orbel::gateway
