#include "sim/CommandLine.h"

#include <charconv>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

namespace orbel::sim {

namespace {

std::optional<std::uint64_t> ToNumber(std::string_view text, std::uint64_t max) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc{} || ptr != end || value > max) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::array<std::uint16_t, 4>> ToFour(std::string_view text) {
    std::array<std::uint16_t, 4> values{};
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::size_t comma = text.find(',');
        const bool last = i + 1 == values.size();
        if (last != (comma == std::string_view::npos)) {
            return std::nullopt;
        }
        const auto value = ToNumber(text.substr(0, comma), 65535);
        if (!value) {
            return std::nullopt;
        }
        values[i] = static_cast<std::uint16_t>(*value);
        text = last ? std::string_view{} : text.substr(comma + 1);
    }
    return values;
}

struct Parser {
    CommandLine line;
    std::optional<bool> drift;
    bool readingsGiven = false;
    std::string error;

    using Setter = std::function<bool(std::string_view)>;

    // Option taking a number in min..max.
    template <typename T> Setter Number(T& field, std::uint64_t min, std::uint64_t max) {
        return [this, &field, min, max](std::string_view value) {
            const auto n = ToNumber(value, max);
            if (!n || *n < min) {
                error = "'" + std::string(value) + "' is not a whole number from " +
                        std::to_string(min) + " to " + std::to_string(max);
                return false;
            }
            field = static_cast<T>(*n);
            return true;
        };
    }

    Setter Optional(std::optional<std::uint32_t>& field, std::uint64_t min, std::uint64_t max) {
        return [this, &field, min, max](std::string_view value) {
            std::uint32_t n = 0;
            if (!Number(n, min, max)(value)) {
                return false;
            }
            field = n;
            return true;
        };
    }

    Setter Four(std::array<std::uint16_t, 4>& field, bool isReadings) {
        return [this, &field, isReadings](std::string_view value) {
            const auto four = ToFour(value);
            if (!four) {
                error = "'" + std::string(value) +
                        "' is not four whole numbers from 0 to 65535 separated by commas";
                return false;
            }
            field = *four;
            readingsGiven = readingsGiven || isReadings;
            return true;
        };
    }

    Setter Text(std::string& field) {
        return [this, &field](std::string_view value) {
            if (value.empty()) {
                error = "a path is needed";
                return false;
            }
            field = std::string(value);
            return true;
        };
    }

    std::map<std::string_view, Setter, std::less<>> Valued() {
        Options& o = line.options;
        return {
            {"--link", Text(o.link)},
            {"--line", Text(o.line)},
            {"--log", Text(line.logPath)},
            {"--address", Number(o.address, 0, 255)},
            {"--type", Number(o.type, 0, 255)},
            {"--serial", Number(o.serial, 0, 65535)},
            {"--hard", Number(o.hard, 0, 255)},
            {"--soft", Number(o.soft, 0, 255)},
            {"--status", Number(o.status, 0, 255)},
            {"--readings", Four(o.readings, true)},
            {"--coeffs", Four(o.coeffs, false)},
            {"--stray", Number(o.stray, 0, 255)},
            {"--corrupt-every", Number(o.corruptEvery, 1, 1000000000)},
            {"--delay", Number(o.delayMs, 0, 60000)},
            {"--late-last", Number(o.lateLastMs, 0, 60000)},
            {"--hangup-after", Number(o.hangupAfter, 1, 1000000000)},
            {"--turnaround", Optional(o.turnaroundMs, 0, 60000)},
            {"--latency-timer", Number(o.latencyTimerMs, 1, 255)},
        };
    }

    std::map<std::string_view, std::function<void()>, std::less<>> Flags() {
        Options& o = line.options;
        return {
            {"--pace", [&o] { o.pace = true; }},          {"--silent", [&o] { o.silent = true; }},
            {"--alt-reply", [&o] { o.altReply = true; }}, {"--drift", [this] { drift = true; }},
            {"--no-drift", [this] { drift = false; }},    {"--help", [this] { line.help = true; }},
            {"-h", [this] { line.help = true; }},
        };
    }

