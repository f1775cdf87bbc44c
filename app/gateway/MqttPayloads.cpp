#include "app/gateway/MqttPayloads.h"

#include "protocol/ReplyJson.h"

#include <nlohmann/json.hpp>

namespace orbel::gateway {

// Keys in the order orbel-cli writes them.
using json = nlohmann::ordered_json;

namespace {

double Percent(std::uint16_t tenths) {
    return tenths / 10.0;
}

json Channel(const TInstrumentState& state, std::size_t channel) {
    if (!state.channelValid[channel]) {
        return nullptr;
    }
    return {{"level", Percent(state.readings[2 * channel])},
            {"volume", Percent(state.readings[2 * channel + 1])}};
}

} // namespace

std::string ReadingsPayload(const TInstrumentState& state, TClock::time_point now,
                            std::chrono::system_clock::time_point wallNow) {
    using namespace std::chrono;
    const auto age = duration_cast<milliseconds>(now - state.readingsTime);
    return json{{"time", IsoUtcTime(wallNow - age)},
                {"status", state.sensorStatus},
                {"channel1", Channel(state, 0)},
                {"channel2", Channel(state, 1)},
                {"age", static_cast<double>(age.count()) / 1000.0}}
        .dump();
}

std::string IdentityPayload(const TInstrumentState& state) {
    const auto& s = state.signature;
    return json{{"address", s[0]}, {"type", s[1]}, {"serial", s[2]}, {"hard", s[3]}, {"soft", s[4]}}
        .dump();
}

std::string CoefficientsPayload(const TInstrumentState& state) {
    const auto& c = state.coefficientTenths;
    return json{{"channel1", {{"c1", Percent(c[0])}, {"c2", Percent(c[1])}}},
                {"channel2", {{"c1", Percent(c[2])}, {"c2", Percent(c[3])}}}}
        .dump();
}

std::string LinePayload(const TInstrumentState& state) {
    const char* const name = !state.portOpen   ? "lost"
                             : state.answering ? "answering"
                                               : "not answering";
    const json reason = state.lineReason.empty() ? json(nullptr) : json(state.lineReason);
    return json{{"state", name}, {"reason", reason}}.dump();
}

} // namespace orbel::gateway
