#include "app/cli/PortList.h"

#include <algorithm>
#include <cctype>

namespace orbel::cli {

namespace {

// "ttyS10" -> {"ttyS", 10}; a name without a number at its end gets -1.
std::pair<std::string, long> NameAndNumber(const std::string& name) {
    std::size_t digits = name.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1])) != 0) {
        --digits;
    }
    const std::string number = name.substr(digits);
    return {name.substr(0, digits), number.empty() || number.size() > 9 ? -1 : std::stol(number)};
}

} // namespace

void MarkMenuItems(std::vector<TPortEntry>& entries,
                   const std::function<TMenuTarget(int n)>& targetOf) {
    for (int n = 4; n >= 1; --n) { // the lowest item that reaches a port wins
        const TMenuTarget target = targetOf(n);
        for (TPortEntry& entry : entries) {
            if (!target.identity.empty() && entry.identity == target.identity) {
                entry.menu = n;
                entry.throughVariable = target.throughVariable;
            }
        }
    }
}

void SortByPortName(std::vector<TPortEntry>& entries) {
    std::sort(entries.begin(), entries.end(), [](const TPortEntry& a, const TPortEntry& b) {
        return NameAndNumber(a.port) < NameAndNumber(b.port);
    });
}

} // namespace orbel::cli
