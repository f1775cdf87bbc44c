// The pure parts of orbel-cli: its command line, the calibration arguments,
// the terminal answers and the output forms.
#include "app/cli/CalibrationArgs.h"
#include "app/cli/CliOptions.h"
#include "app/cli/CliRun.h"
#include "app/cli/Output.h"

#include <gtest/gtest.h>

using Kind = TParsedCommandLine::TKind;

TEST(CliCommandLine, OptionsStandBeforeOrAfterTheCommand) {
    const auto parsed = ParseCommandLine({"readings", "--port", "/dev/ttyUSB0", "--count", "0",
                                          "--mode", "system", "--every", "250", "--csv"});
    ASSERT_EQ(parsed.kind, Kind::Run) << parsed.message;
    const TCliOptions& o = parsed.options;
    EXPECT_EQ(o.command, TCliCommand::Readings);
    EXPECT_EQ(o.port, "/dev/ttyUSB0");
    EXPECT_EQ(o.softwareMode, false);
    EXPECT_EQ(o.count, 0U);
    EXPECT_EQ(o.everyMs, 250U);
    EXPECT_TRUE(o.csv);

    const auto defaults = ParseCommandLine({"--json", "--trace", "t.log", "readings"});
    ASSERT_EQ(defaults.kind, Kind::Run);
    EXPECT_EQ(defaults.options.port, std::nullopt);
    EXPECT_EQ(defaults.options.softwareMode, std::nullopt);
    EXPECT_EQ(defaults.options.count, 1U);
    EXPECT_EQ(defaults.options.everyMs, 1300U);
    EXPECT_EQ(defaults.options.trace, "t.log");
    EXPECT_TRUE(defaults.options.json);

    const auto before =
        ParseCommandLine({"--count", "3", "--yes", "--csv", "--every", "0", "readings"});
    EXPECT_EQ(before.kind, Kind::Usage); // --yes is no option of readings
    const auto first = ParseCommandLine({"--count", "3", "--csv", "--every", "0", "readings"});
    ASSERT_EQ(first.kind, Kind::Run) << first.message;
    EXPECT_EQ(first.options.count, 3U);
    EXPECT_EQ(first.options.everyMs, 0U);

    // A negative value is no option, whatever follows its minus sign.
    for (const char* value : {"-0,04", "-,04", "-.5", "-5", "-"}) {
        const auto calibrate = ParseCommandLine({"--yes", "calibrate", "2", "С1", value});
        ASSERT_EQ(calibrate.kind, Kind::Run) << value << ": " << calibrate.message;
        EXPECT_EQ(calibrate.options.value, value);
        EXPECT_TRUE(calibrate.options.yes);
    }
}

TEST(CliCommandLine, HelpVersionAndBadUsage) {
    const std::pair<std::vector<std::string>, Kind> cases[] = {
        {{"--help"}, Kind::Help},
        {{"calibrate", "-h"}, Kind::Help},
        {{"--version"}, Kind::Version},
        {{}, Kind::Usage},
        {{"status"}, Kind::Usage},
        {{"signature", "coefficients"}, Kind::Usage},
        {{"--mode", "fast", "signature"}, Kind::Usage},
        {{"readings", "--count", "-1"}, Kind::Usage},
        {{"signature", "--count", "2"}, Kind::Usage},
        {{"coefficients", "--yes"}, Kind::Usage},
        {{"calibrate", "1", "C1"}, Kind::Usage},
        {{"readings", "--json", "--csv"}, Kind::Usage},
        {{"--port"}, Kind::Usage},
    };
    for (const auto& [args, kind] : cases) {
        const auto parsed = ParseCommandLine(args);
        EXPECT_EQ(parsed.kind, kind) << (args.empty() ? "" : args[0]) << " " << args.size();
        EXPECT_EQ(parsed.message.empty(), kind != Kind::Usage);
    }
}

