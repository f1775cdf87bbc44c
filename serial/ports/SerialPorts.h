// The serial ports present, as the system knows them: the name to give the
// port, the adapter behind it (with its USB facts typed), the state the
// system has it in, the latency timer of an adapter that holds short replies
// back, and the menu items COM1 to COM4 that reach it. Linux reads sysfs (the
// kernel's own view, the same with or without udev); Windows the device
// manager's ports class, else the registry's SERIALCOMM list.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orbel {

// What the system makes of the device (Windows: the device manager's state).
enum class TPortState {
    Usable,
    Disabled,   // switched off in the device manager
    NotStarted, // no driver started for it
    Failed,     // a problem code (Code 10: the driver refused to start it)
};

// A menu item COMn that reaches a port, and whether ORBEL_COMn sent it there.
struct TMenuItem {
    int number = 0;
    bool throughVariable = false;
};

struct TSerialPortInfo {
    std::string port;         // what --port takes: the device path on Linux, COMn on Windows
    std::string identity;     // the device itself (a path without links, an upper-case COMn)
    std::string byId;         // Linux: its /dev/serial/by-id link, or empty
    std::string name;         // Windows: the friendly name, else the description, or empty
    std::string manufacturer; // USB: the maker and product as the adapter names them
    std::string product;
    std::optional<std::uint16_t> vendorId; // USB ids, when the system gives them
    std::optional<std::uint16_t> productId;
    std::string serialNumber; // USB: the adapter's serial number, or empty
    std::string driver;       // the kernel driver (ftdi_sio, serial8250) or the Windows service
    TPortState state = TPortState::Usable;
    unsigned problemCode = 0;          // Windows: the device manager's code, 0 for none
    std::optional<int> latencyTimerMs; // an FTDI adapter's latency timer
    std::vector<TMenuItem> menus;      // every item of COM1 to COM4 that reaches it
};

// Where menu item COMn leads today: the identity of its device (as in
// TSerialPortInfo), and whether ORBEL_COMn sent it there.
struct TMenuTarget {
    std::string identity;
    bool throughVariable = false;
};

// The system's ports, sorted by name, each with the menu items that reach it.
std::vector<TSerialPortInfo> ListSerialPorts();

// The device menu item COMn (1 to 4) stands for on this system.
TMenuTarget MenuTarget(int n);

// The listed port a port name (COMn, a path, "\\.\COMn") stands for.
std::optional<TSerialPortInfo> FindSerialPort(const std::string& portName);

// Gives each entry every item of COM1 to COM4 whose target is its device.
void MarkMenuItems(std::vector<TSerialPortInfo>& entries,
                   const std::function<TMenuTarget(int n)>& targetOf);

// Sorts by name with numbers in their order: ttyS2 before ttyS10, COM2 before COM10.
void SortByPortName(std::vector<TSerialPortInfo>& entries);

// "0403:6001"; the vendor alone when the product id is missing; empty without ids.
std::string UsbIdText(const TSerialPortInfo& port);

// "disabled", "not started", "cannot start (Code 10)"; empty for a usable port.
std::string StateText(const TSerialPortInfo& port);

// Above this a latency timer adds a noticeable part to every exchange.
constexpr int LatencyAdviceAboveMs = 4;

// How to lower the latency timer on this system; empty at or below
// LatencyAdviceAboveMs, or when the adapter has none.
std::string LatencyAdvice(const TSerialPortInfo& port);

// What the log gets after a port was opened (its latency timer, with the
// advice when it is high), and before an open of a device the system has in
// a state that cannot be used; each line for the diagnostics' sink.
std::vector<std::string> OpenedNotes(const TSerialPortInfo& port, const std::string& portName);
std::vector<std::string> UnusableNotes(const TSerialPortInfo& port, const std::string& portName);

// The same for the port a name stands for, handed to the diagnostics' sink.
void NotePortOpened(const std::string& portName);
void NotePortUnusable(const std::string& portName);

} // namespace orbel
