// fuzz-sources: serial/IniFile.cpp serial/RegistryKey.cpp serial/ComPortStorage.cpp
// fuzz-sources: serial/ComTextConversions.cpp
// fuzz-sources: serial/CustomComPort.cpp serial/ComPortLifecycle.cpp serial/ComPortTransfers.cpp
// fuzz-sources: serial/ComPortEvents.cpp serial/ComThread.cpp serial/ComCallQueue.cpp
// fuzz-sources: serial/ComNotifyWindow.cpp serial/ComEvents.cpp serial/ComBuffer.cpp
// fuzz-sources: serial/ComFlowControl.cpp serial/ComParity.cpp serial/ComTimeouts.cpp
// fuzz-sources: serial/EComPort.cpp serial/PortErrorMessages.cpp serial/ExceptionReport.cpp
// fuzz-sources: serial/platform/FakeComPlatform.cpp serial/platform/DeviceNames.cpp
// fuzz-sources: serial/platform/PortDiagnostics.cpp serial/platform/PosixComPlatform.cpp
// fuzz-sources: serial/platform/PosixConfigure.cpp serial/platform/PosixDevice.cpp
// fuzz-sources: serial/platform/PosixEventWait.cpp serial/platform/PosixEventWatch.cpp
// fuzz-sources: serial/platform/PosixTransfers.cpp serial/platform/Termios2.cpp
// fuzz-sources: serial/platform/TermiosMapping.cpp serial/platform/TransferBudget.cpp
// fuzz-sources: base/AtomicFile.cpp
// fuzz-libs: Qt6::Core
// fuzz-max-len: 8192
//
// The settings file on arbitrary content: reading it never fails, what it
// holds reads the same after a write and a second reading, and loading every
// group from it into a closed port sets values of their types without
// touching a device; the port then stores and loads the same settings again.

#include "FuzzCheck.h"

#include "serial/ComPort.h"
#include "serial/IniFile.h"
#include "serial/platform/FakeComPlatform.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

const TStoredSettings AllGroups{ssBasic, ssFlowControl, ssBuffer, ssTimeouts, ssParity, ssOthers};

bool SameSettings(const TCustomComPort& a, const TCustomComPort& b) {
    return a.Port() == b.Port() && a.BaudRate() == b.BaudRate() &&
           a.CustomBaudRate() == b.CustomBaudRate() && a.DeviceControl() == b.DeviceControl() &&
           a.TimeoutRecord() == b.TimeoutRecord() &&
           a.FlowControl().DSRSensitivity() == b.FlowControl().DSRSensitivity() &&
           a.Buffer().OutputSize() == b.Buffer().OutputSize() &&
           a.Buffer().InputSize() == b.Buffer().InputSize();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    TIniFile ini;
    ini.SetText(content);

    // What was read is written as it was read.
    TIniFile again;
    again.SetText(ini.Text());
    FUZZ_CHECK(again.Text() == ini.Text());

    static TFakeComPlatform fake;
    TComPort port(nullptr, &fake);
    port.setObjectName(QStringLiteral("ComPort1"));
    port.SetStoredSettings(AllGroups);
    port.LoadFromIniFile(ini);
    FUZZ_CHECK(!port.Connected() && fake.Calls().empty());
    FUZZ_CHECK(port.BaudRate() < BaudRateCount && port.StopBits() <= sbTwoStopBits &&
               port.DataBits() <= dbEight && port.Parity().Bits() <= prSpace &&
               port.FlowControl().ControlRTS() <= rtsToggle &&
               port.FlowControl().ControlDTR() <= dtrHandshake);
    // A positive odd size is never stored.
    FUZZ_CHECK(port.Buffer().InputSize() <= 0 || port.Buffer().InputSize() % 2 == 0);

    // Whatever was loaded can be stored, and loads back the same.
    TIniFile stored;
    port.StoreToIniFile(stored);
    TComPort copy(nullptr, &fake);
    copy.setObjectName(QStringLiteral("ComPort1"));
    copy.SetStoredSettings(AllGroups);
    copy.LoadFromIniFile(stored);
    FUZZ_CHECK(SameSettings(port, copy));
    return 0;
}
