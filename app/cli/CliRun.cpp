#include "app/cli/CliRun.h"

#include "app/cli/CalibrationArgs.h"
#include "app/cli/CliJournal.h"
#include "app/cli/CliSession.h"
#include "app/cli/Console.h"
#include "app/cli/Output.h"
#include "base/WideText.h"
#include "poll/Poller.h"
#include "protocol/CalibrationQuestions.h"
#include "protocol/CommandSet.h"
#include "protocol/UserIniLines.h"
#include "serial/errors/EComPort.h"
#include "serial/errors/PortErrorMessages.h"
#include "serial/ports/SerialPorts.h"

#include <clocale>
#include <filesystem>
#include <fstream>
#include <istream>
#include <memory>
#include <ostream>

namespace orbel::cli {

namespace {

// "cannot open" in the language of the port's own message, which follows the
// locale: one language a line. Windows keeps the window's words.
const char* CannotOpen([[maybe_unused]] const EComPort& e) {
#ifdef _WIN32
    return "Не могу открыть ";
#else
    const std::int32_t code = e.PortCode();
    const bool english =
        code >= 1 && code <= PortErrorCount &&
        e.Message().rfind(PortErrorTexts[static_cast<std::size_t>(code - 1)], 0) == 0;
    return english ? "cannot open " : "Не могу открыть ";
#endif
}

std::string DecimalSeparator() {
    const std::lconv* conventions = std::localeconv();
    const char* point = conventions != nullptr ? conventions->decimal_point : nullptr;
    return point != nullptr && *point != '\0' ? point : ".";
}

// Lower case for ASCII letters and for the Cyrillic capitals А to Я in UTF-8.
std::string Lowered(const std::string& text) {
    std::string lower;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (c >= 'A' && c <= 'Z') {
            lower.push_back(static_cast<char>(c - 'A' + 'a'));
        } else if (c == 0xD0 && next >= 0x90 && next <= 0x9F) { // А..П -> а..п
            lower += {'\xD0', static_cast<char>(next + 0x20)};
            ++i;
        } else if (c == 0xD0 && next >= 0xA0 && next <= 0xAF) { // Р..Я -> р..я
            lower += {'\xD1', static_cast<char>(next - 0x20)};
            ++i;
        } else {
            lower.push_back(static_cast<char>(c));
        }
    }
    return lower;
}

// What the run has met so far, and the exit code it makes.
class TTally {
public:
    void Count(const TAnswer& answer, std::ostream& err) {
        switch (answer.kind) {
        case TAnswerKind::Answered:
            return;
        case TAnswerKind::NoAnswer:
            ++noAnswers_;
            err << "Не отвечает (" << noAnswers_ << "): " << answer.reason << "\n";
            break;
        case TAnswerKind::AltReply:
            altReply_ = true;
            err << "orbel-cli: " << answer.reason << "\n";
            break;
        case TAnswerKind::PortLost:
            portLost_ = true;
            err << "orbel-cli: " << answer.reason << "\n";
            break;
        }
        err.flush();
    }
    bool PortLost() const { return portLost_; }
    // The port's loss ends the run; code 250 says more than a missing answer.
    int ExitCode() const {
        return portLost_        ? ecPort
               : altReply_      ? ecAltReply
               : noAnswers_ > 0 ? ecNoAnswer
                                : ecAnswered;
    }

private:
    int noAnswers_ = 0;
    bool altReply_ = false;
    bool portLost_ = false;
};

// Standard output as the answers' destination. Once a write has failed or
// the reader has gone, nothing more is written.
class TAnswerOutput {
public:
    // False when the answer could not be written.
    bool Write(const std::string& lines) {
        if (ended_) {
            return false;
        }
        const int code = cli::WriteOutput(lines);
        if (code == 0) {
            return true;
        }
        ended_ = true;
        if (!cli::MeansReaderGone(code)) {
            failure_ = code; // a reader that has gone is a quiet end
        }
        return false;
    }
    void ReaderGone() { ended_ = true; }
    bool Ended() const { return ended_; }
    // The exit code of a run that met `tally`, with the failure reported.
    int ExitCode(const TTally& tally, std::ostream& err) const {
        if (!failure_) {
            return tally.ExitCode();
        }
        err << "orbel-cli: the output could not be written: " << cli::SystemReason(*failure_)
            << "\n";
        return ecOutput;
    }

private:
    bool ended_ = false;
    std::optional<int> failure_;
};

TOutputForm Form(const TCliOptions& options) {
    return options.json ? TOutputForm::Json : options.csv ? TOutputForm::Csv : TOutputForm::Text;
}

// The CSV form asked for: the plain one, or the user's regional separators.
TCsvForm CsvForm(const TCliOptions& options) {
    if (!options.csvRegional) {
        return {};
    }
    const cli::TRegionalSeparators regional = cli::RegionalSeparators();
    return RegionalCsvForm(regional.decimal, regional.list);
}

std::string AnswerText(const TAnswer& answer, TOutputForm form, const std::string& separator,
                       const TCsvForm& csv = {}) {
    switch (form) {
    case TOutputForm::Json:
        return JsonAnswer(answer.reply, answer.time);
    case TOutputForm::Csv:
        return CsvAnswer(answer.reply, answer.time, csv);
    case TOutputForm::Text:
        break;
    }
    return TextAnswer(answer.reply, separator);
}

// What is typed within this long of the question appearing was typed before
// it could be read (a second press of Enter): it answers nothing.
constexpr int TypeAheadGuardMs = 300;

bool Confirmed(const TCalibrationRequest& request, std::istream& in, std::ostream& err) {
    const bool russian = cli::ConsoleSpeaksRussian();
    for (bool again = false;; again = true) {
        if (again) {
            err << AskAgainText(russian) << "\n";
        }
        err << CalibrationQuestion(request.commandIndex) << " " << YesNoChoices(russian) << " "
            << std::flush;
        cli::DiscardTypeAhead(TypeAheadGuardMs);
        std::string line;
        if (!std::getline(in, line)) {
            err << "\n";
            return false;
        }
        if (const std::optional<bool> yes = YesNoAnswer(line)) {
            return *yes;
        }
    }
}

using Clock = std::chrono::steady_clock;

// How often a wait between requests looks at the port: a lost device ends
// the run well within a second.
constexpr int PortCheckMs = 250;

// Waits for the time of the next request; false when the run is to end
// instead: a stop request, the answers' reader gone, the port lost.
bool WaitForNext(Clock::time_point next, TCliSession& session, TAnswerOutput& output, TTally& tally,
                 std::ostream& err) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now());
        if (left.count() <= 0) {
            return !cli::StopRequested();
        }
        switch (
            cli::WaitForStop(static_cast<int>(std::min<long long>(left.count(), PortCheckMs)))) {
        case cli::TWaitEnd::Stop:
            return false;
        case cli::TWaitEnd::OutputGone:
            output.ReaderGone();
            return false;
        case cli::TWaitEnd::Time:
            break;
        }
        if (std::optional<std::string> lost = session.LostPort()) {
            TAnswer answer;
            answer.kind = TAnswerKind::PortLost;
            answer.reason = std::move(*lost);
            tally.Count(answer, err);
            return false;
        }
    }
}

