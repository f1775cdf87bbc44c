// The port's settings written to and read from a settings file section and a
// registry key: the keys and their order, the round trip of every setting,
// loading through the setters, and what a bad or missing value loads as.
#include "FakePortFixture.h"

#include "serial/storage/IniFile.h"
#include "serial/storage/RegistryKey.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

using namespace orbel;

namespace {

const TStoredSettings AllGroups{ssBasic, ssFlowControl, ssBuffer, ssTimeouts, ssParity, ssOthers};

class Storage : public FakePort {
protected:
    void SetUp() override {
        FakePort::SetUp();
        port.SetName("ComPort1");
    }

    int CallsNamed(const std::string& prefix) const {
        const auto calls = fake.Calls();
        return static_cast<int>(std::count_if(
            calls.begin(), calls.end(), [&](const auto& c) { return c.rfind(prefix, 0) == 0; }));
    }
};

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

// Every stored setting away from its default.
void SetEverything(TCustomComPort& p) {
    p.SetPort("/dev/ttyUSB3");
    p.SetBaudRate(brCustom);
    p.SetCustomBaudRate(250000);
    p.SetStopBits(sbTwoStopBits);
    p.SetDataBits(dbSeven);
    p.Parity().SetBits(prSpace);
    p.SetEventChar(32);
    p.SetDiscardNull(true);
    p.Parity().SetCheck(true);
    p.Parity().SetReplace(true);
    p.Parity().SetReplaceChar('?');
    p.Buffer().SetOutputSize(4096);
    p.Buffer().SetInputSize(-6);
    p.Timeouts().SetReadInterval(-1);
    p.Timeouts().SetReadTotalConstant(11);
    p.Timeouts().SetReadTotalMultiplier(12);
    p.Timeouts().SetWriteTotalConstant(13);
    p.Timeouts().SetWriteTotalMultiplier(2147483647);
    auto& f = p.FlowControl();
    f.SetControlRTS(rtsToggle);
    f.SetControlDTR(dtrHandshake);
    f.SetDSRSensitivity(true);
    f.SetOutCTSFlow(true);
    f.SetOutDSRFlow(true);
    f.SetTxContinueOnXoff(true);
    f.SetXonXoffIn(true);
    f.SetXonXoffOut(false);
    f.SetXoffChar(200);
    f.SetXonChar('#');
}

void ExpectSameSettings(const TCustomComPort& a, const TCustomComPort& b) {
    EXPECT_EQ(a.Port(), b.Port());
    EXPECT_EQ(a.BaudRate(), b.BaudRate());
    EXPECT_EQ(a.CustomBaudRate(), b.CustomBaudRate());
    EXPECT_EQ(a.StopBits(), b.StopBits());
    EXPECT_EQ(a.DataBits(), b.DataBits());
    EXPECT_EQ(a.EventChar(), b.EventChar());
    EXPECT_EQ(a.DiscardNull(), b.DiscardNull());
    EXPECT_EQ(a.DeviceControl(), b.DeviceControl()); // parity and flow fields among others
    EXPECT_EQ(a.FlowControl().DSRSensitivity(), b.FlowControl().DSRSensitivity());
    EXPECT_EQ(a.Buffer().OutputSize(), b.Buffer().OutputSize());
    EXPECT_EQ(a.Buffer().InputSize(), b.Buffer().InputSize());
    EXPECT_EQ(a.TimeoutRecord(), b.TimeoutRecord());
}

} // namespace

