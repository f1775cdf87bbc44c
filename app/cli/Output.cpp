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

std::string TextAnswer(const TDecodedReply& reply, const std::string& decimalSeparator) {
    std::string text;
    for (const std::string& line : ReplyLines(reply, decimalSeparator)) {
        text += line + "\n";
    }
    return text;
}

std::string JsonAnswer(const TDecodedReply& reply, std::chrono::system_clock::time_point time) {
    std::string object = ReplyJson(reply, time);
    return object.empty() ? object : object + "\n";
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

namespace {

// The fields in the order of their columns: those without a group, then each
// group's.
template <typename Each> void InColumnOrder(const TCommandRow& row, Each each) {
    for (std::uint8_t g = 0; g <= row.groups.size(); ++g) {
        for (std::size_t i = 0; i < row.fields.size(); ++i) {
            if (row.fields[i].group == g) {
                each(i);
            }
        }
    }
}

} // namespace

std::string CsvHeader(const TCommandRow& row, const TCsvForm& form) {
    std::string line = CsvField("time", form);
    InColumnOrder(row, [&](std::size_t i) {
        const TReplyField& field = row.fields[i];
        line += form.list + CsvField(field.key + (field.group == 0 ? std::string()
                                                                   : std::to_string(field.group)),
                                     form);
    });
    return line + "\n";
}

std::string CsvAnswer(const TDecodedReply& reply, std::chrono::system_clock::time_point time,
                      const TCsvForm& form) {
    if (reply.row == nullptr) {
        return {};
    }
    std::string line = CsvField(IsoUtcTime(time), form);
    InColumnOrder(*reply.row, [&](std::size_t i) {
        const TDecodedValue& value = reply.values[i];
        line += form.list + (reply.GroupPresent(value.field->group)
                                 ? CsvField(ValueText(value, form.decimal), form)
                                 : "");
    });
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
