// The pure parts of the Win32 platform: the device control record as a DCB,
// the time-out record, error codes, device names, texts, timer resolution.
#include "base/WideText.h"
#include "serial/errors/PortErrorCatalogue.h"
#include "serial/errors/PortErrorMessages.h"
#include "serial/platform/win32/Win32DeviceControl.h"
#include "serial/platform/win32/Win32DeviceName.h"
#include "serial/platform/win32/Win32Diagnostics.h"
#include "serial/platform/win32/Win32Errors.h"
#include "serial/platform/win32/Win32TimerResolution.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

using namespace orbel;

namespace {

// The DCB's bit fields as one word, as the system stores them.
std::uint32_t FlagWord(const DCB& dcb) {
    std::uint32_t word = 0;
    std::memcpy(&word, reinterpret_cast<const char*>(&dcb) + offsetof(DCB, BaudRate) + 4, 4);
    return word;
}

} // namespace

TEST(Win32DeviceControl, TheLineOfTheInstrumentFillsTheDcbFieldForField) {
    TComDeviceControl control;
    control.BaudRate = 9600;
    control.Flags = DcbFlag::Binary;
    control.XonLim = control.XoffLim = 256;
    control.ByteSize = 8;
    control.Parity = 3;
    control.XonChar = 17;
    control.XoffChar = 19;
    const DCB dcb = ToDcb(control);
    EXPECT_EQ(dcb.DCBlength, 28u);
    EXPECT_EQ(dcb.BaudRate, 9600u);
    EXPECT_EQ(FlagWord(dcb), 0x00000001u);
    EXPECT_EQ(dcb.wReserved, 0);
    EXPECT_EQ(dcb.XonLim, 256);
    EXPECT_EQ(dcb.XoffLim, 256);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, MARKPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_EQ(dcb.XonChar, 17);
    EXPECT_EQ(dcb.XoffChar, 19);
    EXPECT_EQ(dcb.ErrorChar, 0);
    EXPECT_EQ(dcb.EofChar, 0);
    EXPECT_EQ(dcb.EvtChar, 0);
    EXPECT_EQ(FromDcb(dcb), control);
}

TEST(Win32DeviceControl, EveryFlagLandsOnItsOwnBitAndComesBack) {
    // Single bits, and every value of the two control fields.
    const std::uint32_t words[] = {DcbFlag::Binary,
                                   DcbFlag::Parity,
                                   DcbFlag::OutxCtsFlow,
                                   DcbFlag::OutxDsrFlow,
                                   0x0010,
                                   0x0020,
                                   DcbFlag::DsrSensitivity,
                                   DcbFlag::TxContinueOnXoff,
                                   DcbFlag::OutX,
                                   DcbFlag::InX,
                                   DcbFlag::ErrorChar,
                                   DcbFlag::Null,
                                   0x1000,
                                   0x2000,
                                   0x3000,
                                   DcbFlag::AbortOnError,
                                   0x7FFF,
                                   0x5A5A & 0x7FFF};
    for (const std::uint32_t word : words) {
        TComDeviceControl control;
        control.Flags = word;
        control.EvtChar = 0xFE;
        control.ErrorChar = 0x80;
        const DCB dcb = ToDcb(control);
        EXPECT_EQ(FlagWord(dcb), word) << std::hex << word;
        EXPECT_EQ(FromDcb(dcb), control) << std::hex << word;
    }
    DCB dcb = ToDcb({});
    dcb.fRtsControl = RTS_CONTROL_TOGGLE;
    dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
    EXPECT_EQ(FromDcb(dcb).Flags, 0x3000u | 0x0020u);
}

TEST(Win32DeviceControl, TimeoutsKeepTheirOrderAndAllTheirBits) {
    const COMMTIMEOUTS t = ToCommTimeouts({0xFFFFFFFFu, 7, 0, 200, 1000});
    EXPECT_EQ(t.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 7u);
    EXPECT_EQ(t.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 200u);
    EXPECT_EQ(t.WriteTotalTimeoutConstant, 1000u);
}

TEST(Win32Errors, SystemCodesMapToTheirKindAndKeepTheirCode) {
    const struct {
        DWORD code;
        ComFault fault;
    } cases[] = {
        {ERROR_SUCCESS, ComFault::None},
        {ERROR_IO_PENDING, ComFault::Pending},
        {ERROR_OPERATION_ABORTED, ComFault::Cancelled},
        {ERROR_DEVICE_REMOVED, ComFault::DeviceLost},
        {ERROR_BAD_COMMAND, ComFault::DeviceLost},
        {ERROR_GEN_FAILURE, ComFault::DeviceLost},
        {ERROR_DEVICE_NOT_CONNECTED, ComFault::DeviceLost},
        {ERROR_BROKEN_PIPE, ComFault::DeviceLost},
        {ERROR_SHARING_VIOLATION, ComFault::Busy},
        {ERROR_FILE_NOT_FOUND, ComFault::DeviceLost},
        {ERROR_ACCESS_DENIED, ComFault::DeviceLost},
        {433 /* ERROR_NO_SUCH_DEVICE */, ComFault::DeviceLost},
        {ERROR_PATH_NOT_FOUND, ComFault::NoDevice},
        {ERROR_INVALID_PARAMETER, ComFault::InvalidArgument},
        {ERROR_NOT_SUPPORTED, ComFault::InvalidArgument},
        {ERROR_INVALID_HANDLE, ComFault::Other},
        {ERROR_TIMEOUT, ComFault::Other},
    };
    for (const auto& [code, fault] : cases) {
        EXPECT_EQ(Win32Result(code), (ComResult{fault, static_cast<std::int32_t>(code)})) << code;
    }
    // At a COM port's open, access denied means another program holds it.
    EXPECT_EQ(Win32OpenResult(ERROR_ACCESS_DENIED), (ComResult{ComFault::Busy, 5}));
    EXPECT_EQ(Win32OpenResult(ERROR_FILE_NOT_FOUND), (ComResult{ComFault::NoDevice, 2}));
    EXPECT_EQ(Win32OpenResult(ERROR_DEVICE_REMOVED), (ComResult{ComFault::DeviceLost, 1617}));
    // A failed call that left no code is no lost device.
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(Win32LastError(), (ComResult{ComFault::Other, ERROR_GEN_FAILURE}));
}

