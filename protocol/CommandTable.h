// The instrument's commands, one row each: the code, the data its request
// carries, the length of its reply and the fields the reply holds, and what
// every front end makes of it (the window's selector items, orbel-cli's
// subcommand and help line, the gateway's polling and register block). The
// request builder, the reply decoder and the front ends all read this table;
// the checks at its end refuse a row that is incomplete or out of place.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace orbel {

enum TCommandCode : std::uint8_t {
    CMD_SIGNATURE = 32,
    CMD_READINGS = 2,
    CMD_READ_COEFFS = 165,
    CMD_CALIBRATE = 164,
    // The code the instrument may answer any request with instead of its own.
    CMD_ALT_REPLY = 250,
};

// What the sender supplies after a request's fixed data.
enum class TArgument : std::uint8_t {
    None,
    // The point selector (the selector item's place in its row), then the
    // value in tenths, high byte first.
    CalibrationPoint,
};

constexpr std::uint8_t ArgumentBytes(TArgument argument) {
    return argument == TArgument::CalibrationPoint ? 3 : 0;
}

// How a field's bytes make its value.
enum class TDecoding : std::uint8_t {
    Byte,   // one byte
    Word,   // 16 bits, high byte first
    Tenths, // 16 bits, high byte first, in tenths: 500 is 50.0
    Float,  // IEEE 754 single precision, big-endian
};

constexpr std::uint8_t DecodingBytes(TDecoding decoding) {
    return decoding == TDecoding::Byte ? 1 : decoding == TDecoding::Float ? 4 : 2;
}

// The Modbus registers a field takes in the gateway's map.
constexpr std::uint8_t DecodingRegisters(TDecoding decoding) {
    return decoding == TDecoding::Float ? 2 : 1;
}

// One value of a reply.
struct TReplyField {
    // The JSON key (inside its group's object when it has one); the CSV
    // column is the key followed by the group's number.
    const char* key;
    // The text line, "{}" standing for the value; nullptr: no line.
    const char* label;
    TDecoding decoding;
    std::uint8_t offset; // in the frame: 0 is the address, 3 the first data byte
    std::uint8_t group;  // 0: none; n: the row's group n
};

// Fields that go together (a channel): one JSON object, null while the group
// is absent, and a heading in the text.
struct TFieldGroup {
    const char* key;
    const char* heading; // the text line before its fields, or nullptr
    const char* absent;  // the text line in their place while it is absent
    // Present while the status byte at statusOffset is n for a bit n set;
    // 0: always present.
    std::uint8_t presentWhen;
    std::uint8_t statusOffset;
};

// When orbel-gateway asks for a command.
enum class TGatewayPoll : std::uint8_t {
    None,
    Period,  // every poll period
    Connect, // after every (re)connection and a silent spell, until answered
};

struct TCommandRow {
    TCommandCode code;
    // Data bytes every request of the command carries, in order.
    std::array<std::uint8_t, 3> fixedData;
    std::uint8_t fixedCount;
    TArgument argument;
    // The length byte of the reply (its data bytes plus one).
    std::uint8_t replyLength;
    std::span<const TReplyField> fields;
    std::span<const TFieldGroup> groups;
    // The window's selector items (UTF-8), one request each, in order.
    std::span<const char* const> items;
    // orbel-cli's subcommand and its help line (line feeds part its lines);
    // nullptr: none of its own.
    const char* cliName;
    const char* cliHelp;
    // The subcommand repeats the request (--count, --every) and offers CSV;
    // each answer carries its time.
    bool repeated;
    TGatewayPoll poll;
    std::uint8_t registerBlock; // the gateway's first register for the fields

    // The length byte of the request (its data bytes plus one).
    constexpr std::uint8_t RequestLength() const {
        return static_cast<std::uint8_t>(fixedCount + ArgumentBytes(argument) + 1);
    }
    constexpr bool ReadOnly() const { return argument == TArgument::None; }
    constexpr std::uint8_t RegisterCount() const {
        std::uint8_t count = 0;
        for (const TReplyField& field : fields) {
            count = static_cast<std::uint8_t>(count + DecodingRegisters(field.decoding));
        }
        return count;
    }
};

