// The journal's report: one row per calibration act with the calibrated
// point's coefficient as found (last read before the act on its port in the
// same run) and as left (the first read after it there). Pure.
#pragma once

#include "journal/JournalRead.h"

#include <optional>
#include <vector>

namespace orbel {

struct TReportRow {
    const TJournalRecord* act = nullptr;
    std::optional<double> asFound; // nothing: not read
    std::optional<double> asLeft;
};

// The acts the filter lets through, in the journal's order.
std::vector<TReportRow> BuildReport(const std::vector<TJournalRecord>& records,
                                    const TJournalFilter& filter);

// Which of the four coefficients an act's channel and point name; nothing
// for any other channel or point.
std::optional<std::size_t> PointIndex(int channel, const std::string& point);

} // namespace orbel
