// The settings' registry key on the system's registry: texts as REG_SZ,
// integers as REG_DWORD, a named key kept for the next object, a key of the
// object's own gone with it.
#include "serial/storage/RegistryKey.h"

#include <gtest/gtest.h>

#include <windows.h>

using namespace orbel;

namespace {

DWORD TypeOf(const std::wstring& path, const wchar_t* name) {
    DWORD type = REG_NONE;
    const LSTATUS status =
        RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name, RRF_RT_ANY, &type, nullptr, nullptr);
    return status == ERROR_SUCCESS ? type : REG_NONE;
}

bool KeyExists(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

} // namespace

TEST(Win32Registry, ValuesKeepTheirSystemTypesAndANamedKeyOutlivesItsObject) {
    const std::string path = "Software\\ORBEL\\Test-" + std::to_string(GetCurrentProcessId());
    const std::wstring widePath(path.begin(), path.end());
    {
        TRegistryKey key(path);
        key.WriteString("Port", "COM3");
        key.WriteInteger("Buffer.InputSize", -2);
        key.WriteString("Name", "Порт"); // UTF-8 both ways
    }
    EXPECT_EQ(TypeOf(widePath, L"Port"), static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(TypeOf(widePath, L"Buffer.InputSize"), static_cast<DWORD>(REG_DWORD));
    {
        TRegistryKey key(path);
        EXPECT_EQ(key.ReadString("PORT"), "COM3");
        EXPECT_EQ(key.ReadInteger("Buffer.InputSize"), -2);
        EXPECT_EQ(key.ReadString("Name"), "Порт");
        EXPECT_THROW(key.ReadInteger("Port"), ERegistryException);
        EXPECT_EQ(key.DataType("Missing"), TRegistryKey::TDataType::None);
    }
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, widePath.c_str()), ERROR_SUCCESS);

    std::wstring own;
    {
        TRegistryKey key;
        own.assign(key.Path().begin(), key.Path().end());
        key.WriteInteger("Size", 5);
        EXPECT_EQ(TypeOf(own, L"Size"), static_cast<DWORD>(REG_DWORD));
    }
    EXPECT_FALSE(KeyExists(own));
}
