// The MQTT side's pure parts: the command line, the topics and the payloads.
#include "app/gateway/GatewayOptions.h"
#include "app/gateway/MqttPayloads.h"
#include "app/gateway/MqttPublisher.h"
#include "app/gateway/MqttTopics.h"

#include <gtest/gtest.h>

#include <map>

using namespace orbel;
using namespace orbel::gateway;
using namespace std::chrono_literals;

namespace {

TGatewayCommandLine Parse(std::vector<std::string> args,
                          std::map<std::string, std::string> environment = {}) {
    TMqttSources sources;
    sources.hostName = "plant 7";
    sources.variable = [environment](const std::string& name) -> std::optional<std::string> {
        const auto found = environment.find(name);
        return found == environment.end() ? std::nullopt : std::optional(found->second);
    };
    sources.readFile = [](const std::string& path,
                          std::string& reason) -> std::optional<std::string> {
        if (path == "pw.txt") {
            return "s3cret\r\nsecond line\n";
        }
        reason = "no such file";
        return std::nullopt;
    };
    args.insert(args.begin(), {"--port", "/dev/ttyUSB0"});
    return ParseGatewayCommandLine(args, &sources);
}

} // namespace

TEST(MqttOptions, WhatTheCommandLineGives) {
    const TGatewayCommandLine plain = Parse({"--mqtt", "broker"});
    ASSERT_TRUE(plain.options.mqtt) << plain.message;
    EXPECT_EQ(plain.options.mqtt->port, 1883);
    EXPECT_EQ(plain.options.mqtt->prefix, "orbel/plant_7/ttyUSB0");
    EXPECT_EQ(plain.options.mqtt->clientId, "orbel-gateway:orbel/plant_7/ttyUSB0");
    EXPECT_TRUE(plain.options.serveModbus);
    EXPECT_FALSE(Parse({}).options.mqtt);

    const TGatewayCommandLine tls =
        Parse({"--mqtt", "[::1]", "--mqtt-ca", "ca.pem", "--listen", "none"});
    ASSERT_TRUE(tls.options.mqtt) << tls.message;
    EXPECT_EQ(tls.options.mqtt->host, "::1");
    EXPECT_EQ(tls.options.mqtt->port, 8883);
    EXPECT_FALSE(tls.options.serveModbus);

    const TGatewayCommandLine file =
        Parse({"--mqtt", "h:1884", "--mqtt-user", "u", "--mqtt-password-file", "pw.txt"},
              {{"ORBEL_MQTT_PASSWORD", "from the environment"}});
    ASSERT_TRUE(file.options.mqtt) << file.message;
    EXPECT_EQ(file.options.mqtt->port, 1884);
    EXPECT_EQ(file.options.mqtt->password, "s3cret"); // the file wins, its first line
    const TGatewayCommandLine variable =
        Parse({"--mqtt", "h", "--mqtt-user", "u"}, {{"ORBEL_MQTT_PASSWORD", "v"}});
    ASSERT_TRUE(variable.options.mqtt);
    EXPECT_TRUE(variable.options.mqtt->hasPassword);
    EXPECT_EQ(variable.options.mqtt->password, "v");
}

TEST(MqttOptions, RefusedWithAReason) {
    const struct {
        std::vector<std::string> args;
        std::string says;
    } cases[] = {
        {{"--listen", "none"}, "--listen none needs --mqtt"},
        {{"--mqtt-prefix", "a"}, "--mqtt-prefix needs --mqtt"},
        {{"--mqtt", "h:"}, "expected HOST or HOST:PORT"},
        {{"--mqtt", "h:70000"}, "expected HOST or HOST:PORT"},
        {{"--mqtt", "::1"}, "expected HOST or HOST:PORT"},
        {{"--mqtt", "h", "--mqtt-prefix", "a/+/b"}, "'+' or '#'"},
        {{"--mqtt", "h", "--mqtt-prefix", "a/"}, "end with '/'"},
        {{"--mqtt", "h", "--mqtt-cert", "c.pem"}, "go together"},
        {{"--mqtt", "h", "--mqtt-cert", "c", "--mqtt-key", "k"}, "needs --mqtt-ca"},
        {{"--mqtt", "h", "--mqtt-password-file", "pw.txt"}, "needs --mqtt-user"},
        {{"--mqtt", "h", "--mqtt-user", "u", "--mqtt-password-file", "x"}, "cannot read x"},
        {{"--mqtt", "h", "--mqtt-readings-qos", "2"}, "--mqtt-readings-qos"},
        {{"--mqtt", "h", "--mqtt-password", "p"}, "--mqtt-password"}, // never on the line
    };
    for (const auto& c : cases) {
        const TGatewayCommandLine parsed = Parse(c.args);
        EXPECT_EQ(parsed.kind, TGatewayCommandLine::TKind::Usage) << c.says;
        EXPECT_NE(parsed.message.find(c.says), std::string::npos) << parsed.message;
    }
}

TEST(MqttTopics, LevelsAndPrefixes) {
    EXPECT_EQ(DefaultTopicPrefix("host", "COM3"), "orbel/host/COM3");
    EXPECT_EQ(DefaultTopicPrefix("a+b#c", "/dev/serial/by-id/usb x"), "orbel/a_b_c/usb_x");
    EXPECT_EQ(DefaultTopicPrefix("", "\\\\.\\COM12"), "orbel/_/COM12");
    EXPECT_EQ(TopicPrefixProblem("site/tank 1"), "");
    EXPECT_NE(TopicPrefixProblem(""), "");
    EXPECT_NE(TopicPrefixProblem("a/#"), "");
}

TEST(MqttPayloads, FromTheState) {
    TInstrumentState s;
    s.portOpen = s.answering = s.hasReadings = true;
    const TClock::time_point now{100s};
    s.readingsTime = now - 1250ms;
    s.sensorStatus = 3;
    s.channelValid = {true, false};
    s.readings = {625, 580, 340, 295};
    const auto wall = std::chrono::sys_days{std::chrono::year{2026} / 12 / 8} + 10h + 1s;
    EXPECT_EQ(ReadingsPayload(s, now, wall),
              R"({"time":"2026-12-08T09:59:59.750Z","status":3,)"
              R"("channel1":{"level":62.5,"volume":58.0},"channel2":null,"age":1.25})");
    s.signature = {1, 2, 4242, 3, 4};
    EXPECT_EQ(IdentityPayload(s), R"({"address":1,"type":2,"serial":4242,"hard":3,"soft":4})");
    s.coefficientTenths = {50, 900, 1, 1000};
    EXPECT_EQ(CoefficientsPayload(s),
              R"({"channel1":{"c1":5.0,"c2":90.0},"channel2":{"c1":0.1,"c2":100.0}})");

    EXPECT_EQ(LinePayload(s), R"({"state":"answering","reason":null})");
    s.answering = false;
    s.lineReason = "no reply";
    EXPECT_EQ(LinePayload(s), R"({"state":"not answering","reason":"no reply"})");
    s.portOpen = false;
    s.lineReason = "cannot open COM3: \"busy\"";
    EXPECT_EQ(LinePayload(s), R"({"state":"lost","reason":"cannot open COM3: \"busy\""})");
}

TEST(MqttPublisher, BackoffFromHalfASecondToThirty) {
    std::vector<long long> waits;
    std::chrono::milliseconds wait{0};
    for (int i = 0; i < 9; ++i) {
        wait = NextBrokerBackoff(wait);
        waits.push_back(wait.count());
    }
    EXPECT_EQ(waits,
              (std::vector<long long>{500, 1000, 2000, 4000, 8000, 16000, 30000, 30000, 30000}));
}
