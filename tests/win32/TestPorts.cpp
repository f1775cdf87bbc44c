#include "TestPorts.h"

#include <windows.h>

#include <cstdlib>
#include <vector>

std::optional<std::string> MappedPort(const char* variable) {
    const char* value = std::getenv(variable);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    return std::string("\\\\.\\") + value;
}

void RestoreFreshLine(const std::string& port) {
    const std::string name = port.substr(port.rfind('\\') + 1);
    const char* pty = std::getenv(("ORBEL_TEST_PTY_" + name).c_str());
    if (pty == nullptr || *pty == '\0') {
        return;
    }
    // Wine runs a host program and waits for it through this ntdll export.
    using UnixSpawn = long(__cdecl*)(char* const argv[], int wait);
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto spawn = reinterpret_cast<UnixSpawn>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "__wine_unix_spawnvp")));
    if (spawn == nullptr) {
        return;
    }
    std::string device = pty;
    std::string program = "/bin/stty", option = "-F", cmspar = "-cmspar", parodd = "-parodd";
    char* const argv[] = {program.data(), option.data(), device.data(),
                          cmspar.data(),  parodd.data(), nullptr};
    spawn(argv, 1);
}

bool RunningUnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

namespace {

// SystemExtendedHandleInformation (class 64) and its records.
struct HandleEntry {
    void* object;
    ULONG_PTR processId;
    ULONG_PTR handle;
    ULONG access;
    USHORT creatorBackTrace;
    USHORT type;
    ULONG attributes;
    ULONG reserved;
};
struct HandleTable {
    ULONG_PTR count;
    ULONG_PTR reserved;
    HandleEntry entries[1];
};
using QuerySystemInformation = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);

std::size_t HandlesInSystemTable() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto query = reinterpret_cast<QuerySystemInformation>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQuerySystemInformation")));
    if (query == nullptr) {
        return 0;
    }
    constexpr LONG InfoLengthMismatch = static_cast<LONG>(0xC0000004);
    std::vector<char> buffer(1 << 16);
    LONG status = 0;
    for (;;) {
        ULONG needed = 0;
        status = query(64, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status != InfoLengthMismatch || buffer.size() > (64u << 20)) {
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    if (status != 0) {
        return 0;
    }
    const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
    std::size_t mine = 0;
    for (ULONG_PTR i = 0; i < table->count; ++i) {
        mine += table->entries[i].processId == GetCurrentProcessId() ? 1 : 0;
    }
    return mine;
}

} // namespace

std::size_t ProcessHandleCount() {
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0) {
        return count;
    }
    return HandlesInSystemTable();
}
