#include "FakePortFixture.h"

#include "base/CatchAll.h"

#include <cerrno>
#include <gtest/gtest.h>

using namespace orbel;

namespace {

std::vector<std::string> ExpectedOpenOfComPort1(const std::string& name) {
    return {"Open(\\\\.\\" + name + ")",
            "SetQueueSizes(1, 1024, 1024)",
            ComPort1Record,
            "SetTimeouts(1, 4294967295, 7, 0, 200, 1000)",
            "GetModemStatus(1)",
            "GetModemStatus(1)",
            "GetModemStatus(1)"};
}

} // namespace

TEST_F(FakePort, OpeningComPort1PassesTheWorkedExampleInOrder) {
    std::vector<std::string> fired;
    port.OnBeforeOpen = [&](TCustomComPort*) { fired.push_back("BeforeOpen"); };
    port.OnAfterOpen = [&](TCustomComPort*) { fired.push_back("AfterOpen"); };
    port.OnCTSChange = [&](TCustomComPort*, bool on) {
        fired.push_back(on ? "CTS on" : "CTS off");
    };
    port.OnDSRChange = [&](TCustomComPort*, bool on) {
        fired.push_back(on ? "DSR on" : "DSR off");
    };
    port.OnRLSDChange = [&](TCustomComPort*, bool on) { fired.push_back(on ? "CD on" : "CD off"); };
    port.OnBeforeClose = [&](TCustomComPort*) { fired.push_back("BeforeClose"); };
    port.OnAfterClose = [&](TCustomComPort*) { fired.push_back("AfterClose"); };
    fake.SetModemStatus(ModemStatus::CtsOn | ModemStatus::RlsdOn);

    port.SetConnected(true);
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(port.DeviceHandle(), 1);
    EXPECT_FALSE(port.MonitorRunning());
    EXPECT_EQ(fake.Calls(), ExpectedOpenOfComPort1("COM1"));

    fake.ClearCalls();
    port.SetConnected(false);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.DeviceHandle(), InvalidComHandle);
    EXPECT_EQ(fake.Calls(), (std::vector<std::string>{"Purge(1, 3)", "Close(1)"}));
    EXPECT_EQ(fired, (std::vector<std::string>{"BeforeOpen", "AfterOpen", "CTS on", "DSR off",
                                               "CD on", "CTS off", "DSR off", "CD off",
                                               "BeforeClose", "AfterClose"}));
}

TEST_F(FakePort, ConnectedTwiceOpensOnceAndClosingAClosedPortDoesNothing) {
    port.SetConnected(false);
    port.SetConnected(false);
    EXPECT_TRUE(fake.Calls().empty());
    port.SetConnected(true);
    port.SetConnected(true);
    port.OpenPort();
    EXPECT_EQ(fake.Calls(), ExpectedOpenOfComPort1("COM1"));
}

TEST_F(FakePort, ASetterGivenTheCurrentValueTouchesNothing) {
    OpenAndForget();
    port.SetBaudRate(port.BaudRate());
    port.SetCustomBaudRate(port.CustomBaudRate());
    port.SetPort(port.Port());
    port.SetStopBits(port.StopBits());
    port.SetDataBits(port.DataBits());
    port.SetDiscardNull(port.DiscardNull());
    port.SetEventChar(port.EventChar());
    port.SetSyncMethod(port.SyncMethod());
    port.Parity().SetBits(port.Parity().Bits());
    port.Parity().SetCheck(port.Parity().Check());
    port.Parity().SetReplace(port.Parity().Replace());
    port.Parity().SetReplaceChar(port.Parity().ReplaceChar());
    auto& flow = port.FlowControl();
    flow.SetOutCTSFlow(flow.OutCTSFlow());
    flow.SetOutDSRFlow(flow.OutDSRFlow());
    flow.SetControlDTR(flow.ControlDTR());
    flow.SetControlRTS(flow.ControlRTS());
    flow.SetXonXoffOut(flow.XonXoffOut());
    flow.SetXonXoffIn(flow.XonXoffIn());
    flow.SetDSRSensitivity(flow.DSRSensitivity());
    flow.SetTxContinueOnXoff(flow.TxContinueOnXoff());
    flow.SetXonChar(flow.XonChar());
    flow.SetXoffChar(flow.XoffChar());
    auto& t = port.Timeouts();
    t.SetReadInterval(t.ReadInterval());
    t.SetReadTotalMultiplier(t.ReadTotalMultiplier());
    t.SetReadTotalConstant(t.ReadTotalConstant());
    t.SetWriteTotalMultiplier(t.WriteTotalMultiplier());
    t.SetWriteTotalConstant(t.WriteTotalConstant());
    port.Buffer().SetInputSize(port.Buffer().InputSize());
    port.Buffer().SetOutputSize(port.Buffer().OutputSize());
    EXPECT_TRUE(fake.Calls().empty());
}

