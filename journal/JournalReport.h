// The journal's report: one row per calibration act with the calibrated
// point's coefficient as found (last read before the act on its port in the
// same run) and as left (the first read after it there). Pure, and quick on a
// long journal: only the lines that can matter are parsed whole.
#pragma once

#include "journal/JournalRead.h"

#include <deque>
#include <optional>
#include <string_view>
#include <vector>

namespace orbel {

struct TReportRow {
    const TJournalRecord* act = nullptr;
    std::optional<double> asFound; // nothing: not read
    std::optional<double> asLeft;
};

struct TJournalReport {
    std::deque<TJournalRecord> records;   // the acts and reads the rows point into
    std::vector<TReportRow> rows;         // the acts the filter lets through, in order
    std::vector<TJournalRecord> problems; // lines that are no entries
};

// The report of a journal's text (which must outlive it).
TJournalReport BuildReport(std::string_view text, const TJournalFilter& filter);

// Which of the four coefficients an act's channel and point name; nothing
// for any other channel or point.
std::optional<std::size_t> PointIndex(int channel, const std::string& point);

} // namespace orbel
