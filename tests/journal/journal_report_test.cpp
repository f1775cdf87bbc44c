// The report's rows (as found, as left, "not read"), the filters and the
// dates --since takes.
#include "JournalTestEntries.h"
#include "journal/JournalChain.h"
#include "journal/JournalReport.h"

#include <gtest/gtest.h>

using namespace orbel;

namespace {

struct TStep {
    const char* host;
    std::int64_t process;
    TLinkAnswer answer;
    std::optional<TCoefficientsRead> asFound = std::nullopt;
    std::uint16_t serial = 42;
};

std::string Journal(const std::vector<TStep>& steps) {
    std::string text;
    std::string prev(ChainStart);
    for (const TStep& step : steps) {
        TEntryFacts facts;
        facts.writer = {"orbel-cli", "1.0", step.host, "user", step.process};
        facts.port = "COM1";
        facts.answer = step.answer;
        facts.value = step.answer.request.calibrationTenths / 10.0;
        facts.instrument = TIdentityRead{{1, 1, step.serial, 1, 3}, step.answer.time};
        facts.asFound = step.asFound;
        const std::string line = EntryLine(facts, prev);
        text += line + "\n";
        prev = Sha256Hex(line);
    }
    return text;
}

} // namespace

TEST(JournalReport, EachActWithItsPointAsFoundAndAsLeftInItsOwnRun) {
    using orbel::test::Answered;
    using orbel::test::CoefficientsAnswer;
    const TCoefficientsRead found{{50, 900, 55, 905}, {}};
    const std::string text = Journal({
        {"a", 1, Answered(ciCalibrateC2Channel1, 875), found},
        {"b", 1, Answered(ciCalibrateC1Channel2, 60)}, // nothing read before
        {"b", 1, CoefficientsAnswer({50, 900, 60, 905})},
        {"a", 1, CoefficientsAnswer({50, 875, 55, 905})},
        {"a", 2, Answered(ciCalibrateC1Channel1, 70), found, 7}, // never read after
    });
    const TJournalReport report = BuildReport(text, {});
    const auto& rows = report.rows;
    ASSERT_EQ(rows.size(), 3U);
    const struct {
        std::optional<double> asFound, asLeft;
    } expected[] = {{90.0, 87.5}, {std::nullopt, 6.0}, {5.0, std::nullopt}};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].asFound, expected[i].asFound) << i;
        EXPECT_EQ(rows[i].asLeft, expected[i].asLeft) << i;
    }
    const struct {
        TJournalFilter filter;
        std::size_t rows;
    } filters[] = {
        {{7, "", ""}, 1},
        {{8, "", ""}, 0},
        {{std::nullopt, "", "COM2"}, 0},
        {{std::nullopt, "", "COM1"}, 3},
        {{std::nullopt, "2999-01-01T00:00:00.000Z", ""}, 0},
        {{std::nullopt, "2000-01-01T00:00:00.000Z", ""}, 3},
    };
    for (const auto& f : filters) {
        EXPECT_EQ(BuildReport(text, f.filter).rows.size(), f.rows);
    }
}

TEST(JournalReport, SinceTakesDatesLocalOrWithTheirOffset) {
    const struct {
        const char* given;
        int localOffset;
        const char* utc; // nullptr: refused
    } cases[] = {
        {"2026-12-08", 0, "2026-12-08T00:00:00.000Z"},
        {"2026-12-08", 180, "2026-12-07T21:00:00.000Z"},
        {"2026-12-08T10:15", 180, "2026-12-08T07:15:00.000Z"},
        {"2026-12-08 10:15:30Z", 180, "2026-12-08T10:15:30.000Z"},
        {"2026-12-08T01:00-05:30", 0, "2026-12-08T06:30:00.000Z"},
        {"2026-02-30", 0, nullptr},
        {"2026-12-08T25:00", 0, nullptr},
        {"08.12.2026", 0, nullptr},
        {"2026-12-08 junk", 0, nullptr},
        {"", 0, nullptr},
    };
    for (const auto& c : cases) {
        const auto utc = SinceUtc(c.given, c.localOffset);
        EXPECT_EQ(utc.has_value(), c.utc != nullptr) << c.given;
        if (utc && c.utc) {
            EXPECT_EQ(*utc, c.utc) << c.given;
        }
    }
}

TEST(JournalEntryText, TimesOffsetsAndBytes) {
    using namespace std::chrono;
    EXPECT_EQ(UtcText(sys_days{2026y / 12 / 8} + 2h + 31min + 35s + 123ms),
              "2026-12-08T02:31:35.123Z");
    EXPECT_EQ(OffsetText(180), "+03:00");
    EXPECT_EQ(OffsetText(-330), "-05:30");
    EXPECT_EQ(OffsetText(0), "+00:00");
    EXPECT_EQ(HexBytes({0xFF, 0x03, 0x0A}), "FF 03 0A");
}
