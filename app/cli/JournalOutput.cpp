#include "app/cli/JournalOutput.h"

#include <nlohmann/json.hpp>

#include <array>
#include <charconv>
#include <cmath>

namespace orbel::cli {

using json = nlohmann::ordered_json;

namespace {

// The shortest text that reads back as the same number, with at least one
// decimal (5,0 as the window shows a coefficient) and `separator`.
std::string Number(double value, const std::string& separator) {
    std::array<char, 400> text{};
    const auto [end, ec] =
        std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    std::string number(text.data(), ec == std::errc{} ? end : text.data());
    const std::size_t point = number.find('.');
    return point == std::string::npos ? number + separator + "0"
                                      : number.replace(point, 1, separator);
}

std::string Optional(const std::optional<double>& value, const std::string& separator,
                     const std::string& none) {
    return value ? Number(*value, separator) : none;
}

std::string Serial(const TJournalRecord& r) {
    return r.serial ? std::to_string(*r.serial) : std::string();
}

std::string Known(int value) {
    return value >= 0 ? std::to_string(value) : std::string();
}

std::string Row(const std::vector<std::string>& fields, const TCsvForm& form) {
    std::string row;
    for (const std::string& field : fields) {
        row += (row.empty() ? "" : form.list) + CsvField(field, form);
    }
    return row + "\n";
}

struct TWords {
    const char* columns[8];
    const char* notRead;
};

constexpr TWords English = {
    {"time", "instrument", "channel", "point", "value", "outcome", "as found", "as left"},
    "not read"};
constexpr TWords Russian = {
    {"время", "прибор", "канал", "точка", "значение", "итог", "как найдено", "как оставлено"},
    "не считано"};

const TWords& Words(TReportLanguage language) {
    return language == TReportLanguage::Russian ? Russian : English;
}

std::vector<std::string> ReportFields(const TReportRow& row, TReportLanguage language,
                                      const std::string& separator) {
    const TJournalRecord& r = *row.act;
    const char* notRead = Words(language).notRead;
    return {r.time,
            Serial(r),
            std::to_string(r.channel),
            r.point,
            Optional(r.value, separator, ""),
            r.outcome,
            Optional(row.asFound, separator, notRead),
            Optional(row.asLeft, separator, notRead)};
}

json OrNull(const std::optional<double>& value) {
    return value ? json(*value) : json(nullptr);
}

} // namespace

std::string JournalEntryText(const TJournalRecord& r, const std::string& separator) {
    std::string text = r.time + " (" + r.offset + ")  " + r.program + " " + r.version + "  " +
                       r.user + "@" + r.host + "  " + r.port + "  " + r.act;
    if (r.act == "calibrate") {
        text += " channel " + std::to_string(r.channel) + " " + r.point + " = " +
                Optional(r.value, separator, "?") + " (" + std::to_string(r.tenths) + ")";
    }
    text += "  " + r.outcome;
    if (r.serial) {
        text += "  instrument " + Serial(r);
    }
    if (r.coefficients) {
        text += r.act == "calibrate" ? "  as found" : "  read";
        for (const double value : r.coefficients->values) {
            text += " " + (std::isnan(value) ? std::string("?") : Number(value, separator));
        }
    }
    return text + "\n";
}

std::string JournalEntryJson(const TJournalRecord& entry) {
    return std::string(entry.text) + "\n";
}

std::string JournalCsvHeader(const TCsvForm& form) {
    return Row({"time",         "offset",       "program",      "version",  "host",
                "user",         "port",         "device",       "act",      "address",
                "type",         "serial",       "hardware",     "software", "channel",
                "point",        "value",        "tenths",       "outcome",  "C1 channel 1",
                "C2 channel 1", "C1 channel 2", "C2 channel 2", "request",  "reply"},
               form);
}

std::string JournalEntryCsv(const TJournalRecord& r, const TCsvForm& form) {
    const bool act = r.act == "calibrate";
    std::vector<std::string> fields = {r.time,
                                       r.offset,
                                       r.program,
                                       r.version,
                                       r.host,
                                       r.user,
                                       r.port,
                                       r.device,
                                       r.act,
                                       Known(r.address),
                                       Known(r.type),
                                       Serial(r),
                                       Known(r.hardware),
                                       Known(r.software),
                                       act ? std::to_string(r.channel) : "",
                                       r.point,
                                       Optional(r.value, form.decimal, ""),
                                       act ? std::to_string(r.tenths) : "",
                                       r.outcome};
    for (std::size_t i = 0; i < 4; ++i) {
        const double value = r.coefficients ? r.coefficients->values[i] : std::nan("");
        fields.push_back(std::isnan(value) ? "" : Number(value, form.decimal));
    }
    fields.push_back(r.request);
    fields.push_back(r.reply);
    return Row(fields, form);
}

std::string ReportTextHeader(TReportLanguage language) {
    std::string text;
    for (const char* column : Words(language).columns) {
        text += (text.empty() ? "" : "  ") + std::string(column);
    }
    return text + "\n";
}

std::string ReportText(const TReportRow& row, TReportLanguage language,
                       const std::string& separator) {
    std::string text;
    for (const std::string& field : ReportFields(row, language, separator)) {
        text += (text.empty() ? "" : "  ") + (field.empty() ? "-" : field);
    }
    return text + "\n";
}

std::string ReportJson(const TReportRow& row) {
    const TJournalRecord& r = *row.act;
    json object = {{"time", r.time},
                   {"serial", r.serial ? json(*r.serial) : json(nullptr)},
                   {"channel", r.channel},
                   {"point", r.point},
                   {"value", OrNull(r.value)},
                   {"tenths", r.tenths},
                   {"outcome", r.outcome},
                   {"asFound", OrNull(row.asFound)},
                   {"asLeft", OrNull(row.asLeft)},
                   {"line", r.line}};
    return object.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
}

std::string ReportCsvHeader(TReportLanguage language, const TCsvForm& form) {
    const auto& columns = Words(language).columns;
    return Row({std::begin(columns), std::end(columns)}, form);
}

std::string ReportCsv(const TReportRow& row, TReportLanguage language, const TCsvForm& form) {
    return Row(ReportFields(row, language, form.decimal), form);
}

} // namespace orbel::cli
