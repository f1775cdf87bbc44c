#include "app/gateway/MqttPayloads.h"

#include <nlohmann/json.hpp>

#include <cstdio>

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

std::string UtcTimeText(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const auto ms = floor<milliseconds>(time);
    const auto day = floor<days>(ms);
    const year_month_day date(day);
    const hh_mm_ss<milliseconds> clock(ms - day);
    char text[32];
    std::snprintf(
        text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
        static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
        static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
        static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
    return text;
}

std::string ReadingsPayload(const TInstrumentState& state, TClock::time_point now,
                            std::chrono::system_clock::time_point wallNow) {
    using namespace std::chrono;
    const auto age = duration_cast<milliseconds>(now - state.readingsTime);
    return json{{"time", UtcTimeText(wallNow - age)},
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
