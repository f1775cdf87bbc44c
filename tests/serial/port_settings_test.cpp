#include "FakePortFixture.h"

#include <gtest/gtest.h>

TEST(PortSettings, AFreshPortHoldsTheDefaults) {
    TFakeComPlatform fake;
    TComPort port(nullptr, &fake);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.DeviceHandle(), InvalidComHandle);
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_EQ(port.CustomBaudRate(), 9600);
    EXPECT_EQ(port.Port(), "COM1");
    EXPECT_EQ(port.Events(), AllComEvents);
    EXPECT_EQ(port.Events().ToBits(), 0x03FF);
    EXPECT_EQ(port.SyncMethod(), smThreadSync);
    const TComTimeoutRecord defaults{0xFFFFFFFFu, 0, 0, 100, 1000};
    EXPECT_EQ(port.TimeoutRecord(), defaults);
    EXPECT_EQ(port.FlowControl().XonChar(), 17);
    EXPECT_EQ(port.FlowControl().XoffChar(), 19);
    EXPECT_EQ(port.Buffer().InputSize(), 1024);
    EXPECT_EQ(port.Buffer().OutputSize(), 1024);
    EXPECT_EQ(port.StopBits(), sbOneStopBit);
    EXPECT_EQ(port.DataBits(), dbEight);
    EXPECT_FALSE(port.DiscardNull());
    EXPECT_EQ(port.EventChar(), 0);
    EXPECT_EQ(port.StoredSettings(), TStoredSettings{ssBasic});
    const TComParity& parity = port.Parity();
    EXPECT_EQ(parity.Bits(), prNone);
    EXPECT_FALSE(parity.Check() || parity.Replace());
    EXPECT_EQ(parity.ReplaceChar(), 0);
    const TComFlowControl& flow = port.FlowControl();
    EXPECT_FALSE(flow.OutCTSFlow() || flow.OutDSRFlow() || flow.XonXoffOut() || flow.XonXoffIn() ||
                 flow.DSRSensitivity() || flow.TxContinueOnXoff());
    EXPECT_EQ(flow.ControlDTR(), dtrDisable);
    EXPECT_EQ(flow.ControlRTS(), rtsDisable);
    EXPECT_EQ(flow.FlowControl(), fcNone);
    EXPECT_FALSE(port.MonitorRunning());
    EXPECT_EQ(port.MonitorThread(), nullptr);
    EXPECT_FALSE(port.Loading());
    EXPECT_TRUE(fake.Calls().empty());
}

TEST_F(FakePort, ComPort1ReadsAsDesigned) {
    const TComTimeoutRecord expected{0xFFFFFFFFu, 7, 0, 200, 1000};
    EXPECT_EQ(port.TimeoutRecord(), expected);
    EXPECT_EQ(port.FlowControl().FlowControl(), fcNone);
    port.FlowControl().SetControlDTR(dtrHandshake);
    EXPECT_EQ(port.FlowControl().FlowControl(), fcNone); // DTR plays no part
    EXPECT_FALSE(port.Connected());
    EXPECT_TRUE(fake.Calls().empty());
}

TEST(PortSettings, FlowControlPresetReadsFromRtsCtsAndXonXoffOnly) {
    TComFlowControl flow;
    flow.SetFlowControl(fcHardware);
    EXPECT_EQ(flow.ControlRTS(), rtsHandshake);
    EXPECT_TRUE(flow.OutCTSFlow());
    EXPECT_EQ(flow.FlowControl(), fcHardware);
    flow.SetXonXoffIn(true);
    EXPECT_EQ(flow.FlowControl(), fcCustom);
    flow.SetFlowControl(fcSoftware);
    EXPECT_EQ(flow.ControlRTS(), rtsDisable);
    EXPECT_FALSE(flow.OutCTSFlow());
    EXPECT_TRUE(flow.XonXoffIn() && flow.XonXoffOut());
    EXPECT_EQ(flow.FlowControl(), fcSoftware);
    flow.SetXonXoffOut(false);
    EXPECT_EQ(flow.FlowControl(), fcCustom); // one-way XON/XOFF is no preset
    flow.SetOutDSRFlow(true);
    flow.SetFlowControl(fcCustom);
    EXPECT_TRUE(flow.XonXoffIn()); // custom leaves the fields alone
    flow.SetFlowControl(fcNone);
    EXPECT_EQ(flow.FlowControl(), fcNone);
    EXPECT_TRUE(flow.OutDSRFlow());
}

