// What a front end keeps in the calibration journal: every calibration act it
// sends, and the signature and coefficients reads around them, each with the
// instrument and the coefficients last read on the act's port in this run.
//
//   TJournalRecorder journal("orbel-cli", ORBEL_VERSION);
//   const TLinkAnswer answer = link.Run({ciCalibrateC1Channel1, 125});
//   if (const TJournalWrite w = journal.Record("COM1", answer, 12.5); !w.failure.empty()) ...
#pragma once

#include "journal/JournalAppend.h"
#include "journal/JournalEntry.h"

#include <map>
#include <optional>
#include <string>

namespace orbel {

struct TJournalWrite {
    bool written = false; // an entry is on the disk
    std::string failure;  // why an entry that was due is not; empty otherwise
};

class TJournalRecorder {
public:
    // `path`: the journal's file (JournalPath() for the user's own).
    TJournalRecorder(std::string program, std::string version, std::string path);

    // Records the answer to a request sent on `port`: every calibration that
    // reached the line, whatever came of it; an accepted signature or
    // coefficients read unless it repeats the last one recorded on that port
    // with no act between (a cyclic read). `value`: a calibration's value as
    // entered. A request that found no port open sent nothing: no entry.
    TJournalWrite Record(const std::string& port, const TLinkAnswer& answer,
                         std::optional<double> value = std::nullopt);

    const std::string& Path() const { return path_; }

private:
    struct TPortMemory {
        std::optional<TIdentityRead> identity;
        std::optional<TCoefficientsRead> coefficients;
        // What was recorded last, to leave out repeats; reset by an act.
        std::optional<TSignatureValues> recordedIdentity;
        std::optional<std::array<std::uint16_t, 4>> recordedCoefficients;
    };

    // False when the read repeats the one recorded last.
    static bool Remember(TPortMemory& memory, const TLinkAnswer& answer);
    TJournalWrite Write(const std::string& port, const TLinkAnswer& answer,
                        std::optional<double> value, const TPortMemory& before);

    TJournalWriter writer_;
    std::string path_;
    std::map<std::string, TPortMemory> ports_;
};

} // namespace orbel
