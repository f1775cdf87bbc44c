// Each field of the device control record through its own mapper.
#include "serial/platform/posix/TermiosFields.h"

#include <gtest/gtest.h>

#include <optional>

using namespace orbel;

namespace {

using Notes = std::vector<std::string>;

// What a mapper made of a record: nothing when it refused the record.
std::optional<TTermiosPlan> Apply(TFieldMapper map, const TComDeviceControl& control) {
    TTermiosPlan plan;
    if (!map(control, plan)) {
        return std::nullopt;
    }
    return plan;
}

TComDeviceControl WithFlags(std::uint32_t flags) {
    TComDeviceControl c;
    c.Flags = flags;
    return c;
}

// One row of a mapper that sets terminal flags: what it sets, what it names
// as not available, or that it refuses the record.
struct FlagRow {
    TComDeviceControl control;
    bool taken;
    tcflag_t cflag;
    tcflag_t iflag;
    Notes notes;
};

void CheckFlagRows(TFieldMapper map, std::initializer_list<FlagRow> rows) {
    int line = 0;
    for (const FlagRow& row : rows) {
        SCOPED_TRACE(line++);
        const auto plan = Apply(map, row.control);
        ASSERT_EQ(plan.has_value(), row.taken);
        if (plan) {
            EXPECT_EQ(plan->tio.c_cflag, row.cflag);
            EXPECT_EQ(plan->tio.c_iflag, row.iflag);
            EXPECT_EQ(plan->notAvailable, row.notes);
        }
    }
}

TComDeviceControl Frame(std::uint8_t byteSize, std::uint8_t parity, std::uint8_t stopBits) {
    TComDeviceControl c;
    c.ByteSize = byteSize;
    c.Parity = parity;
    c.StopBits = stopBits;
    return c;
}

} // namespace

TEST(TermiosFields, SpeedTakesItsConstantOrGoesTheOtherWay) {
    const struct {
        std::uint32_t baud;
        bool taken;
        bool standard;
        speed_t code;
    } rows[] = {
        {9600, true, true, B9600},     {4000000, true, true, B4000000},
        {14400, true, false, B0},      {250000, true, false, B0},
        {4294967295, true, false, B0}, {0, false, false, B0}, // B0 would hang the line up
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.baud);
        TComDeviceControl c;
        c.BaudRate = row.baud;
        const auto plan = Apply(MapSpeed, c);
        ASSERT_EQ(plan.has_value(), row.taken);
        if (plan) {
            EXPECT_EQ(plan->speed, row.baud);
            EXPECT_EQ(plan->standardSpeed, row.standard);
            EXPECT_EQ(cfgetospeed(&plan->tio), row.code);
            EXPECT_EQ(cfgetispeed(&plan->tio), row.code);
        }
    }
}

TEST(TermiosFields, ByteSizeParityAndStopBits) {
    CheckFlagRows(MapByteSize, {{Frame(5, 0, 0), true, CS5, 0, {}},
                                {Frame(6, 0, 0), true, CS6, 0, {}},
                                {Frame(7, 0, 0), true, CS7, 0, {}},
                                {Frame(8, 0, 0), true, CS8, 0, {}},
                                {Frame(4, 0, 0), false, 0, 0, {}},
                                {Frame(9, 0, 0), false, 0, 0, {}}});
    CheckFlagRows(MapParity, {{Frame(8, 0, 0), true, 0, 0, {}},
                              {Frame(8, 1, 0), true, PARENB | PARODD, 0, {}},
                              {Frame(8, 2, 0), true, PARENB, 0, {}},
                              {Frame(8, 3, 0), true, PARENB | CMSPAR | PARODD, 0, {}},
                              {Frame(8, 4, 0), true, PARENB | CMSPAR, 0, {}},
                              {Frame(8, 5, 0), false, 0, 0, {}}});
    CheckFlagRows(MapStopBits, {{Frame(8, 0, 0), true, 0, 0, {}},
                                {Frame(5, 0, 1), true, CSTOPB, 0, {}},
                                {Frame(8, 0, 1), true, CSTOPB, 0, {"1.5 stop bits (2 used)"}},
                                {Frame(8, 0, 2), true, CSTOPB, 0, {}},
                                {Frame(8, 0, 3), false, 0, 0, {}}});
}