TEST(Win32Errors, TextsAreUtf8WithoutTheTrailingLineBreak) {
    const std::string text = Win32ErrorText(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.back(), '\n');
    EXPECT_NE(text.back(), '\r');
    EXPECT_EQ(Win32ErrorText(0x7FFFFFF0u), "system error 2147483632");
    const std::string cyrillic = "СОМ Порт";
    EXPECT_EQ(Utf8FromWide(WideFromUtf8(cyrillic)), cyrillic);
    EXPECT_EQ(WideFromUtf8(cyrillic).size(), 8u);
}

TEST(Win32DeviceName, ComPortsFollowTheirVariableAndEverythingElseStandsAsGiven) {
    const std::map<std::wstring, std::wstring> environment = {
        {L"ORBEL_COM1", L"COM7"},
        {L"ORBEL_COM2", L"\\\\.\\COM12"},
        {L"ORBEL_COM3", L""},
    };
    const Win32EnvironmentLookup lookup =
        [&](const std::wstring& name) -> std::optional<std::wstring> {
        const auto it = environment.find(name);
        return it == environment.end() ? std::nullopt : std::optional(it->second);
    };
    const struct {
        const char* name;
        const wchar_t* path;
    } cases[] = {
        {"\\\\.\\COM1", L"\\\\.\\COM7"},
        {"com1", L"\\\\.\\COM7"},
        {"\\\\.\\COM2", L"\\\\.\\COM12"},
        {"\\\\.\\COM3", L"\\\\.\\COM3"},
        {"\\\\.\\COM4", L"\\\\.\\COM4"},
        {"COM10", L"\\\\.\\COM10"},
        {"\\\\.\\COM1x", L"\\\\.\\COM1x"},
        {"\\\\.\\", L""},
        {"", L""},
        {"ПОРТ", L"\\\\.\\ПОРТ"},
    };
    for (const auto& [name, path] : cases) {
        EXPECT_EQ(ResolveWin32DeviceName(name, lookup), path) << name;
    }
    EXPECT_EQ(ResolveWin32DeviceName("\\\\.\\COM1", nullptr), L"\\\\.\\COM1");
}

TEST(Win32DeviceName, TheProcessEnvironmentIsReadInFull) {
    const std::wstring longValue(300, L'x');
    ASSERT_TRUE(SetEnvironmentVariableW(L"ORBEL_TEST_VALUE", longValue.c_str()));
    EXPECT_EQ(Win32Environment(L"ORBEL_TEST_VALUE"), longValue);
    ASSERT_TRUE(SetEnvironmentVariableW(L"ORBEL_TEST_VALUE", nullptr));
    EXPECT_EQ(Win32Environment(L"ORBEL_TEST_VALUE"), std::nullopt);
}

TEST(Win32TimerResolution, TheFirstUserAsksAndTheLastGivesBack) {
    TWin32TimerResolution timer;
    timer.Acquire();
    timer.Acquire();
    timer.Release();
    EXPECT_EQ(timer.Users(), 1u);
    timer.Release();
    timer.Release(); // one release too many changes nothing
    EXPECT_EQ(timer.Users(), 0u);
}

TEST(Win32PortMessages, TheBuiltInRussianCatalogueCoversEveryMessage) {
    for (const char* english : PortErrorTexts) {
        EXPECT_NE(RussianPortText(english), english) << english;
    }
    EXPECT_EQ(RussianPortText(PortErrorSuffix), " (код ошибки системы: %d)");
    EXPECT_EQ(RussianPortText("Unable to open com port"), "Не удаётся открыть COM-порт");
    // The user's language chooses: Russian for a Russian interface, else English.
    EXPECT_EQ(PortErrorMessages(1),
              UserReadsRussian() ? "Не удаётся открыть COM-порт" : "Unable to open com port");
}

TEST(Win32Diagnostics, TheLineNamesWhatTheDriverDidNotTake) {
    DCB wanted{};
    wanted.BaudRate = 9600;
    wanted.ByteSize = 8;
    wanted.Parity = MARKPARITY;
    wanted.StopBits = ONESTOPBIT;
    EXPECT_EQ(Win32RefusedLine("COM1", wanted, wanted), "");
    DCB got = wanted;
    got.Parity = NOPARITY;
    got.BaudRate = 19200;
    EXPECT_EQ(Win32RefusedLine("COM1", wanted, got),
              "serial: COM1: the driver did not take 9600 baud, mark parity; the port is used as "
              "it is");
}