TEST_F(FakePort, EachChangeReappliesOnlyItsGroupAndOnlyWhileOpen) {
    port.Timeouts().SetReadTotalMultiplier(9);
    port.SetBaudRate(br19200);
    port.Buffer().SetInputSize(2048);
    EXPECT_TRUE(fake.Calls().empty());

    OpenAndForget();
    port.Timeouts().SetReadTotalMultiplier(7);
    EXPECT_EQ(fake.Calls(),
              (std::vector<std::string>{"SetTimeouts(1, 4294967295, 7, 0, 200, 1000)"}));
    fake.ClearCalls();
    port.Buffer().SetInputSize(1024); // the XON limit changes but is not re-applied
    port.Buffer().SetOutputSize(513);
    EXPECT_EQ(fake.Calls(), (std::vector<std::string>{"SetQueueSizes(1, 1024, 1024)",
                                                      "SetQueueSizes(1, 1024, 512)"}));
    fake.ClearCalls();
    port.FlowControl().SetFlowControl(fcNone); // reads fcNone already: re-applied anyway
    port.SetEvents({evRxChar});                // takes effect at the next open only
    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(250000);
    const auto calls = fake.Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].substr(0, 35), "SetDeviceControl(1, BaudRate=19200 ");
    EXPECT_EQ(calls[2].substr(0, 36), "SetDeviceControl(1, BaudRate=250000 ");
    EXPECT_EQ(fake.DeviceControl()->BaudRate, 250000u);
}

TEST_F(FakePort, AFailedApplyKeepsTheNewValueAndTheDeviceAsItWas) {
    OpenAndForget();
    fake.FailNext("SetDeviceControl", EINVAL);
    try {
        port.SetBaudRate(br19200);
        FAIL() << "no exception";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.PortCode(), CError_SetStateFailed);
        EXPECT_EQ(e.SystemCode(), EINVAL);
    }
    EXPECT_EQ(port.BaudRate(), br19200);
    EXPECT_EQ(fake.DeviceControl()->BaudRate, 9600u);
    EXPECT_TRUE(port.Connected());

    fake.FailNext("SetTimeouts", EIO);
    EXPECT_EQ(PortCodeOf([&] { port.Timeouts().SetReadTotalConstant(3); }), CError_TimeoutsFailed);
    EXPECT_EQ(port.Timeouts().ReadTotalConstant(), 3);
    EXPECT_EQ(fake.Timeouts()->ReadTotalTimeoutConstant, 0u);

    fake.FailNext("SetQueueSizes", ENOMEM);
    EXPECT_EQ(PortCodeOf([&] { port.Buffer().SetInputSize(4096); }), CError_SetupComFailed);
    EXPECT_EQ(port.Buffer().InputSize(), 4096);
}

TEST_F(FakePort, ConfigurationRefusedOnOpenClosesTheDeviceAgain) {
    bool afterOpen = false;
    port.OnAfterOpen = [&](TCustomComPort*) { afterOpen = true; };
    fake.FailNext("SetTimeouts", EIO);
    try {
        port.SetConnected(true);
        FAIL() << "no exception";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.PortCode(), CError_TimeoutsFailed);
        EXPECT_EQ(e.SystemCode(), EIO);
    }
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.DeviceHandle(), InvalidComHandle);
    EXPECT_FALSE(fake.IsOpen());
    EXPECT_FALSE(afterOpen);
    EXPECT_EQ(fake.Calls().back(), "Close(1)");
}

TEST_F(FakePort, ADeviceThatCannotBeOpenedLeavesThePortClosed) {
    bool beforeOpen = false;
    bool afterOpen = false;
    port.OnBeforeOpen = [&](TCustomComPort*) { beforeOpen = true; };
    port.OnAfterOpen = [&](TCustomComPort*) { afterOpen = true; };
    fake.FailNext("Open", ENOENT);
    try {
        port.SetConnected(true);
        FAIL() << "no exception";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.PortCode(), CError_OpenFailed);
        EXPECT_EQ(e.SystemCode(), ENOENT);
    }
    EXPECT_TRUE(beforeOpen);
    EXPECT_FALSE(afterOpen);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.DeviceHandle(), InvalidComHandle);
    EXPECT_EQ(fake.Calls(), (std::vector<std::string>{"Open(\\\\.\\COM1)"}));
}

TEST_F(FakePort, AModemStatusRefusedAtTheOpenRaises11WithThePortLeftOpen) {
    std::vector<std::string> fired;
    port.OnAfterOpen = [&](TCustomComPort*) { fired.push_back("AfterOpen"); };
    port.OnCTSChange = [&](TCustomComPort*, bool) { fired.push_back("CTS"); };
    fake.FailNext("GetModemStatus", EIO);
    try {
        port.SetConnected(true);
        FAIL() << "no exception";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.PortCode(), CError_ModemStatFailed);
        EXPECT_EQ(e.SystemCode(), EIO);
    }
    EXPECT_TRUE(port.Connected());
    EXPECT_TRUE(fake.IsOpen());
    EXPECT_EQ(fired, std::vector<std::string>{"AfterOpen"});
    port.OnAfterOpen = nullptr;
    port.OnCTSChange = nullptr;
}