TEST_F(Storage, TheGroupsAreWrittenInTheirOrderWithTheirKeys) {
    TIniFile ini;
    port.StoreToIniFile(ini);
    EXPECT_EQ(ini.ReadSection("ComPort1"),
              (std::vector<std::string>{"Port", "BaudRate", "StopBits", "DataBits", "Parity",
                                        "FlowControl"}));
    EXPECT_EQ(ini.Text(), "[ComPort1]\nPort=COM1\nBaudRate=9600\nStopBits=1\nDataBits=8\n"
                          "Parity=Mark\nFlowControl=None\n");

    port.SetBaudRate(brCustom);
    port.SetStoredSettings(AllGroups);
    const std::vector<std::string> all = {"Port",
                                          "BaudRate",
                                          "CustomBaudRate",
                                          "StopBits",
                                          "DataBits",
                                          "Parity",
                                          "FlowControl",
                                          "EventChar",
                                          "DiscardNull",
                                          "Parity.Check",
                                          "Parity.Replace",
                                          "Parity.ReplaceChar",
                                          "Buffer.OutputSize",
                                          "Buffer.InputSize",
                                          "Timeouts.ReadInterval",
                                          "Timeouts.ReadTotalConstant",
                                          "Timeouts.ReadTotalMultiplier",
                                          "Timeouts.WriteTotalConstant",
                                          "Timeouts.WriteTotalMultiplier",
                                          "FlowControl.ControlRTS",
                                          "FlowControl.ControlDTR",
                                          "FlowControl.DSRSensitivity",
                                          "FlowControl.OutCTSFlow",
                                          "FlowControl.OutDSRFlow",
                                          "FlowControl.TxContinueOnXoff",
                                          "FlowControl.XonXoffIn",
                                          "FlowControl.XonXoffOut",
                                          "FlowControl.XoffChar",
                                          "FlowControl.XonChar"};
    TIniFile allIni;
    port.StoreToIniFile(allIni);
    EXPECT_EQ(allIni.ReadSection("ComPort1"), all);
    // The same keys in the registry, which lists them in an order of its own
    // on Windows.
    TRegistryKey registry;
    port.StoreToRegistry(registry);
    EXPECT_EQ(Sorted(registry.ValueNames()), Sorted(all));
    EXPECT_EQ(registry.DataType("CustomBaudRate"), TRegistryKey::TDataType::Integer);
    EXPECT_EQ(registry.DataType("Buffer.InputSize"), TRegistryKey::TDataType::Integer);
    EXPECT_EQ(registry.DataType("FlowControl.XonChar"), TRegistryKey::TDataType::String);
    EXPECT_EQ(registry.ReadString("FlowControl.XonChar"), "#17");
    EXPECT_EQ(registry.ReadString("DiscardNull"), "No");
}

TEST_F(Storage, EverySettingComesBackThroughBothStores) {
    SetEverything(port);
    port.SetStoredSettings(AllGroups);
    TIniFile ini;
    port.StoreToIniFile(ini);
    TIniFile reread;
    reread.SetText(ini.Text());
    TRegistryKey registry;
    port.StoreToRegistry(registry);

    TFakeComPlatform otherFake;
    TComPort fromIni(nullptr, &otherFake);
    fromIni.SetName("ComPort1");
    fromIni.SetStoredSettings(AllGroups);
    fromIni.LoadFromIniFile(reread);
    ExpectSameSettings(port, fromIni);

    TComPort fromRegistry(nullptr, &otherFake);
    fromRegistry.SetStoredSettings(AllGroups);
    fromRegistry.LoadFromRegistry(registry);
    ExpectSameSettings(port, fromRegistry);
    EXPECT_TRUE(otherFake.Calls().empty()); // closed: nothing reached a device
}

TEST_F(Storage, AnEmptySectionChangesNothingButTheCustomSpeedAndRewritesThePreset) {
    OpenAndForget();
    TIniFile empty;
    port.LoadFromIniFile(empty);
    EXPECT_EQ(port.Port(), "COM1");
    EXPECT_EQ(port.Parity().Bits(), prMark);
    EXPECT_EQ(fake.Calls(), std::vector<std::string>{ComPort1Record}); // the preset, re-applied

    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(250000);
    fake.ClearCalls();
    port.LoadFromIniFile(empty);
    EXPECT_EQ(port.BaudRate(), brCustom);
    EXPECT_EQ(port.CustomBaudRate(), 9600);
    EXPECT_EQ(CallsNamed("SetDeviceControl(1, BaudRate=9600 "), 2);
    EXPECT_EQ(fake.Calls().size(), 2u);
}

TEST_F(Storage, LoadingOnAnOpenPortGoesThroughTheSetters) {
    OpenAndForget();
    TIniFile ini;
    ini.SetText("[comport1]\nport = COM2\nFlowControl=Hardware\n");
    port.SetStoredSettings({ssBasic, ssTimeouts});
    port.Timeouts().SetReadTotalMultiplier(7);
    ini.WriteInteger("ComPort1", "Timeouts.ReadTotalMultiplier", 9);
    port.LoadFromIniFile(ini);
    EXPECT_EQ(port.Port(), "COM2");
    EXPECT_EQ(port.FlowControl().ControlRTS(), rtsHandshake);
    EXPECT_TRUE(port.FlowControl().OutCTSFlow());
    EXPECT_EQ(port.Timeouts().ReadTotalMultiplier(), 9);
    // The new name reopened the port, the preset and the time-out reached the device.
    const auto calls = fake.Calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "Close(1)"), calls.end());
    EXPECT_NE(std::find(calls.begin(), calls.end(), "Open(\\\\.\\COM2)"), calls.end());
    EXPECT_EQ(fake.DeviceControl()->Flags & (DcbFlag::OutxCtsFlow | DcbFlag::RtsControlMask),
              DcbFlag::OutxCtsFlow | 0x2000u);
    EXPECT_EQ(fake.Timeouts()->ReadTotalTimeoutMultiplier, 9u);
    EXPECT_TRUE(port.Connected());
}

