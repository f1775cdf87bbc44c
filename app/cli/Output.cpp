#include "app/cli/Output.h"

#include "serial/platform/PortVariable.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>

namespace orbel::cli {

// Keys in the order written, as the documented examples show them.
using json = nlohmann::ordered_json;

namespace {

std::string Padded(long long value, int width) {
    std::string digits = std::to_string(value);
    return std::string(
               static_cast<std::size_t>(std::max(0, width - static_cast<int>(digits.size()))),
               '0') +
           digits;
}

double Percent(std::uint16_t tenths) {
    return tenths / 10.0;
}

json Channel(const TChannelReading& channel) {
    if (!channel.hasSignal) {
        return nullptr;
    }
    return {{"level", Percent(channel.levelTenths)}, {"volume", Percent(channel.volumeTenths)}};
}

// The shortest text that reads back as the same double, in positional
// notation and with a point: 5.0, 12.25, 0.00001.
std::string PositionalNumber(double value) {
    std::array<char, 400> text{}; // the longest positional double, about 330 characters
    const auto [end, ec] =
        std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    std::string number(text.data(), ec == std::errc{} ? end : text.data());
    if (number.find('.') == std::string::npos) {
        number += ".0";
    }
    return number;
}

std::string Line(const json& object) {
    return object.dump() + "\n";
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

std::string TextAnswer(const TDecodedReply& reply, const std::string& decimalSeparator) {
    std::string text;
    if (reply.kind == TReplyKind::Coefficients) {
        const char* const names[] = {"C1 канал 1", "C2 канал 1", "C1 канал 2", "C2 канал 2"};
        for (std::size_t i = 0; i < 4; ++i) {
            text += std::string(names[i]) + " = " +
                    TenthsText(reply.coefficientTenths[i], decimalSeparator) + "\n";
        }
        return text;
    }
    for (const std::string& line : reply.memoLines) {
        text += line + "\n";
    }
    return text;
}

std::string JsonAnswer(const TDecodedReply& reply, std::chrono::system_clock::time_point time) {
    switch (reply.kind) {
    case TReplyKind::Signature: {
        const TSignatureValues& s = reply.signature;
        return Line({{"address", s.address},
                     {"type", s.type},
                     {"serial", s.serial},
                     {"hard", s.hard},
                     {"soft", s.soft}});
    }
    case TReplyKind::Readings:
        return Line({{"time", IsoUtcTime(time)},
                     {"status", reply.sensorStatus},
                     {"channel1", Channel(reply.channels[0])},
                     {"channel2", Channel(reply.channels[1])}});
    case TReplyKind::Coefficients: {
        const auto& c = reply.coefficientTenths;
        return Line({{"channel1", {{"c1", Percent(c[0])}, {"c2", Percent(c[1])}}},
                     {"channel2", {{"c1", Percent(c[2])}, {"c2", Percent(c[3])}}}});
    }
    case TReplyKind::Calibrated:
    case TReplyKind::Other:
        break;
    }
    return {};
}

std::string JsonCalibrated(const TCalibrationRequest& request) {
    // Written by hand: the value as given may be far below a tenth, where the
    // library's own form turns to an exponent.
    return R"({"calibrated":{"channel":)" + std::to_string(request.channel) + R"(,"point":)" +
           json(request.point).dump() + R"(,"value":)" + PositionalNumber(request.value) +
           R"(,"sent":)" + std::to_string(request.tenths) + "}}\n";
}

TCsvForm RegionalCsvForm(const std::string& decimal, const std::string& list) {
    TCsvForm form;
    form.decimal = decimal.empty() ? "." : decimal;
    form.list = !list.empty() && list != form.decimal ? list : form.decimal == "," ? ";" : ",";
    return form;
}

std::string CsvField(const std::string& text, const TCsvForm& form) {
    if (text.find(form.list) == std::string::npos &&
        text.find_first_of("\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return quoted + "\"";
}

std::string CsvHeader(const TCsvForm& form) {
    std::string line;
    for (const char* name : {"time", "status", "level1", "volume1", "level2", "volume2"}) {
        line += (line.empty() ? "" : form.list) + CsvField(name, form);
    }
    return line + "\n";
}

std::string CsvReadings(const TDecodedReply& reply, std::chrono::system_clock::time_point time,
                        const TCsvForm& form) {
    std::string line = CsvField(IsoUtcTime(time), form) + form.list +
                       CsvField(std::to_string(reply.sensorStatus), form);
    for (const TChannelReading& channel : reply.channels) {
        for (const std::uint16_t tenths : {channel.levelTenths, channel.volumeTenths}) {
            line += form.list +
                    (channel.hasSignal ? CsvField(TenthsText(tenths, form.decimal), form) : "");
        }
    }
    return line + "\n";
}

namespace {

std::string MenuText(const TMenuItem& item) {
    const std::string com = "COM" + std::to_string(item.number);
    return item.throughVariable ? com + " through " + PortVariableOf(com) : com;
}

json TextOrNull(const std::string& text) {
    return text.empty() ? json(nullptr) : json(text);
}

json IdOrNull(const std::optional<std::uint16_t>& id) {
    char text[5] = {};
    if (id) {
        std::snprintf(text, sizeof text, "%04x", *id);
    }
    return id ? json(text) : json(nullptr);
}

} // namespace

std::string PortText(const TSerialPortInfo& entry) {
    std::string adapter;
    const std::string made = entry.manufacturer +
                             (entry.manufacturer.empty() || entry.product.empty() ? "" : " ") +
                             entry.product;
    const std::string latency =
        entry.latencyTimerMs ? "latency timer " + std::to_string(*entry.latencyTimerMs) + " ms"
                             : "";
    for (const std::string& part : {entry.name, made, UsbIdText(entry), entry.driver, latency}) {
        if (!part.empty()) {
            adapter += (adapter.empty() ? "" : ", ") + part;
        }
    }
    std::string menus;
    for (const TMenuItem& item : entry.menus) {
        menus += (menus.empty() ? "" : ", ") + MenuText(item);
    }
    const std::string state = StateText(entry);
    const std::string advice = LatencyAdvice(entry);
    return entry.port + "  " + (adapter.empty() ? "unknown adapter" : adapter) +
           (state.empty() ? "" : "  " + state + ", not usable") + "  " +
           (menus.empty() ? "no menu item" : menus) +
           (entry.byId.empty() ? "" : "  " + entry.byId) + "\n" +
           (advice.empty() ? "" : "  " + advice + "\n");
}

std::string PortJson(const TSerialPortInfo& entry) {
    const TMenuItem first = entry.menus.empty() ? TMenuItem{} : entry.menus.front();
    const std::string com = "COM" + std::to_string(first.number);
    json menus = json::array();
    for (const TMenuItem& item : entry.menus) {
        menus.push_back(
            {{"menu", "COM" + std::to_string(item.number)},
             {"through", item.throughVariable ? json(PortVariable(static_cast<unsigned>(item.number)))
                                              : json(nullptr)}});
    }
    return Line(
        {{"port", entry.port},
         {"by_id", TextOrNull(entry.byId)},
         {"name", TextOrNull(entry.name)},
         {"vendor", TextOrNull(entry.manufacturer)},
         {"product", TextOrNull(entry.product)},
         {"usb_id", TextOrNull(UsbIdText(entry))},
         {"driver", TextOrNull(entry.driver)},
         {"menu", first.number != 0 ? json(com) : json(nullptr)},
         {"through", first.throughVariable ? json(PortVariableOf(com)) : json(nullptr)},
         {"vendor_id", IdOrNull(entry.vendorId)},
         {"product_id", IdOrNull(entry.productId)},
         {"serial_number", TextOrNull(entry.serialNumber)},
         {"state", entry.state == TPortState::Usable ? json("usable") : json(StateText(entry))},
         {"problem_code", entry.problemCode == 0 ? json(nullptr) : json(entry.problemCode)},
         {"latency_timer_ms", entry.latencyTimerMs ? json(*entry.latencyTimerMs) : json(nullptr)},
         {"menus", menus}});
}

} // namespace orbel::cli
