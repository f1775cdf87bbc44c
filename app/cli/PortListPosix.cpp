#include "app/cli/PortList.h"

#include "serial/platform/PortVariable.h"
#include "serial/platform/posix/DeviceNames.h"

#include <fstream>

namespace orbel::cli {

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

std::string LinkName(const fs::path& link) {
    std::error_code ec;
    const fs::path target = fs::read_symlink(link, ec);
    return ec ? std::string() : target.filename().string();
}

// Fills in the driver and, for a USB adapter, its ids and names, from the
// device's folder up. The serial core's own port devices (the bus
// serial-base) are no adapter's driver.
void DescribeAdapter(const fs::path& device, const fs::path& sys, TPortEntry& entry) {
    const fs::path top = sys / "devices";
    for (fs::path at = device; at.has_relative_path() && at != top; at = at.parent_path()) {
        if (entry.driver.empty() && LinkName(at / "subsystem") != "serial-base") {
            entry.driver = LinkName(at / "driver");
        }
        if (std::error_code ec; fs::exists(at / "idVendor", ec)) {
            entry.usbId = Attribute(at / "idVendor") + ":" + Attribute(at / "idProduct");
            entry.vendor = Attribute(at / "manufacturer");
            entry.product = Attribute(at / "product");
            return;
        }
    }
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

std::vector<TPortEntry> ReadSysfsPorts(const fs::path& sys, const fs::path& dev) {
    std::vector<TPortEntry> entries;
    std::error_code ec;
    for (const fs::directory_entry& tty : fs::directory_iterator(sys / "class" / "tty", ec)) {
        const fs::path device = fs::canonical(tty.path() / "device", ec);
        // No device: a virtual terminal. Type 0: a serial core slot without a UART.
        if (ec || (fs::exists(tty.path() / "type", ec) && Attribute(tty.path() / "type") == "0")) {
            ec.clear();
            continue;
        }
        TPortEntry entry;
        entry.port = (dev / tty.path().filename()).string();
        entry.identity = fs::weakly_canonical(entry.port, ec).string();
        entry.byId = ByIdLink(dev, entry.identity);
        DescribeAdapter(device, sys, entry);
        entries.push_back(entry);
    }
    SortByPortName(entries);
    return entries;
}

std::vector<TPortEntry> ListSerialPorts() {
    std::vector<TPortEntry> entries = ReadSysfsPorts("/sys", "/dev");
    MarkMenuItems(entries, [](int n) {
        const std::string com = "COM" + std::to_string(n);
        const auto variable = LookUpEnvironment(PortVariable(static_cast<unsigned>(n)));
        std::error_code ec;
        const std::string path = ResolveDeviceName(com);
        return TMenuTarget{path.empty() ? std::string() : fs::weakly_canonical(path, ec).string(),
                           variable && !variable->empty()};
    });
    return entries;
}

} // namespace orbel::cli
