#include "journal/JournalReport.h"

#include "journal/JournalChain.h"

#include <charconv>
#include <cmath>
#include <string>
#include <unordered_map>

namespace orbel {

namespace {

std::optional<double> PointValue(const std::optional<TJournalCoefficients>& coefficients,
                                 std::optional<std::size_t> index) {
    if (!coefficients || !index || std::isnan(coefficients->values[*index])) {
        return std::nullopt;
    }
    return coefficients->values[*index];
}

bool Holds(std::string_view line, std::string_view part) {
    return line.find(part) != std::string_view::npos;
}

// The process number as the writer puts it, without parsing the line.
std::optional<std::int64_t> ProcessOf(std::string_view line) {
    constexpr std::string_view Key = "\"process\":";
    const std::size_t at = line.find(Key);
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    std::int64_t process = 0;
    const char* first = line.data() + at + Key.size();
    const auto [end, ec] = std::from_chars(first, line.data() + line.size(), process);
    return ec == std::errc{} ? std::optional(process) : std::nullopt;
}

bool SameRunAndPort(const TJournalRecord& a, const TJournalRecord& b) {
    return a.process == b.process && a.host == b.host && a.program == b.program && a.port == b.port;
}

} // namespace

std::optional<std::size_t> PointIndex(int channel, const std::string& point) {
    if ((channel != 1 && channel != 2) || (point != "C1" && point != "C2")) {
        return std::nullopt;
    }
    return static_cast<std::size_t>((channel - 1) * 2 + (point == "C2" ? 1 : 0));
}

TJournalReport BuildReport(std::string_view text, const TJournalFilter& filter) {
    TJournalReport report;
    const std::string serial =
        filter.serial ? "\"serial\":" + std::to_string(*filter.serial) + "," : std::string();
    // The acts still waiting for their as-left read, by process.
    std::unordered_map<std::int64_t, std::vector<std::size_t>> waiting;
    std::size_t number = 0;
    while (!text.empty()) {
        const std::size_t feed = text.find('\n');
        const bool torn = feed == std::string_view::npos;
        const std::string_view line = text.substr(0, feed);
        text.remove_prefix(torn ? text.size() : feed + 1);
        ++number;
        if (torn || line.substr(0, EntryOpening.size()) != EntryOpening || line.back() != '}') {
            if (TJournalRecord odd = ReadEntryLine(number, line, torn); !odd.IsEntry()) {
                report.problems.push_back(std::move(odd));
                continue;
            }
        }
        if (Holds(line, R"("act":"calibrate")")) {
            if (!serial.empty() && !Holds(line, serial)) {
                continue;
            }
            TJournalRecord act = ReadEntryLine(number, line, false);
            if (!Matches(act, filter)) {
                continue;
            }
            const TJournalRecord& kept = report.records.emplace_back(std::move(act));
            waiting[kept.process].push_back(report.rows.size());
            report.rows.push_back(
                {&kept, PointValue(kept.coefficients, PointIndex(kept.channel, kept.point)), {}});
        } else if (!waiting.empty() && Holds(line, R"("act":"coefficients")")) {
            const auto process = ProcessOf(line);
            const auto acts = process ? waiting.find(*process) : waiting.end();
            if (acts == waiting.end()) {
                continue;
            }
            const TJournalRecord& read =
                report.records.emplace_back(ReadEntryLine(number, line, false));
            std::erase_if(acts->second, [&](std::size_t row) {
                TReportRow& r = report.rows[row];
                if (!read.coefficients || !SameRunAndPort(*r.act, read)) {
                    return false;
                }
                r.asLeft = PointValue(read.coefficients, PointIndex(r.act->channel, r.act->point));
                return true;
            });
            if (acts->second.empty()) {
                waiting.erase(acts);
            }
        }
    }
    return report;
}

} // namespace orbel