TEST(CliCalibration, EncodesAsTheWindowAndRefusesWhatItRefuses) {
    const struct {
        const char *channel, *point, *value;
        int index; // 0: refused
        std::uint16_t tenths;
    } cases[] = {
        {"1", "C1", "12.25", 3, 122}, {"1", "c2", "12,35", 4, 123}, {"2", "С1", "0,05", 5, 1},
        {"2", "с2", "5", 6, 50},      {"2", "C2", ",5", 6, 5},      {"1", "C1", "5.", 3, 50},
        {"1", "C1", "+1.25", 3, 12},  {"1", "C1", "-0.04", 3, 0},   {"1", "C1", "6553.5", 3, 65535},
        {"1", "C1", "6553.55", 0, 0}, {"1", "C1", "-0.05", 0, 0},   {"1", "C1", "", 0, 0},
        {"1", "C1", "1,2,3", 0, 0},   {"1", "C1", " 5", 0, 0},      {"1", "C1", "5e1", 0, 0},
        {"1", "C1", "inf", 0, 0},     {"0", "C1", "5", 0, 0},       {"12", "C1", "5", 0, 0},
        {"1", "C", "5", 0, 0},        {"1", "Р1", "5", 0, 0},       {"1", "c12", "5", 0, 0},
    };
    for (const auto& c : cases) {
        const TCalibrationArgs args = ParseCalibration(c.channel, c.point, c.value);
        const std::string name = std::string(c.channel) + " " + c.point + " " + c.value;
        ASSERT_EQ(args.request.has_value(), c.index != 0) << name;
        if (args.request) {
            EXPECT_EQ(args.request->commandIndex, c.index) << name;
            EXPECT_EQ(args.request->tenths, c.tenths) << name;
            EXPECT_EQ(args.request->point[0], 'C') << name;
        } else {
            EXPECT_FALSE(args.error.empty()) << name;
        }
    }
    // Far more digits than a double holds still round once, correctly.
    EXPECT_EQ(DecimalValue("0." + std::string(400, '0') + "1"), 0.0);
    EXPECT_EQ(DecimalValue("1" + std::string(400, '0')), std::numeric_limits<double>::infinity());
    EXPECT_EQ(DecimalValue("0.1000000000000000055511151231257827021181583404541015625001"), 0.1);
}

TEST(CliQuestion, AnswersInEitherAlphabetAndCase) {
    for (const char* yes : {"y", "Y", "yes", "YES", " y\r", "д", "Д", "да", "ДА", "Да"}) {
        EXPECT_EQ(YesNoAnswer(yes), true) << yes;
    }
    for (const char* no : {"n", "No", "н", "Н", "нет", "НЕТ"}) {
        EXPECT_EQ(YesNoAnswer(no), false) << no;
    }
    for (const char* neither : {"", "  ", "ye", "yess", "j", "да!"}) {
        EXPECT_EQ(YesNoAnswer(neither), std::nullopt) << neither;
    }
}

TEST(CliOutput, RegionalSeparatorAndUtcTimes) {
    TDecodedReply coefficients;
    coefficients.kind = TReplyKind::Coefficients;
    coefficients.coefficientTenths = {50, 900, 0, 65535};
    EXPECT_EQ(TextAnswer(coefficients, ","),
              "C1 канал 1 = 5,0\nC2 канал 1 = 90,0\nC1 канал 2 = 0,0\nC2 канал 2 = 6553,5\n");
    EXPECT_EQ(JsonAnswer(coefficients, {}),
              R"({"channel1":{"c1":5.0,"c2":90.0},"channel2":{"c1":0.0,"c2":6553.5}})"
              "\n");

    using namespace std::chrono;
    const sys_days day = year{2026} / December / 7;
    EXPECT_EQ(IsoUtcTime(day + hours(10) + minutes(15) + milliseconds(123)),
              "2026-12-07T10:15:00.123Z");
    EXPECT_EQ(IsoUtcTime(sys_days(year{1999} / January / 1) + milliseconds(86'399'999)),
              "1999-01-01T23:59:59.999Z");
}

TEST(CliOutput, CalibratedValueIsANumberWithAPoint) {
    const std::pair<double, const char*> cases[] = {
        {12.25, "12.25"}, {5, "5.0"}, {0.00001, "0.00001"}, {-0.04, "-0.04"}, {6553.5, "6553.5"}};
    for (const auto& [value, text] : cases) {
        const TCalibrationRequest request{2, "C2", 6, value, 0};
        EXPECT_EQ(JsonCalibrated(request), R"({"calibrated":{"channel":2,"point":"C2","value":)" +
                                               std::string(text) +
                                               R"(,"sent":0}})"
                                               "\n");
    }
}
