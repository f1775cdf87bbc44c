// The pure parts of orbel-cli: its command line, the calibration arguments,
// the terminal answers and the output forms.
#include "app/cli/CalibrationArgs.h"
#include "app/cli/CliOptions.h"
#include "app/cli/CliRun.h"
#include "app/cli/Output.h"
#include "base/ConsoleText.h"
#include "serial/ports/SysfsPorts.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <unistd.h>

using namespace orbel;
using namespace orbel::cli;

using Kind = TParsedCommandLine::TKind;

namespace {

// A reply as the decoder takes it off the line (address first, no CRC).
TDecodedReply Decoded(std::initializer_list<std::uint8_t> bytes) {
    EMUL_Functions::TFrame frame{};
    std::copy(bytes.begin(), bytes.end(), frame.begin());
    return DecodeReply(frame, ",");
}

} // namespace

TEST(CliCommandLine, OptionsStandBeforeOrAfterTheCommand) {
    const auto parsed = ParseCommandLine({"readings", "--port", "/dev/ttyUSB0", "--count", "0",
                                          "--mode", "system", "--every", "250", "--csv"});
    ASSERT_EQ(parsed.kind, Kind::Run) << parsed.message;
    const TCliOptions& o = parsed.options;
    EXPECT_EQ(o.command, TCliCommand::Instrument);
    EXPECT_EQ(o.instrumentCode, CMD_READINGS);
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
        {{"/?"}, Kind::Help},
        {{"--port", "COM2", "readings", "/?"}, Kind::Help},
        {{"readings", "--csv=comma"}, Kind::Usage},
        {{"readings", "--csv="}, Kind::Usage},
        {{"signature", "--csv", "regional"}, Kind::Usage},
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

TEST(CliCommandLine, CsvIsPlainUnlessRegionalIsAsked) {
    const std::pair<std::vector<std::string>, bool> cases[] = {
        {{"readings", "--csv"}, false},
        {{"readings", "--csv", "--count", "2"}, false},
        {{"readings", "--csv", "regional"}, true},
        {{"readings", "--csv=regional", "--count", "2"}, true},
        {{"--csv", "regional", "readings"}, true},
    };
    for (const auto& [args, regional] : cases) {
        const auto parsed = ParseCommandLine(args);
        ASSERT_EQ(parsed.kind, Kind::Run) << args[1] << ": " << parsed.message;
        EXPECT_TRUE(parsed.options.csv) << args[1];
        EXPECT_EQ(parsed.options.csvRegional, regional) << args[1] << " " << args.size();
    }
}

// A script's empty variable or a typing slip is named as it is, not taken for
// the next word or a device named "".
TEST(CliCommandLine, RefusalsNameWhatIsWrong) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"--port=", "signature", "coefficients"}, "--port needs a value"},
        {{"--port", "", "signature"}, "--port needs a value"},
        {{"readings", "--every="}, "--every needs a value"},
        {{"--trace=", "signature"}, "--trace needs a value"},
        {{"bogus"}, "unknown command 'bogus'"},
        {{"--json"}, "a command is required"},
        {{"readings", "--count", "-1"}, "--count: '-1' is not a whole number"},
    };
    for (const auto& [args, message] : cases) {
        const auto parsed = ParseCommandLine(args);
        EXPECT_EQ(parsed.kind, Kind::Usage) << message;
        EXPECT_NE(parsed.message.find(message), std::string::npos) << parsed.message;
    }
    for (const char* value : {"-inf", "-nan", "-x"}) { // a value, refused as one later
        const auto parsed = ParseCommandLine({"calibrate", "1", "C1", value, "--yes"});
        ASSERT_EQ(parsed.kind, Kind::Run) << value << ": " << parsed.message;
        EXPECT_EQ(parsed.options.value, value);
    }
}

