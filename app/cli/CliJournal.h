// orbel-cli and the calibration journal: `calibrate` records its act and the
// reads around it (the signature and the coefficients before, as found; the
// coefficients after, as left); `journal` prints, reports and checks it.
#pragma once

#include "app/cli/CalibrationArgs.h"
#include "app/cli/CliOptions.h"
#include "app/cli/CliSession.h"
#include "journal/JournalRecorder.h"

#include <iosfwd>
#include <string>

namespace orbel::cli {

class TCliJournal {
public:
    TCliJournal(std::string port, std::ostream& err);

    // The signature and the coefficients, read and recorded before the act.
    void ReadBefore(TCliSession& session);
    // Records the act's answer.
    void RecordAct(const TAnswer& answer, const TCalibrationRequest& request);
    // The coefficients read and recorded after the act (unless `readBack` is
    // false); then the run's exit code: `code`, or 5 when the act was sent
    // and not recorded.
    int Finish(TCliSession& session, bool readBack, int code);

private:
    void Record(const TAnswer& answer, std::optional<double> value = std::nullopt);
    void ReadAndRecord(TCliSession& session, int command, const char* what);

    std::string port_;
    std::ostream& err_;
    TJournalRecorder recorder_;
    bool told_ = false;
    std::string actFailure_;
};

// `orbel-cli journal`: 0 done; 3 the journal could not be read; 4 --verify
// found a broken chain; 5 the output could not be written.
int RunJournal(const TCliOptions& options, std::ostream& err);

} // namespace orbel::cli