namespace command_rows {

inline constexpr TReplyField SignatureFields[] = {
    {"address", "Адрес прибора {}", TDecoding::Byte, 0, 0},
    {"type", "Тип прибора {}", TDecoding::Byte, 3, 0},
    {"serial", "C\u0435рийный № {}", TDecoding::Word, 4, 0}, // a Latin C
    {"hard", "Версия HARD {}", TDecoding::Byte, 6, 0},
    {"soft", "Версия SOFT {}", TDecoding::Byte, 7, 0},
};

// Status 0: both sensors answer; 1: only channel 2's; 2: only channel 1's.
inline constexpr TReplyField ReadingFields[] = {
    {"status", nullptr, TDecoding::Byte, 11, 0},
    {"level", "Уровень={}%", TDecoding::Tenths, 3, 1},
    {"volume", "Объем={}%", TDecoding::Tenths, 5, 1},
    {"level", "Уровень={}%", TDecoding::Tenths, 7, 2},
    {"volume", "Объем={}%", TDecoding::Tenths, 9, 2},
};
inline constexpr TFieldGroup ReadingGroups[] = {
    {"channel1", "КАНАЛ1 :", "Нет сигнала с датчика", 0b101, 11},
    {"channel2", "КАНАЛ2 :", "Нет сигнала с датчика", 0b011, 11},
};

inline constexpr TReplyField CoefficientFields[] = {
    {"c1", "C1 канал 1 = {}", TDecoding::Tenths, 3, 1},
    {"c2", "C2 канал 1 = {}", TDecoding::Tenths, 5, 1},
    {"c1", "C1 канал 2 = {}", TDecoding::Tenths, 7, 2},
    {"c2", "C2 канал 2 = {}", TDecoding::Tenths, 9, 2},
};
inline constexpr TFieldGroup CoefficientGroups[] = {
    {"channel1", nullptr, nullptr, 0, 0},
    {"channel2", nullptr, nullptr, 0, 0},
};

inline constexpr TReplyField CalibratedFields[] = {
    {"done", "Операция выполнена", TDecoding::Byte, 3, 0},
};

// Item 0 starts with a Latin C; the calibration items use a Cyrillic С.
inline constexpr const char* SignatureItems[] = {
    "C\u0447\u0438\u0442\u0430\u0442\u044c \u0430\u0442\u0440\u0438\u0431\u0443\u0442\u044b"};
inline constexpr const char* ReadingItems[] = {"Выдать показания"};
inline constexpr const char* CoefficientItems[] = {"Выдать параметры калибровки"};
inline constexpr const char* CalibrateItems[] = {"Калибровка С1 канал 1", "Калибровка С2 канал 1",
                                                 "Калибровка С1 канал 2", "Калибровка С2 канал 2"};

} // namespace command_rows

// In the order of the window's selector: a new row goes at the end.
inline constexpr TCommandRow CommandRows[] = {
    {CMD_SIGNATURE,
     {},
     0,
     TArgument::None,
     6,
     command_rows::SignatureFields,
     {},
     command_rows::SignatureItems,
     "signature",
     "address, type, serial number, hardware and software versions",
     false,
     TGatewayPoll::Connect,
     9},
    {CMD_READINGS,
     {},
     0,
     TArgument::None,
     11,
     command_rows::ReadingFields,
     command_rows::ReadingGroups,
     command_rows::ReadingItems,
     "readings",
     "level and volume of both channels: N requests (default 1,\n"
     "0 until Ctrl-C), one every MS ms start to start (default 1300)",
     true,
     TGatewayPoll::Period,
     0},
    // 182, 0, then the number of coefficient bytes the reply is to carry.
    {CMD_READ_COEFFS,
     {182, 0, 8},
     3,
     TArgument::None,
     9,
     command_rows::CoefficientFields,
     command_rows::CoefficientGroups,
     command_rows::CoefficientItems,
     "coefficients",
     "the four calibration coefficients",
     false,
     TGatewayPoll::Connect,
     14},
    // 160, then the point selector and the value.
    {CMD_CALIBRATE,
     {160},
     1,
     TArgument::CalibrationPoint,
     2,
     command_rows::CalibratedFields,
     {},
     command_rows::CalibrateItems,
     nullptr,
     nullptr,
     false,
     TGatewayPoll::None,
     0},
};

