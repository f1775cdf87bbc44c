// The port list from Windows' device records (pure: scripted records stand
// for SetupAPI, the configuration manager and the registry), and the notes
// the log gets at open.
#include "serial/ports/DevicePorts.h"

#include <gtest/gtest.h>

using namespace orbel;

namespace {

class TScriptedDevices final : public IDeviceQuery {
public:
    std::vector<TDeviceRecord> devices;
    std::vector<TSerialCommValue> serialComm;
    std::vector<TDeviceRecord> PortsClass() const override { return devices; }
    std::vector<TSerialCommValue> SerialComm() const override { return serialComm; }
};

TDeviceRecord Device(const std::string& port, unsigned status, unsigned problem = 0) {
    TDeviceRecord d;
    d.portName = port;
    d.friendlyName = "USB Serial Port (" + port + ")";
    d.status = status;
    d.problem = problem;
    return d;
}

const unsigned Started = DeviceStarted;
const unsigned Problem = DeviceHasProblem;

} // namespace

TEST(SerialPorts, DeviceRecordsBecomeTheListWithStatesIdsAndFallbacks) {
    TScriptedDevices query;
    TDeviceRecord ftdi = Device("COM3", Started);
    ftdi.hardwareId = "FTDIBUS\\COMPORT&VID_0403&PID_6001";
    ftdi.service = "FTDIBUS";
    ftdi.latencyTimer = 16;
    TDeviceRecord noProduct = Device("COM4", Started);
    noProduct.hardwareId = "USB\\VID_10C4";
    noProduct.friendlyName.clear();
    noProduct.description = "CP210x USB to UART Bridge";
    noProduct.instanceId = "USB\\VID_10C4\\0001";
    TDeviceRecord arduino = Device("COM10", Started);
    arduino.hardwareId = "USB\\VID_2341&PID_0043&REV_0001";
    arduino.instanceId = "USB\\VID_2341&PID_0043\\85736323838351F0E1A1";
    TDeviceRecord madeUpSerial = Device("COM11", Started);
    madeUpSerial.instanceId = "USB\\VID_1A86&PID_7523\\5&2B4A2B0&0&2";
    TDeviceRecord gone = Device("COM12", Started);
    gone.present = false;
    query.devices = {ftdi,
                     noProduct,
                     arduino,
                     madeUpSerial,
                     gone,
                     Device("LPT1", Started),
                     Device("COM5", Problem, ProblemDisabled),
                     Device("COM6", Problem, 10),
                     Device("COM7", 0)};
    query.serialComm = {{"\\Device\\Serial0", "COM2", true},
                        {"\\Device\\USBSER000", "COM8", false}, // unplugged while open
                        {"\\Device\\VCP0", "COM3", true}};      // the class has it already

    const std::vector<TSerialPortInfo> ports = PortsFromDevices(query);
    struct TRow {
        const char* port;
        const char* name;
        const char* usbId;
        const char* serial;
        const char* state;
    };
    const TRow expected[] = {
        {"COM2", "\\Device\\Serial0", "", "", ""},
        {"COM3", "USB Serial Port (COM3)", "0403:6001", "", ""},
        {"COM4", "CP210x USB to UART Bridge", "10c4", "0001", ""},
        {"COM5", "USB Serial Port (COM5)", "", "", "disabled"},
        {"COM6", "USB Serial Port (COM6)", "", "", "cannot start (Code 10)"},
        {"COM7", "USB Serial Port (COM7)", "", "", "not started"},
        {"COM10", "USB Serial Port (COM10)", "2341:0043", "85736323838351F0E1A1", ""},
        {"COM11", "USB Serial Port (COM11)", "", "", ""},
    };
    ASSERT_EQ(ports.size(), std::size(expected));
    for (std::size_t i = 0; i < ports.size(); ++i) {
        SCOPED_TRACE(expected[i].port);
        EXPECT_EQ(ports[i].port, expected[i].port);
        EXPECT_EQ(ports[i].name, expected[i].name);
        EXPECT_EQ(UsbIdText(ports[i]), expected[i].usbId);
        EXPECT_EQ(ports[i].serialNumber, expected[i].serial);
        EXPECT_EQ(StateText(ports[i]), expected[i].state);
    }
    EXPECT_EQ(ports[1].latencyTimerMs, 16);
    EXPECT_EQ(ports[1].driver, "FTDIBUS");
    EXPECT_EQ(ports[4].problemCode, 10U);
}

TEST(SerialPorts, EveryMenuItemOnAPortAndTheNotesAtOpen) {
    std::vector<TSerialPortInfo> ports(2);
    ports[0].port = ports[0].identity = "COM3";
    ports[1].port = ports[1].identity = "COM7";
    MarkMenuItems(ports, [](int n) {
        return n == 2 ? TMenuTarget{} : TMenuTarget{n == 1 ? "COM3" : "COM7", n == 4};
    });
    ASSERT_EQ(ports[0].menus.size(), 1U);
    ASSERT_EQ(ports[1].menus.size(), 2U);
    EXPECT_EQ(ports[1].menus[0].number, 3);
    EXPECT_TRUE(ports[1].menus[1].throughVariable);

    TSerialPortInfo port;
    port.port = "COM7";
    EXPECT_TRUE(OpenedNotes(port, "COM1").empty()); // no timer known: nothing to say
    port.latencyTimerMs = 2;
    EXPECT_EQ(OpenedNotes(port, "COM1"),
              std::vector<std::string>{"serial: COM1 (COM7): latency timer 2 ms"});
    port.latencyTimerMs = 16;
    const std::vector<std::string> high = OpenedNotes(port, "COM7");
    ASSERT_EQ(high.size(), 1U);
    EXPECT_NE(high[0].find("serial: COM7: latency timer 16 ms; replies wait up to 16 ms"),
              std::string::npos);
    EXPECT_NE(high[0].find("1 ms"), std::string::npos);
    EXPECT_TRUE(UnusableNotes(port, "COM7").empty());
    port.state = TPortState::Disabled;
    EXPECT_EQ(UnusableNotes(port, "COM7"),
              std::vector<std::string>{"serial: COM7: the device is disabled in the device "
                                       "manager, so it cannot be used; enable it there"});
}
