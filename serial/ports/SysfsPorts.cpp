#include "serial/ports/SysfsPorts.h"

#include "serial/platform/PortVariable.h"
#include "serial/platform/posix/DeviceNames.h"

#include <charconv>
#include <fstream>

namespace orbel {

namespace fs = std::filesystem;

namespace {

// The first line of a sysfs attribute, without its line end; empty when
// there is none.
std::string Attribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) {
        line.pop_back();
    }
    return line;
}

std::optional<unsigned> Number(const std::string& text, int base) {
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::uint16_t> UsbId(const fs::path& file) {
    const std::optional<unsigned> id = Number(Attribute(file), 16);
    if (!id || *id > 0xffff) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(*id);
}

std::string LinkName(const fs::path& link) {
    std::error_code ec;
    const fs::path target = fs::read_symlink(link, ec);
    return ec ? std::string() : target.filename().string();
}

// Fills in the driver and, for a USB adapter, its ids, names and serial
// number, from the device's folder up. The serial core's own port devices
// (the bus serial-base) are no adapter's driver.
void DescribeAdapter(const fs::path& device, const fs::path& sys, TSerialPortInfo& entry) {
    const fs::path top = sys / "devices";
    for (fs::path at = device; at.has_relative_path() && at != top; at = at.parent_path()) {
        if (entry.driver.empty() && LinkName(at / "subsystem") != "serial-base") {
            entry.driver = LinkName(at / "driver");
        }
        if (std::error_code ec; fs::exists(at / "idVendor", ec)) {
            entry.vendorId = UsbId(at / "idVendor");
            entry.productId = UsbId(at / "idProduct");
            entry.manufacturer = Attribute(at / "manufacturer");
            entry.product = Attribute(at / "product");
            entry.serialNumber = Attribute(at / "serial");
            return;
        }
    }
}

// ftdi_sio's timer, in ms (1 to 255); it reads 1 while the low-latency flag,
// which the platform sets at open, is on.
std::optional<int> LatencyTimer(const fs::path& device) {
    const std::optional<unsigned> ms = Number(Attribute(device / "latency_timer"), 10);
    if (!ms || *ms > 255) {
        return std::nullopt;
    }
    return static_cast<int>(*ms);
}

// The /dev/serial/by-id link that leads to `device`, or empty.
std::string ByIdLink(const fs::path& dev, const std::string& device) {
    std::error_code ec;
    for (const fs::directory_entry& link : fs::directory_iterator(dev / "serial" / "by-id", ec)) {
        if (fs::weakly_canonical(link.path(), ec) == device) {
            return link.path().string();
        }
    }
    return {};
}

} // namespace

std::vector<TSerialPortInfo> ReadSysfsPorts(const fs::path& sys, const fs::path& dev) {
    std::vector<TSerialPortInfo> entries;
    std::error_code ec;
    for (const fs::directory_entry& tty : fs::directory_iterator(sys / "class" / "tty", ec)) {
        const fs::path device = fs::canonical(tty.path() / "device", ec);
        // No device: a virtual terminal. Type 0: a serial core slot without a UART.
        if (ec || (fs::exists(tty.path() / "type", ec) && Attribute(tty.path() / "type") == "0")) {
            ec.clear();
            continue;
        }
        TSerialPortInfo entry;
        entry.port = (dev / tty.path().filename()).string();
        entry.identity = fs::weakly_canonical(entry.port, ec).string();
        entry.byId = ByIdLink(dev, entry.identity);
        entry.latencyTimerMs = LatencyTimer(device);
        DescribeAdapter(device, sys, entry);
        entries.push_back(entry);
    }
    SortByPortName(entries);
    return entries;
}

TMenuTarget MenuTarget(int n) {
    const std::string com = "COM" + std::to_string(n);
    const auto variable = LookUpEnvironment(PortVariable(static_cast<unsigned>(n)));
    std::error_code ec;
    const std::string path = ResolveDeviceName(com);
    return TMenuTarget{path.empty() ? std::string() : fs::weakly_canonical(path, ec).string(),
                       variable && !variable->empty()};
}

std::vector<TSerialPortInfo> ListSerialPorts() {
    std::vector<TSerialPortInfo> entries = ReadSysfsPorts("/sys", "/dev");
    MarkMenuItems(entries, MenuTarget);
    return entries;
}

std::optional<TSerialPortInfo> FindSerialPort(const std::string& portName) {
    const std::string path = ResolveDeviceName(portName);
    if (path.empty()) {
        return std::nullopt;
    }
    std::error_code ec;
    const std::string identity = fs::weakly_canonical(path, ec).string();
    for (TSerialPortInfo& entry : ReadSysfsPorts("/sys", "/dev")) {
        if (entry.identity == identity) {
            return std::move(entry);
        }
    }
    return std::nullopt;
}

std::string LatencyAdvice(const TSerialPortInfo& port) {
    if (!port.latencyTimerMs || *port.latencyTimerMs <= LatencyAdviceAboveMs) {
        return {};
    }
    const std::string tty = port.identity.substr(port.identity.rfind('/') + 1);
    return "replies wait up to " + std::to_string(*port.latencyTimerMs) +
           " ms in the adapter; lower it to 1 ms: echo 1 | sudo tee "
           "/sys/bus/usb-serial/devices/" +
           tty + "/latency_timer";
}

} // namespace orbel