// The row of a command code; nullptr for a code without one (CMD_ALT_REPLY).
constexpr const TCommandRow* FindCommandRow(std::uint8_t code) {
    for (const TCommandRow& row : CommandRows) {
        if (row.code == code) {
            return &row;
        }
    }
    return nullptr;
}

// The requests, numbered as the window's selector lists them: each row's
// items in turn.
inline constexpr int CommandCount = [] {
    int count = 0;
    for (const TCommandRow& row : CommandRows) {
        count += static_cast<int>(row.items.size());
    }
    return count;
}();

// The request number of a row's first item; -1 for a code without a row.
constexpr int FirstRequestOf(std::uint8_t code) {
    int index = 0;
    for (const TCommandRow& row : CommandRows) {
        if (row.code == code) {
            return index;
        }
        index += static_cast<int>(row.items.size());
    }
    return -1;
}

// The row of a request number and the item's place in it; nullptr outside
// 0 to CommandCount - 1.
struct TRequestItem {
    const TCommandRow* row = nullptr;
    int place = 0;
};
constexpr TRequestItem RequestItem(int index) {
    for (const TCommandRow& row : CommandRows) {
        if (index >= 0 && index < static_cast<int>(row.items.size())) {
            return {&row, index};
        }
        index -= static_cast<int>(row.items.size());
    }
    return {};
}

// The registers the gateway's blocks span (from 0).
constexpr int CommandRegisterSpan() {
    int span = 0;
    for (const TCommandRow& row : CommandRows) {
        if (row.poll != TGatewayPoll::None) {
            span = std::max<int>(span, row.registerBlock + row.RegisterCount());
        }
    }
    return span;
}

namespace command_rows {

constexpr bool FieldsFit(const TCommandRow& row) {
    if (row.fields.empty()) {
        return false;
    }
    for (const TReplyField& field : row.fields) {
        // The reply's data end at 2 + replyLength; its CRC follows.
        if (field.key == nullptr ||
            field.offset + DecodingBytes(field.decoding) > 2 + row.replyLength ||
            field.group > row.groups.size()) {
            return false;
        }
    }
    for (const TFieldGroup& group : row.groups) {
        if (group.key == nullptr ||
            (group.presentWhen != 0 &&
             (group.absent == nullptr || group.statusOffset >= 2 + row.replyLength))) {
            return false;
        }
    }
    return true;
}

constexpr bool RowComplete(const TCommandRow& row) {
    const bool argumentItems =
        row.argument == TArgument::CalibrationPoint ? row.items.size() == 4 : row.items.size() == 1;
    const bool cli = (row.cliName == nullptr) == (row.cliHelp == nullptr) &&
                     (row.cliName == nullptr || row.ReadOnly()) && (!row.repeated || row.cliName);
    return row.replyLength >= 2 && row.fixedCount <= row.fixedData.size() && argumentItems &&
           FindCommandRow(row.code) == &row && row.code != CMD_ALT_REPLY && FieldsFit(row) && cli &&
           (row.poll == TGatewayPoll::None || row.ReadOnly());
}

// No two polled blocks share a register, nor take the gateway's own (5 to 8).
constexpr bool BlocksApart() {
    for (const TCommandRow& a : CommandRows) {
        if (a.poll == TGatewayPoll::None) {
            continue;
        }
        const int begin = a.registerBlock;
        const int end = begin + a.RegisterCount();
        if (begin < 9 && end > 5) {
            return false;
        }
        for (const TCommandRow& b : CommandRows) {
            if (&a != &b && b.poll != TGatewayPoll::None && b.registerBlock < end &&
                begin < b.registerBlock + b.RegisterCount()) {
                return false;
            }
        }
    }
    return true;
}

} // namespace command_rows

static_assert(
    [] {
        for (const TCommandRow& row : CommandRows) {
            if (!command_rows::RowComplete(row)) {
                return false;
            }
        }
        return true;
    }(),
    "a command row is incomplete: its reply's fields, selector items, subcommand or poll");
static_assert(command_rows::BlocksApart(), "two register blocks overlap");

} // namespace orbel
