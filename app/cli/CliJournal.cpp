#include "app/cli/CliJournal.h"

#include "app/cli/CliRun.h"
#include "app/cli/Console.h"
#include "app/cli/JournalOutput.h"
#include "base/WideText.h"
#include "journal/JournalPlace.h"
#include "journal/JournalSystem.h"
#include "protocol/CommandSet.h"

#include <charconv>
#include <clocale>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>

namespace orbel::cli {

namespace {

std::string DecimalPoint() {
    const std::lconv* conventions = std::localeconv();
    const char* point = conventions != nullptr ? conventions->decimal_point : nullptr;
    return point != nullptr && *point != '\0' ? point : ".";
}

// How many lines that are no entries are named one by one.
constexpr int NamedProblems = 10;

void TellProblems(const std::string& path, const std::vector<TJournalRecord>& records,
                  std::ostream& err) {
    int count = 0;
    for (const TJournalRecord& r : records) {
        if (!r.IsEntry() && ++count <= NamedProblems) {
            err << "orbel-cli: " << path << " line " << r.line << ": " << r.problem
                << "; skipped\n";
        }
    }
    if (count > NamedProblems) {
        err << "orbel-cli: " << path << ": " << count - NamedProblems
            << " more lines that are no entries\n";
    }
}

// The filter from the options; what is wrong with them, or empty.
std::string FilterOf(const TCliOptions& options, TJournalFilter& filter) {
    if (!options.serial.empty()) {
        std::uint32_t serial = 0;
        const auto [end, ec] = std::from_chars(
            options.serial.data(), options.serial.data() + options.serial.size(), serial);
        if (ec != std::errc{} || end != options.serial.data() + options.serial.size() ||
            serial > 0xFFFF) {
            return "--serial: '" + options.serial + "' is no serial number (0 to 65535)";
        }
        filter.serial = static_cast<std::uint16_t>(serial);
    }
    if (!options.since.empty()) {
        const auto since =
            SinceUtc(options.since, LocalOffsetMinutes(std::chrono::system_clock::now()));
        if (!since) {
            return "--since: '" + options.since +
                   "' is no date (2026-12-08, 2026-12-08T10:15, with Z or +03:00 if not local)";
        }
        filter.since = *since;
    }
    filter.port = options.port.value_or("");
    return {};
}

std::string Printed(const TCliOptions& options, std::string_view text, const TJournalFilter& filter,
                    const std::string& path, std::ostream& err) {
    const TCsvForm csv = options.csvRegional ? RegionalCsvForm(RegionalSeparators().decimal,
                                                               RegionalSeparators().list)
                                             : TCsvForm{};
    const std::string point = DecimalPoint();
    std::string out;
    if (options.report) {
        const TReportLanguage language =
            JournalSpeaksRussian() ? TReportLanguage::Russian : TReportLanguage::English;
        const TJournalReport report = BuildReport(text, filter);
        TellProblems(path, {report.problems.begin(), report.problems.end()}, err);
        const std::vector<TReportRow>& rows = report.rows;
        out += options.csv    ? ReportCsvHeader(language, csv)
               : options.json ? std::string()
                              : ReportTextHeader(language);
        for (const TReportRow& row : rows) {
            out += options.csv    ? ReportCsv(row, language, csv)
                   : options.json ? ReportJson(row)
                                  : ReportText(row, language, point);
        }
        return out;
    }
    const std::vector<TJournalRecord> records = ReadJournal(text);
    TellProblems(path, records, err);
    out += options.csv ? JournalCsvHeader(csv) : std::string();
    for (const TJournalRecord& r : records) {
        if (Matches(r, filter)) {
            out += options.csv    ? JournalEntryCsv(r, csv)
                   : options.json ? JournalEntryJson(r)
                                  : JournalEntryText(r, point);
        }
    }
    return out;
}

int Written(const std::string& text, std::ostream& err) {
    const int code = WriteOutput(text);
    if (code == 0 || MeansReaderGone(code)) {
        return ecAnswered;
    }
    err << "orbel-cli: the output could not be written: " << SystemReason(code) << "\n";
    return ecOutput;
}

} // namespace

TCliJournal::TCliJournal(std::string port, std::ostream& err)
    : port_(std::move(port)), err_(err), recorder_("orbel-cli", ORBEL_VERSION, JournalPath()) {}

void TCliJournal::Record(const TAnswer& answer, std::optional<double> value) {
    const TJournalWrite write = recorder_.Record(port_, answer, value);
    if (!write.failure.empty() && !told_) {
        told_ = true;
        err_ << "orbel-cli: the calibration journal " << recorder_.Path()
             << " cannot be written: " << write.failure << "\n";
    }
    if (IsCalibrationCommand(answer.request.command)) {
        actFailure_ = write.failure;
    }
}

void TCliJournal::ReadAndRecord(TCliSession& session, int command, const char* what) {
    const TAnswer answer = session.Exchange(command);
    if (answer.kind != TAnswerKind::Answered) {
        err_ << "orbel-cli: " << what << " not read: " << answer.reason << "\n";
    }
    Record(answer);
}

void TCliJournal::ReadBefore(TCliSession& session) {
    ReadAndRecord(session, ciSignature, "the signature");
    ReadAndRecord(session, ciReadCoeffs, "the coefficients as found");
}

void TCliJournal::RecordAct(const TAnswer& answer, const TCalibrationRequest& request) {
    Record(answer, request.value);
}

int TCliJournal::Finish(TCliSession& session, bool readBack, int code) {
    if (readBack && code != ecPort) {
        ReadAndRecord(session, ciReadCoeffs, "the coefficients as left");
    }
    if (!actFailure_.empty()) {
        err_ << "orbel-cli: the calibration was sent but not recorded in the journal\n";
        return ecOutput;
    }
    return code;
}

int RunJournal(const TCliOptions& options, std::ostream& err) {
    TJournalFilter filter;
    if (const std::string problem = FilterOf(options, filter); !problem.empty()) {
        err << "orbel-cli: " << problem << "\n";
        return ecUsage;
    }
    const std::string path = JournalPath();
    std::error_code ec;
    if (path.empty() || !std::filesystem::exists(PathFromUtf8(path), ec)) {
        err << "orbel-cli: no calibration journal" << (path.empty() ? std::string() : " at " + path)
            << " yet\n";
        return ecAnswered;
    }
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    std::string text(static_cast<std::size_t>(std::filesystem::file_size(PathFromUtf8(path), ec)),
                     '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (!in.is_open() || ec || in.bad()) {
        err << "orbel-cli: the calibration journal " << path << " cannot be read\n";
        return ecPort;
    }
    if (!options.verify) {
        return Written(Printed(options, text, filter, path, err), err);
    }
    const std::vector<TJournalRecord> records = ReadJournal(text);
    TellProblems(path, records, err);
    if (const auto broken = VerifyChain(records)) {
        err << "orbel-cli: " << path << ": the chain breaks at line " << broken->line << ": "
            << broken->reason << "\n";
        return ecBrokenChain;
    }
    return Written(path + ": " + std::to_string(records.size()) + " lines, the chain holds\n", err);
}

} // namespace orbel::cli