// A repeated command (readings): --count requests, one every --every ms.
int RunRepeated(TCliSession& session, const TCliOptions& options, const TCommandRow& row,
                std::ostream& err) {
    const TOutputForm form = Form(options);
    const std::string separator = DecimalSeparator();
    const TCsvForm csv = CsvForm(options);
    TAnswerOutput output;
    TTally tally;
    cli::CatchStopRequests();
    if (form == TOutputForm::Csv) {
        output.Write(CsvHeader(row, csv));
    }
    bool printed = false;
    const auto show = [&](const TAnswer& answer) {
        tally.Count(answer, err);
        if (answer.kind == TAnswerKind::Answered) {
            const bool gap = form == TOutputForm::Text && printed;
            output.Write((gap ? "\n" : "") + AnswerText(answer, form, separator, csv));
            printed = true;
        }
    };
    // The poll loop asks for readings only and says nothing: each answer is
    // counted and shown here as it comes. Another repeated command is asked
    // for directly.
    TSessionLine line(session);
    TPollCycle cycle(
        line, {}, [](const std::string&) {}, TPollSettings{false});
    cycle.AddObserver([&](const TPollResult& poll) {
        if (poll.readings != nullptr) {
            show(TSessionLine::Answer(*poll.readings));
        }
    });
    Clock::time_point next = Clock::now();
    for (std::uint32_t i = 0; (options.count == 0 || i < options.count) && !output.Ended(); ++i) {
        if (!WaitForNext(next, session, output, tally, err)) {
            break;
        }
        next = NextPollStart(next, std::chrono::milliseconds(options.everyMs), Clock::now());
        if (row.code == CMD_READINGS) {
            cycle.Step(Clock::now());
        } else {
            show(session.Exchange(FirstRequestOf(row.code)));
        }
        if (tally.PortLost()) {
            break;
        }
    }
    return output.ExitCode(tally, err);
}

int RunOnce(TCliSession& session, const TCliOptions& options,
            const std::optional<TCalibrationRequest>& calibration, std::ostream& err,
            TCliJournal* journal = nullptr) {
    const int index =
        calibration ? calibration->commandIndex : FirstRequestOf(options.instrumentCode);
    const TAnswer answer = session.Exchange(index, calibration ? calibration->tenths : 0);
    if (journal != nullptr && calibration) {
        journal->RecordAct(answer, *calibration);
    }
    TTally tally;
    tally.Count(answer, err);
    TAnswerOutput output;
    if (answer.kind == TAnswerKind::Answered) {
        const TOutputForm form = Form(options);
        output.Write(calibration && form == TOutputForm::Json
                         ? JsonCalibrated(*calibration)
                         : AnswerText(answer, form, DecimalSeparator()));
    }
    return output.ExitCode(tally, err);
}

