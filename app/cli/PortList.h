// The serial ports present, as `orbel-cli ports` lists them: the name to give
// --port, the adapter behind it and the menu item COM1 to COM4 that reaches
// it today. Linux reads sysfs (the kernel's own view, the same with or without
// udev); Windows the device manager's ports class, else the registry's
// SERIALCOMM list.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace orbel::cli {

struct TPortEntry {
    std::string port;     // what --port takes: the device path on Linux, COMn on Windows
    std::string identity; // the device itself (a path without links, an upper-case COMn)
    std::string byId;     // Linux: its /dev/serial/by-id link, or empty
    std::string name;     // Windows: the device's friendly name, or empty
    std::string vendor;   // USB: the maker and product as the adapter names them
    std::string product;
    std::string usbId;            // USB: "0403:6001", or empty
    std::string driver;           // the kernel driver (ftdi_sio, serial8250) or the Windows service
    int menu = 0;                 // the menu item COMn that reaches it, or 0
    bool throughVariable = false; // ... through ORBEL_COMn rather than directly
};

// Where menu item COMn leads today: the identity of its device (as in
// TPortEntry), and whether ORBEL_COMn sent it there.
struct TMenuTarget {
    std::string identity;
    bool throughVariable = false;
};

// The system's ports, sorted by name, each with the menu item that reaches it.
std::vector<TPortEntry> ListSerialPorts();

// Gives each entry the first of COM1 to COM4 whose target is its device.
void MarkMenuItems(std::vector<TPortEntry>& entries,
                   const std::function<TMenuTarget(int n)>& targetOf);

// Sorts by name with numbers in their order: ttyS2 before ttyS10, COM2 before COM10.
void SortByPortName(std::vector<TPortEntry>& entries);

#ifndef _WIN32
// The terminals with a device behind them under `sys`/class/tty (a serial
// core slot without a UART, type 0, left out), their device files in `dev`.
std::vector<TPortEntry> ReadSysfsPorts(const std::filesystem::path& sys,
                                       const std::filesystem::path& dev);
#endif

} // namespace orbel::cli