TEST(TermiosFields, FlowControlFlags) {
    using namespace DcbFlag;
    const std::uint32_t rtsOn = 1U << RtsControlShift;
    const std::uint32_t rtsHandshake = 2U << RtsControlShift;
    CheckFlagRows(MapHandshake, {{WithFlags(0), true, 0, 0, {}},
                                 {WithFlags(rtsOn), true, 0, 0, {}},
                                 {WithFlags(OutxCtsFlow | rtsHandshake), true, CRTSCTS, 0, {}},
                                 {WithFlags(OutxCtsFlow),
                                  true,
                                  CRTSCTS,
                                  0,
                                  {"CTS output flow without RTS handshake (both used)"}},
                                 {WithFlags(rtsHandshake),
                                  true,
                                  CRTSCTS,
                                  0,
                                  {"RTS handshake without CTS output flow (both used)"}}});
    CheckFlagRows(MapSoftwareFlow,
                  {{WithFlags(0), true, 0, 0, {}},
                   {WithFlags(OutX), true, 0, IXON, {}},
                   {WithFlags(InX), true, 0, IXOFF, {}},
                   {WithFlags(OutX | InX | TxContinueOnXoff), true, 0, IXON | IXOFF, {}}});
    TComDeviceControl replaced = WithFlags(Parity | ErrorChar);
    replaced.ErrorChar = 63;
    CheckFlagRows(MapParityCheck,
                  {{WithFlags(Parity), true, 0, 0, {}},
                   {WithFlags(ErrorChar), true, 0, 0, {}},
                   {WithFlags(Parity | ErrorChar), true, 0, INPCK, {}},
                   {replaced, true, 0, INPCK, {"parity error character 63 (0 used)"}}});
    CheckFlagRows(
        MapUnsupportedFlags,
        {{WithFlags(Binary | Parity | OutX), true, 0, 0, {}},
         {WithFlags(AbortOnError | Null | DsrSensitivity | OutxDsrFlow),
          true,
          0,
          0,
          {"DSR output flow", "DSR sensitivity", "discarding null characters", "abort on error"}}});
}

TEST(TermiosFields, LineLevelsAndFlowCharacters) {
    const struct {
        std::uint32_t dtr;
        std::uint32_t rts;
        bool taken;
        bool dtrOn;
        bool rtsOn;
        Notes notes;
    } rows[] = {
        {0, 0, true, false, false, {}},
        {1, 1, true, true, true, {}},
        {2, 2, true, true, true, {"DTR handshake (DTR held on)"}},
        {0, 3, true, false, false, {"RTS toggle (RTS held off)"}},
        {3, 0, false, false, false, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.dtr * 10 + row.rts);
        const auto plan = Apply(MapLineLevels, WithFlags(row.dtr << DcbFlag::DtrControlShift |
                                                         row.rts << DcbFlag::RtsControlShift));
        ASSERT_EQ(plan.has_value(), row.taken);
        if (plan) {
            EXPECT_EQ(plan->dtrOn, row.dtrOn);
            EXPECT_EQ(plan->rtsOn, row.rtsOn);
            EXPECT_EQ(plan->notAvailable, row.notes);
            EXPECT_EQ(plan->tio.c_cflag, 0u);
        }
    }
    TComDeviceControl chars;
    chars.XonChar = 17;
    chars.XoffChar = 19;
    const auto plan = Apply(MapFlowChars, chars);
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->tio.c_cc[VSTART], 17);
    EXPECT_EQ(plan->tio.c_cc[VSTOP], 19);
}