TEST(PortSettings, OddPositiveQueueSizesAreStoredOneLower) {
    TComBuffer buffer;
    const std::pair<std::int32_t, std::int32_t> cases[] = {
        {1025, 1024}, {1, 0}, {-3, -3}, {6, 6}, {0, 0}, {2147483647, 2147483646}};
    for (const auto& [given, stored] : cases) {
        buffer.SetInputSize(given);
        buffer.SetOutputSize(given);
        EXPECT_EQ(buffer.InputSize(), stored) << given;
        EXPECT_EQ(buffer.OutputSize(), stored) << given;
    }
}

TEST_F(FakePort, XonAndXoffLimitsAreAQuarterOfTheInputQueueKeptTo16Bits) {
    const std::pair<std::int32_t, std::uint16_t> cases[] = {{1024, 256}, {6, 1},  {262144, 0},
                                                            {262148, 1}, {-3, 0}, {-400, 65436}};
    for (const auto& [size, limit] : cases) {
        port.Buffer().SetInputSize(size);
        EXPECT_EQ(port.DeviceControl().XonLim, limit) << size;
        EXPECT_EQ(port.DeviceControl().XoffLim, limit) << size;
    }
}

TEST_F(FakePort, DeviceControlRecordFollowsEverySetting) {
    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(250000);
    EXPECT_EQ(port.DeviceControl().BaudRate, 250000u);
    port.SetBaudRate(br128000);
    EXPECT_EQ(port.DeviceControl().BaudRate, 128000u); // CustomBaudRate only with brCustom

    port.Parity().SetBits(prSpace);
    port.Parity().SetCheck(true);
    port.Parity().SetReplaceChar('?');
    EXPECT_EQ(port.DeviceControl().ErrorChar, 0); // replacement not asked for
    port.Parity().SetReplace(true);
    port.SetDiscardNull(true);
    port.SetDataBits(dbSeven);
    port.SetStopBits(sbTwoStopBits);
    port.SetEventChar('\r');
    port.FlowControl().SetFlowControl(fcHardware);
    port.FlowControl().SetControlDTR(dtrEnable);
    port.FlowControl().SetOutDSRFlow(true);
    port.FlowControl().SetDSRSensitivity(true);
    port.FlowControl().SetTxContinueOnXoff(true);
    port.FlowControl().SetXonXoffOut(true);
    port.FlowControl().SetXonXoffIn(true);
    port.FlowControl().SetXonChar(1);
    port.FlowControl().SetXoffChar(2);
    const TComDeviceControl c = port.DeviceControl();
    // binary, parity check, CTS, DSR, DTR on, DSR sensitivity, continue on
    // XOFF, XON/XOFF out and in, error char, discard null, RTS handshake
    EXPECT_EQ(c.Flags,
              0x1u | 0x2 | 0x4 | 0x8 | 0x10 | 0x40 | 0x80 | 0x100 | 0x200 | 0x400 | 0x800 | 0x2000);
    EXPECT_EQ(c.ByteSize, 7);
    EXPECT_EQ(c.Parity, 4);
    EXPECT_EQ(c.StopBits, 2);
    EXPECT_EQ(c.ErrorChar, '?');
    EXPECT_EQ(c.EvtChar, '\r');
    EXPECT_EQ(c.XonChar, 1);
    EXPECT_EQ(c.XoffChar, 2);
    EXPECT_EQ(c.EofChar, 0);
}

TEST_F(FakePort, AssigningASettingsObjectCopiesValuesAndAlwaysReapplies) {
    OpenAndForget();
    TComTimeouts given;
    given.Assign(port.Timeouts());
    port.SetTimeouts(given); // equal values: re-applied all the same
    given.SetReadTotalConstant(5);
    port.SetTimeouts(given);
    EXPECT_EQ(port.Timeouts().ReadTotalConstant(), 5);
    EXPECT_EQ(port.Timeouts().ComPort(), &port);
    EXPECT_EQ(given.ComPort(), nullptr);
    EXPECT_EQ(fake.Calls(),
              (std::vector<std::string>{"SetTimeouts(1, 4294967295, 7, 0, 200, 1000)",
                                        "SetTimeouts(1, 4294967295, 7, 5, 200, 1000)"}));
    fake.ClearCalls();
    TComParity parity;
    parity.SetBits(prEven);
    port.SetParity(parity);
    TComBuffer buffer;
    port.SetBuffer(buffer);
    TComFlowControl flow;
    port.SetFlowControl(flow);
    EXPECT_EQ(port.Parity().Bits(), prEven);
    ASSERT_EQ(fake.Calls().size(), 3u);
    EXPECT_EQ(fake.Calls()[1], "SetQueueSizes(1, 1024, 1024)");
}
