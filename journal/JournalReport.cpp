#include "journal/JournalReport.h"

#include <cmath>
#include <map>
#include <tuple>

namespace orbel {

namespace {

// One run of one program on one port: where an act's as-left read is found.
using TRunPort = std::tuple<std::string_view, std::string_view, std::int64_t, std::string_view>;

TRunPort RunPortOf(const TJournalRecord& r) {
    return {r.host, r.program, r.process, r.port};
}

std::optional<double> PointValue(const std::optional<TJournalCoefficients>& coefficients,
                                 std::optional<std::size_t> index) {
    if (!coefficients || !index || std::isnan(coefficients->values[*index])) {
        return std::nullopt;
    }
    return coefficients->values[*index];
}

} // namespace

std::optional<std::size_t> PointIndex(int channel, const std::string& point) {
    if ((channel != 1 && channel != 2) || (point != "C1" && point != "C2")) {
        return std::nullopt;
    }
    return static_cast<std::size_t>((channel - 1) * 2 + (point == "C2" ? 1 : 0));
}

std::vector<TReportRow> BuildReport(const std::vector<TJournalRecord>& records,
                                    const TJournalFilter& filter) {
    // Backwards, so that the read met last is the first one after an act.
    std::map<TRunPort, const TJournalRecord*> nextRead;
    std::vector<TReportRow> rows;
    for (auto r = records.rbegin(); r != records.rend(); ++r) {
        if (!r->IsEntry()) {
            continue;
        }
        if (r->act == "coefficients" && r->coefficients) {
            nextRead[RunPortOf(*r)] = &*r;
        } else if (r->act == "calibrate" && Matches(*r, filter)) {
            const auto index = PointIndex(r->channel, r->point);
            const auto read = nextRead.find(RunPortOf(*r));
            rows.push_back({&*r, PointValue(r->coefficients, index),
                            read == nextRead.end()
                                ? std::nullopt
                                : PointValue(read->second->coefficients, index)});
        }
    }
    return {rows.rbegin(), rows.rend()};
}

} // namespace orbel