int RunPorts(const TCliOptions& options, std::ostream& err) {
    const std::vector<TSerialPortInfo> entries = ListSerialPorts();
    if (entries.empty()) {
        err << "orbel-cli: no serial ports found\n";
    }
    TAnswerOutput output;
    for (const TSerialPortInfo& entry : entries) {
        if (!output.Write(options.json ? PortJson(entry) : PortText(entry))) {
            break;
        }
    }
    return output.ExitCode(TTally(), err);
}

} // namespace

std::optional<bool> YesNoAnswer(const std::string& line) {
    const std::size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return std::nullopt;
    }
    const std::string word =
        Lowered(line.substr(first, line.find_last_not_of(" \t\r") - first + 1));
    // Each word with the same keys typed in the other layout: "yes" is "нуы"
    // on the Russian one, "да" is "lf" on the Latin one. The key Y/Н alone
    // means yes in one layout and «нет» in the other: it answers nothing.
    for (const char* yes : {"yes", "нуы", "да", "lf", "д", "l"}) {
        if (word == yes) {
            return true;
        }
    }
    for (const char* no : {"no", "тщ", "нет", "ytn", "n", "т"}) {
        if (word == no) {
            return false;
        }
    }
    return std::nullopt;
}

std::string YesNoChoices(bool russian) {
    return russian ? "[да/нет]" : "[yes/no]";
}

std::string AskAgainText(bool russian) {
    return russian ? "Ответьте «да» или «нет»." : "Answer yes or no.";
}

TPortChoice ChoosePort(const TCliOptions& options, std::ostream& err) {
    TPortChoice choice;
    std::string portLine;
    std::string modeLine = "1";
    const std::string path = UserIniPath();
    std::error_code ec;
    // Only a file counts: no file (or a folder of that name) means nothing was saved.
    if ((!options.port || !options.softwareMode) &&
        std::filesystem::is_regular_file(PathFromUtf8(path), ec)) {
        try {
            std::ifstream in(PathFromUtf8(path), std::ios::binary);
            if (!in.is_open()) {
                throw std::runtime_error("cannot open it");
            }
            const TUserIniLines lines = ReadUserIniLines(in);
            portLine = lines.Port;
            modeLine = lines.Mode;
        } catch (const std::exception& e) {
            err << "orbel-cli: " << path << " ignored: " << e.what() << "\n";
            portLine.clear();
            modeLine = "1";
        }
    }
    const int number = UserIniPortNumber(portLine);
    choice.port = options.port.value_or(number != 0 ? portLine : "COM1");
    choice.softwareMode = options.softwareMode.value_or(UserIniSoftwareMode(modeLine));
    return choice;
}

int RunCli(const TCliOptions& options, std::istream& in, std::ostream& err) {
    if (options.command == TCliCommand::Ports) {
        return RunPorts(options, err);
    }
    if (options.command == TCliCommand::Journal) {
        return RunJournal(options, err);
    }
    std::optional<TCalibrationRequest> calibration;
    if (options.command == TCliCommand::Calibrate) {
        TCalibrationArgs args = ParseCalibration(options.channel, options.point, options.value);
        if (!args.request) {
            err << "orbel-cli: " << args.error << "; nothing sent\n";
            return ecUsage;
        }
        if (!options.yes && !cli::StdinIsTerminal()) {
            err << "orbel-cli: standard input is not a terminal, so the tank question cannot be "
                   "asked; give --yes to calibrate without it; nothing sent\n";
            return ecUsage;
        }
        calibration = args.request;
    }

    const TPortChoice choice = ChoosePort(options, err);
    std::unique_ptr<TCliSession> session;
    try {
        cli::WithStopRequestsHeldFromNewThreads([&] {
            session = std::make_unique<TCliSession>(options.trace, choice.softwareMode,
                                                    DecimalSeparator());
            session->Open(choice.port);
        });
    } catch (const EComPort& e) {
        err << "orbel-cli: " << CannotOpen(e) << choice.port << ": " << e.what() << "\n";
        return ecPort;
    }

    if (calibration && !options.yes && !Confirmed(*calibration, in, err)) {
        err << "orbel-cli: not confirmed; nothing sent\n";
        return ecUsage;
    }
    const TCommandRow* row = FindCommandRow(options.instrumentCode);
    if (!calibration && row != nullptr && row->repeated) {
        return RunRepeated(*session, options, *row, err);
    }
    if (calibration) {
        TCliJournal journal(choice.port, err);
        if (!options.noReadback) {
            journal.ReadBefore(*session);
        }
        const int code = RunOnce(*session, options, *calibration, err, &journal);
        return journal.Finish(*session, !options.noReadback, code);
    }
    return RunOnce(*session, options, calibration, err);
}

} // namespace orbel::cli
