#include "app/gateway/MqttOptions.h"

#include "app/gateway/MqttTopics.h"
#include "base/WideText.h"

#include <fstream>
#include <iterator>
#include <sstream>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace orbel::gateway {

namespace {

// "host", "host:port", "[v6 host]" or "[v6 host]:port".
bool SplitBroker(const std::string& text, std::string& host, std::string& port) {
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string::npos) {
            return false;
        }
        host = text.substr(1, close - 1);
        const std::string rest = text.substr(close + 1);
        if (!rest.empty() && (rest.front() != ':' || rest.size() == 1)) {
            return false;
        }
        port = rest.empty() ? "" : rest.substr(1);
    } else {
        const std::size_t colon = text.find(':');
        if (colon != text.rfind(':')) {
            return false; // a bare IPv6 address needs brackets
        }
        host = text.substr(0, colon);
        port = colon == std::string::npos ? "" : text.substr(colon + 1);
        if (colon != std::string::npos && port.empty()) {
            return false;
        }
    }
    return !host.empty() && port.find_first_not_of("0123456789") == std::string::npos &&
           port.size() <= 5 && (port.empty() || (std::stoi(port) >= 1 && std::stoi(port) <= 65535));
}

// A password file's first line, without its line end.
std::string FirstLine(const std::string& text) {
    const std::size_t end = text.find_first_of("\r\n");
    return end == std::string::npos ? text : text.substr(0, end);
}

} // namespace

std::optional<TMqttOptions> MakeMqttOptions(const TMqttArguments& args,
                                            const std::string& serialPort,
                                            const TMqttSources& sources, std::string& message) {
    TMqttOptions o;
    std::string port;
    if (!SplitBroker(args.broker, o.host, port)) {
        message = "--mqtt: expected HOST or HOST:PORT, got '" + args.broker + "'";
        return std::nullopt;
    }
    o.caFile = args.caFile;
    o.certFile = args.certFile;
    o.keyFile = args.keyFile;
    if (o.certFile.empty() != o.keyFile.empty()) {
        message = "--mqtt-cert and --mqtt-key go together";
        return std::nullopt;
    }
    if (!o.certFile.empty() && o.caFile.empty()) {
        message = "--mqtt-cert needs --mqtt-ca (a client certificate is for TLS)";
        return std::nullopt;
    }
    o.port = !port.empty() ? std::stoi(port) : o.caFile.empty() ? 1883 : 8883;
    o.prefix =
        !args.prefix.empty() ? args.prefix : DefaultTopicPrefix(sources.hostName, serialPort);
    if (const std::string problem = TopicPrefixProblem(o.prefix); !problem.empty()) {
        message = "--mqtt-prefix: " + problem;
        return std::nullopt;
    }
    o.clientId = !args.clientId.empty() ? args.clientId : "orbel-gateway:" + o.prefix;
    o.user = args.user;
    if (!args.passwordFile.empty()) {
        std::string reason;
        const std::optional<std::string> text = sources.readFile(args.passwordFile, reason);
        if (!text) {
            message = "--mqtt-password-file: cannot read " + args.passwordFile + ": " + reason;
            return std::nullopt;
        }
        o.password = FirstLine(*text);
        o.hasPassword = true;
    } else if (const std::optional<std::string> variable = sources.variable(MqttPasswordVariable)) {
        o.password = *variable;
        o.hasPassword = true;
    }
    if (o.hasPassword && o.user.empty()) {
        message = "a password needs --mqtt-user";
        return std::nullopt;
    }
    o.keepAliveSeconds = static_cast<int>(args.keepAlive);
    o.readingsQos = static_cast<int>(args.readingsQos);
    return o;
}

TMqttSources SystemMqttSources() {
    TMqttSources sources;
    sources.variable = [](const std::string& name) { return EnvironmentText(name.c_str()); };
    sources.readFile = [](const std::string& path,
                          std::string& reason) -> std::optional<std::string> {
        std::ifstream file(PathFromUtf8(path), std::ios::binary);
        if (!file) {
            reason = "no such file, or it may not be read";
            return std::nullopt;
        }
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    };
#ifdef _WIN32
    sources.hostName = EnvironmentText("COMPUTERNAME").value_or("windows");
#else
    char name[256] = {};
    sources.hostName = gethostname(name, sizeof name - 1) == 0 ? name : "localhost";
#endif
    return sources;
}

} // namespace orbel::gateway
