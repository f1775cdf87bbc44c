// The ports as Windows' device manager and registry give them, turned into
// the list. What the system calls return is gathered into plain records
// (IDeviceQuery, the system's in the programs, scripted in tests), and the
// rules that make a list of them are pure: they build and are tested on
// every system.
#pragma once

#include "serial/ports/SerialPorts.h"

namespace orbel {

// One device of the ports class (SetupAPI, the configuration manager and the
// device's own registry key), its texts in UTF-8.
struct TDeviceRecord {
    std::string portName;     // PortName of its parameters: "COM5"; "LPT1" for a printer port
    std::string friendlyName; // SPDRP_FRIENDLYNAME, may be missing
    std::string description;  // SPDRP_DEVICEDESC
    std::string manufacturer; // SPDRP_MFG
    std::string service;      // SPDRP_SERVICE
    std::string hardwareId;   // the first of SPDRP_HARDWAREID: "USB\VID_0403&PID_6001&REV_0600"
    std::string instanceId;   // "USB\VID_2341&PID_0043\85736323838351F0E1A1"
    bool present = true;      // CM_Get_DevNode_Status found the node
    unsigned status = 0;      // its DN_ flags
    unsigned problem = 0;     // its CM_PROB_ code
    std::optional<unsigned> latencyTimer; // LatencyTimer of its parameters (FTDI)
};

// One value of HARDWARE\DEVICEMAP\SERIALCOMM: "\Device\Serial0" = "COM1",
// and whether the port's name still leads to a device (QueryDosDevice).
struct TSerialCommValue {
    std::string device;
    std::string port;
    bool present = false;
};

class IDeviceQuery {
public:
    virtual ~IDeviceQuery() = default;
    virtual std::vector<TDeviceRecord> PortsClass() const = 0;
    virtual std::vector<TSerialCommValue> SerialComm() const = 0;
};

// The configuration manager's node flags and problem codes used here.
constexpr unsigned DeviceStarted = 0x00000008;    // DN_STARTED
constexpr unsigned DeviceHasProblem = 0x00000400; // DN_HAS_PROBLEM
constexpr unsigned ProblemDisabled = 22;          // CM_PROB_DISABLED

// The ports of the ports class (with their state, a device without a friendly
// name under its description), then those of SERIALCOMM the class does not
// have and whose name still leads to a device; sorted by name.
std::vector<TSerialPortInfo> PortsFromDevices(const IDeviceQuery& query);

// "\\.\COM7" or "com7" -> "COM7": the identity of a Windows port name.
std::string ComIdentity(const std::string& path);

} // namespace orbel
