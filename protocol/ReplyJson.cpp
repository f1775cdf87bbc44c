#include "protocol/ReplyJson.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace orbel {

// Keys in the order of the fields.
using json = nlohmann::ordered_json;

namespace {

std::string Padded(long long value, int width) {
    std::string digits = std::to_string(value);
    return std::string(
               static_cast<std::size_t>(std::max(0, width - static_cast<int>(digits.size()))),
               '0') +
           digits;
}

json Value(const TDecodedValue& value) {
    switch (value.field->decoding) {
    case TDecoding::Byte:
    case TDecoding::Word:
        return value.raw;
    case TDecoding::Tenths:
    case TDecoding::Float:
        break;
    }
    return value.value;
}

void AddFields(json& object, const TDecodedReply& reply, std::uint8_t group) {
    for (const TDecodedValue& value : reply.values) {
        if (value.field->group == group) {
            object[value.field->key] = Value(value);
        }
    }
}

} // namespace

std::string IsoUtcTime(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const auto ms = floor<milliseconds>(time);
    const auto day = floor<days>(ms);
    const year_month_day date(day);
    const hh_mm_ss<milliseconds> clock(ms - day);
    return Padded(static_cast<int>(date.year()), 4) + "-" +
           Padded(static_cast<unsigned>(date.month()), 2) + "-" +
           Padded(static_cast<unsigned>(date.day()), 2) + "T" + Padded(clock.hours().count(), 2) +
           ":" + Padded(clock.minutes().count(), 2) + ":" + Padded(clock.seconds().count(), 2) +
           "." + Padded(clock.subseconds().count(), 3) + "Z";
}

std::string ReplyJson(const TDecodedReply& reply, std::chrono::system_clock::time_point time) {
    if (reply.row == nullptr) {
        return {};
    }
    json object = json::object();
    if (reply.row->repeated) {
        object["time"] = IsoUtcTime(time);
    }
    AddFields(object, reply, 0);
    for (std::uint8_t g = 1; g <= reply.row->groups.size(); ++g) {
        json group = nullptr;
        if (reply.GroupPresent(g)) {
            group = json::object();
            AddFields(group, reply, g);
        }
        object[reply.row->groups[g - 1].key] = std::move(group);
    }
    return object.dump();
}

} // namespace orbel
