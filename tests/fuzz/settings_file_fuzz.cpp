// The settings file on arbitrary content: reading it never fails, what it
// holds reads the same after a write and a second reading, and loading every
// group from it into a closed port sets values of their types without
// touching a device; the port then stores and loads the same settings again.

#include "FuzzCheck.h"

#include "serial/core/ComPort.h"
#include "serial/platform/fake/FakeComPlatform.h"
#include "serial/storage/IniFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using namespace orbel;

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
    port.SetName("ComPort1");
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
    copy.SetName("ComPort1");
    copy.SetStoredSettings(AllGroups);
    copy.LoadFromIniFile(stored);
    FUZZ_CHECK(SameSettings(port, copy));
    return 0;
}