    bool Parse(std::span<const std::string_view> args) {
        const auto valued = Valued();
        const auto flags = Flags();
        for (std::size_t i = 0; i < args.size(); ++i) {
            std::string_view name = args[i];
            std::optional<std::string_view> value;
            if (const std::size_t eq = name.find('='); name.starts_with("--") && eq != name.npos) {
                value = name.substr(eq + 1);
                name = name.substr(0, eq);
            }
            if (const auto flag = flags.find(name); flag != flags.end()) {
                if (value) {
                    error = std::string(name) + " takes no value";
                    return false;
                }
                flag->second();
                continue;
            }
            const auto setter = valued.find(name);
            if (setter == valued.end()) {
                error = "unknown option '" + std::string(name) + "'";
                return false;
            }
            if (!value) {
                if (i + 1 == args.size()) {
                    error = std::string(name) + " needs a value";
                    return false;
                }
                value = args[++i];
            }
            if (!setter->second(*value)) {
                error = std::string(name) + ": " + error;
                return false;
            }
        }
        if (!line.options.line.empty() && !line.options.link.empty()) {
            error = "--link cannot be used with --line: the tool's device is at the other end";
            return false;
        }
        // Readings given by hand go out exactly, unless drift is asked for.
        line.options.drift = drift.value_or(!readingsGiven);
        return true;
    }
};

} // namespace

ParseResult ParseCommandLine(std::span<const std::string_view> args) {
    Parser parser;
    if (!parser.Parse(args)) {
        return {std::nullopt, parser.error};
    }
    return {std::move(parser.line), {}};
}

std::string Usage() {
    return R"(Usage: orbel-sim [OPTION]...
A simulated two-channel level instrument on a pseudo-terminal. Prints the
device path as the first line, then serves requests until SIGINT or SIGTERM.

Line:
  --link PATH           make PATH a symbolic link to the device (removed at exit)
  --line DEVICE         serve on the terminal DEVICE that exists already (the
                        host side of a virtual machine's serial port, one end
                        of a null-modem cable) instead of a new pseudo-terminal;
                        ends with exit code 1 when the other end hangs up
  --log FILE            one line per frame: ms since start, RX or TX, hex bytes
Identity and state:
  --address N           address in every reply (0..255, default 1)
  --type N              instrument type (0..255, default 1)
  --serial N            serial number (0..65535, default 42)
  --hard N, --soft N    hardware and software versions (0..255, default 1 and 3)
  --status N            sensor status byte of the readings (0..255, default 0)
  --readings L1,V1,L2,V2
                        levels and volumes in tenths (default 625,580,340,295)
  --coeffs C1,C2,C3,C4  coefficients in tenths (default 50,900,50,900)
  --drift, --no-drift   readings wander slowly within 0..1000 over time; on by
                        default, off when --readings is given
Faults:
  --stray N             send N zero bytes before every reply (0..255)
  --corrupt-every N     every Nth reply carries a bad CRC
  --silent              never answer
  --alt-reply           answer every request with ADDR FA 02 01 and its CRC
  --delay MS            wait MS ms before answering (0..60000)
  --late-last MS        send a reply's last byte MS ms after the rest
  --hangup-after N      after the Nth reply hang up: close the line as soon as
                        the next request starts, or 300 ms after that reply,
                        remove the link and exit 0

Line timing:
  --pace                a real line's timing at 9600 baud: a request counts as
                        received one character time (1.146 ms) per byte after
                        its first byte, reply bytes go out one character time
                        apart
  --turnaround MS       the instrument's pause between a request and its reply
                        (0..60000; default 2 with --pace, else 0)
  --latency-timer MS    a USB adapter's latency timer (1..255): reply bytes
                        reach the tool in bursts every MS ms, as an FTDI
                        chip hands them over (16 is its default)

Unknown commands and frames with a bad CRC get no answer. Bad options exit 2.
)";
}

} // namespace orbel::sim