TEST_F(Storage, ALoadEndsAtTheFirstSetterTheOpenPortRefuses) {
    using Check = bool (*)(const TCustomComPort&);
    const struct {
        const char* call;
        int code;
        const char* lines;
        Check failedValueStays;
        Check laterKeyLoaded;
    } rows[] = {
        {"Open", CError_OpenFailed, "Port=COM2\nStopBits=2\n",
         [](const TCustomComPort& p) { return p.Port() == "COM2" && !p.Connected(); },
         [](const TCustomComPort& p) { return p.StopBits() == sbTwoStopBits; }},
        {"SetDeviceControl", CError_SetStateFailed, "BaudRate=19200\nStopBits=2\n",
         [](const TCustomComPort& p) { return p.BaudRate() == br19200 && p.Connected(); },
         [](const TCustomComPort& p) { return p.StopBits() == sbTwoStopBits; }},
        {"SetQueueSizes", CError_SetupComFailed,
         "Buffer.OutputSize=4096\nTimeouts.ReadTotalConstant=5\n",
         [](const TCustomComPort& p) { return p.Buffer().OutputSize() == 4096; },
         [](const TCustomComPort& p) { return p.Timeouts().ReadTotalConstant() == 5; }},
        {"SetTimeouts", CError_TimeoutsFailed,
         "Timeouts.ReadTotalConstant=5\nFlowControl.XonChar=#1\n",
         [](const TCustomComPort& p) { return p.Timeouts().ReadTotalConstant() == 5; },
         [](const TCustomComPort& p) { return p.FlowControl().XonChar() == 1; }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.call);
        TComPort open(nullptr, &fake);
        open.SetName("ComPort1");
        DesignComPort1(open);
        open.SetStoredSettings(AllGroups);
        open.SetConnected(true);
        TIniFile ini;
        ini.SetText(std::string("[ComPort1]\n") + row.lines);
        fake.FailNext(row.call, EIO);
        EXPECT_EQ(PortCodeOf([&] { open.LoadFromIniFile(ini); }), row.code);
        EXPECT_TRUE(row.failedValueStays(open));
        EXPECT_FALSE(row.laterKeyLoaded(open));
    }
}

TEST_F(Storage, BadValuesLoadAsTheirTypesDefaults) {
    port.SetStoredSettings(AllGroups);
    port.SetStopBits(sbTwoStopBits);
    port.SetDiscardNull(true);
    port.SetEventChar('A');
    port.Buffer().SetInputSize(2048);
    TIniFile ini;
    ini.SetText("[ComPort1]\nBaudRate=fast\nStopBits=3\nDataBits=\nParity=Marked\n"
                "FlowControl=anything\nDiscardNull=Y\nEventChar=#x1\nBuffer.InputSize=12k\n"
                "Timeouts.ReadInterval=99999999999\n");
    port.LoadFromIniFile(ini);
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_EQ(port.StopBits(), sbOneStopBit);
    EXPECT_EQ(port.DataBits(), dbEight);
    EXPECT_EQ(port.Parity().Bits(), prNone);
    EXPECT_EQ(port.FlowControl().FlowControl(), fcNone); // "Custom" left the fields alone
    EXPECT_FALSE(port.DiscardNull());
    EXPECT_EQ(port.EventChar(), 0);
    EXPECT_EQ(port.Buffer().InputSize(), 2048); // no number: the current value stays
    EXPECT_EQ(port.Timeouts().ReadInterval(), -1);

    // From the registry a missing text reads as "", a missing or mistyped
    // integer ends the load where it stands.
    TRegistryKey registry;
    registry.WriteString("Port", "COM4");
    registry.WriteString("BaudRate", "115200");
    registry.WriteString("Buffer.OutputSize", "4096");
    port.SetStopBits(sbTwoStopBits);
    EXPECT_THROW(port.LoadFromRegistry(registry), ERegistryException);
    EXPECT_EQ(port.Port(), "COM4");
    EXPECT_EQ(port.BaudRate(), br115200);
    EXPECT_EQ(port.StopBits(), sbOneStopBit);
    EXPECT_EQ(port.Buffer().OutputSize(), 1024);
}