TEST(CliCalibration, EncodesAsTheWindowAndRefusesWhatItRefuses) {
    const struct {
        const char *channel, *point;
        std::string value;
        int index; // 0: refused
        std::uint16_t tenths;
    } cases[] = {
        // The decimal text rounded, halves to even, not the double nearest to it.
        {"1", "C1", "12.25", 3, 122},
        {"1", "c2", "12,35", 4, 124},
        {"2", "С1", "0,05", 5, 0},
        {"1", "C1", "0.15", 3, 2},
        {"1", "C1", "0.45", 3, 4},
        {"1", "C1", "0.4500001", 3, 5},
        {"1", "C1", "0.05" + std::string(30, '0') + "1", 3, 1},
        {"1", "C1", "000065535e", 0, 0},
        {"1", "C1", "0006553.549", 3, 65535},
        {"1", "C1", "-0.05", 3, 0},
        {"1", "C1", "-0.06", 0, 0},
        {"1", "C1", "99999.9", 0, 0},
        {"2", "с2", "5", 6, 50},
        {"2", "C2", ",5", 6, 5},
        {"1", "C1", "5.", 3, 50},
        {"1", "C1", "+1.25", 3, 12},
        {"1", "C1", "-0.04", 3, 0},
        {"1", "C1", "6553.5", 3, 65535},
        {"1", "C1", "6553.55", 0, 0},
        {"1", "C1", "", 0, 0},
        {"1", "C1", "1,2,3", 0, 0},
        {"1", "C1", " 5", 0, 0},
        {"1", "C1", "5e1", 0, 0},
        {"1", "C1", "inf", 0, 0},
        {"1", "C1", "-inf", 0, 0},
        {"1", "C1", "nan", 0, 0},
        {"0", "C1", "5", 0, 0},
        {"12", "C1", "5", 0, 0},
        {"1", "C", "5", 0, 0},
        {"1", "Р1", "5", 0, 0},
        {"1", "c12", "5", 0, 0},
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

// No key sequence means yes in one keyboard layout and no in the other: the
// Y key alone ("y", «н») answers nothing.
TEST(CliQuestion, AnswersInEitherLayoutAndCase) {
    for (const char* yes : {"yes", "YES", " yes\r", "нуы", "д", "Д", "да", "ДА", "Да", "lf", "L"}) {
        EXPECT_EQ(YesNoAnswer(yes), true) << yes;
    }
    for (const char* no : {"n", "No", "тщ", "т", "нет", "НЕТ", "ytn", "YTN"}) {
        EXPECT_EQ(YesNoAnswer(no), false) << no;
    }
    for (const char* neither : {"", "  ", "y", "Y", "н", "Н", "ye", "yess", "j", "да!"}) {
        EXPECT_EQ(YesNoAnswer(neither), std::nullopt) << neither;
    }
    EXPECT_EQ(YesNoChoices(true), "[да/нет]");
    EXPECT_EQ(YesNoChoices(false), "[yes/no]");
}

TEST(CliOutput, RegionalSeparatorAndUtcTimes) {
    const TDecodedReply coefficients =
        Decoded({0xFF, 0xA5, 0x09, 0x00, 0x32, 0x03, 0x84, 0x00, 0x00, 0xFF, 0xFF});
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

TEST(CliOutput, RegionalCsvTakesTheUsersSeparatorsAndQuotesWhereNeeded) {
    const struct {
        const char *decimal, *list, *wantList, *wantDecimal;
    } forms[] = {
        {",", "", ";", ","},  // Linux, Russian
        {".", "", ",", "."},  // Linux, English
        {",", ";", ";", ","}, // Windows, Russian
        {".", ",", ",", "."}, // Windows, English
        {",", ",", ";", ","}, // a list separator no different from the decimal one
        {"", "", ",", "."},   // nothing known
        {".", "|", "|", "."}, // whatever the user set
        {",", ".", ".", ","}, // a point between fields: the decimal comma stays
    };
    for (const auto& f : forms) {
        const TCsvForm form = RegionalCsvForm(f.decimal, f.list);
        EXPECT_EQ(form.list, f.wantList) << f.decimal << " " << f.list;
        EXPECT_EQ(form.decimal, f.wantDecimal) << f.decimal << " " << f.list;
    }

    const std::pair<const char*, const char*> fields[] = {{"62,5", "62,5"},
                                                          {"a;b", "\"a;b\""},
                                                          {"say \"x\"", "\"say \"\"x\"\"\""},
                                                          {"a\nb", "\"a\nb\""},
                                                          {"", ""}};
    for (const auto& [text, field] : fields) {
        EXPECT_EQ(CsvField(text, {";", ","}), field) << text;
    }

    const TDecodedReply reply = Decoded({0xFF, 0x02, 0x0B, 0x02, 0x71, 0x02, 0x44, 0, 0, 0, 0, 2});
    const std::chrono::system_clock::time_point epoch{};
    EXPECT_EQ(CsvHeader(*reply.row, {";", ","}), "time;status;level1;volume1;level2;volume2\n");
    EXPECT_EQ(CsvAnswer(reply, epoch, {";", ","}), "1970-01-01T00:00:00.000Z;2;62,5;58,0;;\n");
    // A separator that could stand inside a field puts that field in quotes.
    EXPECT_EQ(CsvAnswer(reply, epoch, {".", ","}), "\"1970-01-01T00:00:00.000Z\".2.62,5.58,0..\n");
    EXPECT_EQ(CsvAnswer(reply, epoch, {":", "."}), "\"1970-01-01T00:00:00.000Z\":2:62.5:58.0::\n");
    EXPECT_EQ(CsvAnswer(reply, epoch), "1970-01-01T00:00:00.000Z,2,62.5,58.0,,\n");
}

TEST(ConsoleText, WritesStopBeforeACharacterNotYetWhole) {
    const std::pair<std::string, std::size_t> cases[] = {
        {"", 0},
        {"abc", 3},
        {"\xD0\x9D\xD0\xB5", 4}, // "Не"
        {"\xD0\x9D\xD0", 2},     // the lead byte of е alone
        {"a\xE2\x80", 1},        // two of three bytes
        {"a\xE2\x80\x94", 4},    // the whole dash
        {"\xF0\x9F\x98", 0},     // three of four
        {"\xF0\x9F\x98\x80", 4},
        {"a\x80", 2}, // a stray continuation byte goes as it is
        {"a\xFF", 2}, // as does a byte that begins nothing
        {"\x80\x80\x80\x80\x80", 5},
    };
    for (const auto& [text, whole] : cases) {
        EXPECT_EQ(WholeUtf8Length(text), whole) << text.size();
    }
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

// A sysfs of three serial ports (an 8250 UART at ttyS0 and ttyS10, an FTDI
// adapter at ttyUSB0 with its timer at 16 ms), an empty 8250 slot and a
// virtual terminal; two menu items on ttyS0.
TEST(CliPorts, ListsThePortsWithTheirAdaptersAndMenuItems) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("orbel-ports-" + std::to_string(::getpid()));
    const fs::path sys = root / "sys";
    const fs::path dev = root / "dev";
    const auto link = [](const fs::path& target, const fs::path& at) {
        fs::create_directories(at.parent_path());
        fs::create_directory_symlink(target, at);
    };
    const auto write = [](const fs::path& file, const std::string& text) {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << text << "\n";
    };
    const fs::path uart = sys / "devices/platform/serial8250";
    const fs::path usb = sys / "devices/pci0000:00/usb1/1-1";
    for (const char* n : {"0", "1", "10"}) {
        const fs::path port = uart / ("serial8250:0/serial8250:0." + std::string(n));
        link(sys / "bus/serial-base", port / "subsystem");
        link(sys / "bus/serial-base/drivers/port", port / "driver");
        link(port, sys / "class/tty" / ("ttyS" + std::string(n)) / "device");
        write(sys / "class/tty" / ("ttyS" + std::string(n)) / "type",
              n == std::string("1") ? "0" : "4");
        write(dev / ("ttyS" + std::string(n)), "");
    }
    link(sys / "bus/platform/drivers/serial8250", uart / "driver");
    link(sys / "bus/usb-serial/drivers/ftdi_sio", usb / "1-1:1.0/ttyUSB0/driver");
    link(usb / "1-1:1.0/ttyUSB0", sys / "class/tty/ttyUSB0/device");
    for (const auto& [file, text] : {std::pair<const char*, const char*>{"idVendor", "0403"},
                                     {"idProduct", "6001"},
                                     {"manufacturer", "FTDI"},
                                     {"product", "FT232R USB UART"},
                                     {"serial", "A1"}}) {
        write(usb / file, text);
    }
    write(usb / "1-1:1.0/ttyUSB0/latency_timer", "16");
    write(dev / "ttyUSB0", "");
    fs::create_directories(sys / "class/tty/tty1");
    fs::create_directories(dev / "serial/by-id");
    fs::create_symlink("../../ttyUSB0",
                       dev / "serial/by-id/usb-FTDI_FT232R_USB_UART_A1-if00-port0");

    std::vector<TSerialPortInfo> ports = ReadSysfsPorts(sys, dev);
    const std::map<int, TMenuTarget> targets = {
        {1, {fs::canonical(dev / "ttyUSB0").string(), true}},
        {2, {(dev / "ttyS1").string(), false}},
        {3, {fs::canonical(dev / "ttyS0").string(), false}},
        {4, {fs::canonical(dev / "ttyS0").string(), true}}};
    MarkMenuItems(ports, [&](int n) { return targets.at(n); });
    std::string text;
    for (const TSerialPortInfo& port : ports) {
        text += PortText(port);
    }
    const std::string d = dev.string();
    EXPECT_EQ(text, d + "/ttyS0  serial8250  COM3, COM4 through ORBEL_COM4\n" + d +
                        "/ttyS10  serial8250  no menu item\n" + d +
                        "/ttyUSB0  FTDI FT232R USB UART, 0403:6001, ftdi_sio, latency timer 16 ms  "
                        "COM1 through ORBEL_COM1  " +
                        d + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A1-if00-port0\n" +
                        "  replies wait up to 16 ms in the adapter; lower it to 1 ms: echo 1 | "
                        "sudo tee /sys/bus/usb-serial/devices/ttyUSB0/latency_timer\n");
    ASSERT_EQ(ports.size(), 3U);
    EXPECT_EQ(PortJson(ports[1]), R"({"port":")" + d +
                                      R"(/ttyS10","by_id":null,"name":null,"vendor":null,)"
                                      R"("product":null,"usb_id":null,"driver":"serial8250",)"
                                      R"("menu":null,"through":null,"vendor_id":null,)"
                                      R"("product_id":null,"serial_number":null,)"
                                      R"("state":"usable","problem_code":null,)"
                                      R"("latency_timer_ms":null,"menus":[]})"
                                      "\n");
    EXPECT_EQ(ports[2].serialNumber, "A1");
    EXPECT_EQ(ports[2].productId, 0x6001);
    fs::remove_all(root);
}