TEST_F(FakePort, ChangingThePortReopensOnlyAnOpenPort) {
    port.SetPort("COM2");
    EXPECT_TRUE(fake.Calls().empty());
    port.SetConnected(true);
    EXPECT_EQ(fake.Calls().front(), "Open(\\\\.\\COM2)");

    fake.ClearCalls();
    port.SetPort("COM3");
    auto expected = ExpectedOpenOfComPort1("COM3");
    for (auto& call : expected) {
        if (call != "Open(\\\\.\\COM3)") {
            call.replace(call.find("(1"), 2, "(2");
        }
    }
    expected.insert(expected.begin(), {"Purge(1, 3)", "Close(1)"});
    EXPECT_EQ(fake.Calls(), expected);

    fake.FailNext("Open", EBUSY);
    EXPECT_EQ(PortCodeOf([&] { port.SetPort("COM4"); }), CError_OpenFailed);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.Port(), "COM4");
}

TEST_F(FakePort, SyncMethodIsRefusedWhileOpen) {
    port.SetSyncMethod(smNone);
    EXPECT_EQ(port.SyncMethod(), smNone);
    port.SetSyncMethod(smThreadSync);
    port.SetConnected(true);
    try {
        port.SetSyncMethod(smWindowSync);
        FAIL() << "no exception";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.PortCode(), CError_ConnChangeProp);
        EXPECT_EQ(e.SystemCode(), -1);
    }
    EXPECT_EQ(port.SyncMethod(), smThreadSync);
}

TEST(PortLoading, NothingReachesTheDeviceUntilAfterLoadOpensIt) {
    TFakeComPlatform fake;
    TComPort port(nullptr, &fake);
    port.BeginLoading();
    DesignComPort1(port);
    port.SetConnected(true);
    port.SetSyncMethod(smNone); // stored while loading
    EXPECT_FALSE(port.Connected());
    EXPECT_TRUE(fake.Calls().empty());
    port.AfterLoad();
    EXPECT_TRUE(port.Connected());
    EXPECT_FALSE(port.Loading());
    EXPECT_EQ(fake.Calls().at(2), ComPort1Record);
}

TEST(PortLoading, AFailedOpenAfterLoadGoesToTheExceptionReport) {
    std::vector<int> reported;
    SetExceptionReport([&](const std::exception& e) {
        const auto* port = dynamic_cast<const EComPort*>(&e);
        reported.push_back(port != nullptr ? port->PortCode() : -1);
    });
    TFakeComPlatform fake;
    TComPort port(nullptr, &fake);
    port.BeginLoading();
    port.SetConnected(true);
    fake.FailNext("Open", ENOENT);
    EXPECT_NO_THROW(port.AfterLoad());
    SetExceptionReport(nullptr);
    EXPECT_EQ(reported, std::vector<int>{CError_OpenFailed});
    EXPECT_FALSE(port.Connected());
}

TEST(PortLoading, DestroyingAnOpenPortClosesTheDevice) {
    TFakeComPlatform fake;
    {
        TComPort port(nullptr, &fake);
        port.SetEvents({});
        port.SetConnected(true);
    }
    EXPECT_FALSE(fake.IsOpen());
    EXPECT_EQ(fake.Calls().back(), "Close(1)");
}

TEST(PortLoading, AFailedAbortStillClosesAndIsRaisedAfterwards) {
    TFakeComPlatform fake;
    std::vector<std::string> reported;
    SetExceptionReport([&](const std::exception& e) { reported.push_back(e.what()); });
    {
        TComPort port(nullptr, &fake);
        int afterClose = 0;
        port.OnAfterClose = [&](TCustomComPort*) { ++afterClose; };
        port.SetConnected(true);
        fake.FailNext("Purge", EIO);
        EXPECT_EQ(PortCodeOf([&] { port.SetConnected(false); }), CError_PurgeFailed);
        EXPECT_FALSE(port.Connected());
        EXPECT_FALSE(fake.IsOpen());
        EXPECT_EQ(afterClose, 1);
        port.SetConnected(true); // the replugged device opens again
        EXPECT_TRUE(fake.IsOpen());
        fake.FailNext("Purge", EIO);
    } // the destructor closes the device and reports the failure
    SetExceptionReport(nullptr);
    EXPECT_FALSE(fake.IsOpen());
    EXPECT_EQ(reported.size(), 1u);
}

TEST(PortLoading, DestroyingAPortWhoseCloseThrowsAnythingStillClosesTheDevice) {
    TFakeComPlatform fake;
    std::vector<std::string> reported;
    SetExceptionReport([&](const std::exception& e) { reported.push_back(e.what()); });
    {
        TComPort port(nullptr, &fake);
        port.SetEvents({});
        port.SetConnected(true);
        port.OnBeforeClose = [](TCustomComPort*) { throw 42; };
    }
    SetExceptionReport(nullptr);
    EXPECT_FALSE(fake.IsOpen());
    EXPECT_EQ(reported, std::vector<std::string>{"unknown failure while closing the port"});
}