TEST(IniFile, ReadsWhatItCanAndSkipsTheRest) {
    TIniFile ini;
    std::string text = "stray=1\r\n; note\r\n[One]\r\n  Key = spaced value  \r\nno equals\r\n"
                       "=nokey\r\nkey=second\r\n[broken\r\nlost=1\r\n[ two ]\nA=1\n[ONE]\nB=2";
    text += "\n[Big]\nLong=" + std::string(200000, 'x') + "\nBin=" + std::string("a\0b\xff", 4);
    ini.SetText(text);
    EXPECT_EQ(ini.ReadString("one", "KEY", "-"), "spaced value"); // the first of two holds
    EXPECT_EQ(ini.ReadSection("One"), (std::vector<std::string>{"Key", "B"}));
    EXPECT_EQ(ini.ReadString("Two", "a", "-"), "1");
    EXPECT_EQ(ini.ReadString("One", "stray", "-"), "-");
    EXPECT_EQ(ini.ReadString("broken", "lost", "-"), "-");
    EXPECT_EQ(ini.ReadString("One", "lost", "-"), "-");
    EXPECT_EQ(ini.ReadString("Big", "Long", "").size(), 200000u);
    EXPECT_EQ(ini.ReadString("Big", "Bin", ""), std::string("a\0b\xff", 4));

    TIniFile again;
    again.SetText(ini.Text());
    EXPECT_EQ(again.Text(), ini.Text());
}

TEST(IniFile, IntegersAreWholeThirtyTwoBitNumbersOrTheFallback) {
    TIniFile ini;
    ini.SetText("[S]\na=-17\nb=0x10\nc=$FFFFFFFF\nd=2147483648\ne=12 \nf=1.5\ng=\nh=+4\ni=--1\n");
    EXPECT_EQ(ini.ReadInteger("S", "a", 7), -17);
    EXPECT_EQ(ini.ReadInteger("S", "b", 7), 16);
    EXPECT_EQ(ini.ReadInteger("S", "c", 7), -1);
    EXPECT_EQ(ini.ReadInteger("S", "d", 7), 7);
    EXPECT_EQ(ini.ReadInteger("S", "e", 7), 12);
    EXPECT_EQ(ini.ReadInteger("S", "f", 7), 7);
    EXPECT_EQ(ini.ReadInteger("S", "g", 7), 7);
    EXPECT_EQ(ini.ReadInteger("S", "h", 7), 4);
    EXPECT_EQ(ini.ReadInteger("S", "i", 7), 7);
    EXPECT_EQ(ini.ReadInteger("S", "missing", 7), 7);
}

TEST(IniFile, RefusesWhatItCouldNotReadBackAndSavesByReplacing) {
    TIniFile ini;
    EXPECT_THROW(ini.WriteString("S", "Port", "COM1\nBaudRate=110"), std::invalid_argument);
    EXPECT_THROW(ini.WriteString("S", "a=b", "1"), std::invalid_argument);
    EXPECT_THROW(ini.WriteString("S]", "a", "1"), std::invalid_argument);
    EXPECT_FALSE(ini.SectionExists("S"));

    const std::string path = testing::TempDir() + "orbel-settings.ini";
    std::remove(path.c_str());
    TIniFile file(path);
    EXPECT_FALSE(file.SectionExists("ComPort1"));
    file.WriteString("ComPort1", "Port", "COM3");
    file.UpdateFile();
    EXPECT_EQ(TIniFile(path).ReadString("ComPort1", "Port", ""), "COM3");
    std::remove(path.c_str());
    EXPECT_THROW(TIniFile("/nonexistent-dir/x.ini").UpdateFile(), std::runtime_error);
}

TEST(RegistryKey, ValuesAreTypedAndAMissingIntegerRaises) {
    TRegistryKey key;
    key.WriteInteger("Size", 5);
    key.WriteString("Name", "COM1");
    key.WriteString("size", "x"); // the same value, now a text
    EXPECT_EQ(Sorted(key.ValueNames()), (std::vector<std::string>{"Name", "Size"}));
    EXPECT_THROW(key.ReadInteger("Size"), ERegistryException);
    EXPECT_THROW(key.ReadInteger("Missing"), ERegistryException);
    EXPECT_EQ(key.ReadString("Missing"), "");
    EXPECT_EQ(key.ReadString("NAME"), "COM1");
    key.WriteInteger("Name", -3);
    EXPECT_EQ(key.ReadInteger("name"), -3);
    EXPECT_THROW(key.ReadString("Name"), ERegistryException);
    EXPECT_TRUE(key.DeleteValue("Name"));
    EXPECT_FALSE(key.ValueExists("Name"));
}
