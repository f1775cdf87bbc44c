// What `orbel-cli journal` prints: entries and report rows as text, JSON
// Lines or CSV. Pure: every function returns whole lines.
#pragma once

#include "app/cli/Output.h"
#include "journal/JournalReport.h"

#include <string>

namespace orbel::cli {

// The language of the report's words (headings, "not read").
enum class TReportLanguage { English, Russian };

// An entry: one line of text; as JSON the line as stored; as CSV one row
// under JournalCsvHeader's columns.
std::string JournalEntryText(const TJournalRecord& entry, const std::string& decimalSeparator);
std::string JournalEntryJson(const TJournalRecord& entry);
std::string JournalCsvHeader(const TCsvForm& form);
std::string JournalEntryCsv(const TJournalRecord& entry, const TCsvForm& form);

// A report row; text rows are parted by two blanks under a heading line.
std::string ReportTextHeader(TReportLanguage language);
std::string ReportText(const TReportRow& row, TReportLanguage language,
                       const std::string& decimalSeparator);
std::string ReportJson(const TReportRow& row);
std::string ReportCsvHeader(TReportLanguage language, const TCsvForm& form);
std::string ReportCsv(const TReportRow& row, TReportLanguage language, const TCsvForm& form);

} // namespace orbel::cli
