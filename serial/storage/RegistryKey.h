// An open registry key: named values, each either a text or a 32-bit integer.
// Names match without regard to letter case; in memory they keep the order
// they were first written in (the system's registry lists them in its own). Reading an integer that
// is missing, or a value of the other type, raises ERegistryException; a missing text reads as "".
//
// On Windows it is a key of the system's registry under HKEY_CURRENT_USER,
// texts as REG_SZ and integers as REG_DWORD; a failed system call raises
// ERegistryException with the system's code and text. Elsewhere, where there
// is no registry, the key lives in memory with the object.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace orbel {

class ERegistryException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TRegistryKey {
public:
    // None: no such value; Other: a value of a type this key does not write.
    enum class TDataType { None, String, Integer, Other };

    // A key of this object's own, empty at first and gone with the object (on
    // Windows a volatile key under HKEY_CURRENT_USER\Software\ORBEL\Keys).
    TRegistryKey();
    // HKEY_CURRENT_USER\<path> (path parts separated by backslashes), made
    // when missing and kept; elsewhere a key in memory like the one above.
    explicit TRegistryKey(std::string path);
    ~TRegistryKey();
    TRegistryKey(const TRegistryKey&) = delete;
    TRegistryKey& operator=(const TRegistryKey&) = delete;

    // The key's path under HKEY_CURRENT_USER.
    const std::string& Path() const { return path_; }

    void WriteString(std::string_view name, std::string_view value);
    void WriteInteger(std::string_view name, std::int32_t value);
    std::string ReadString(std::string_view name) const;
    std::int32_t ReadInteger(std::string_view name) const;

    bool ValueExists(std::string_view name) const;
    TDataType DataType(std::string_view name) const;
    bool DeleteValue(std::string_view name);
    // The names of the values in their order.
    std::vector<std::string> ValueNames() const;

private:
    struct TValue {
        std::string name;
        std::variant<std::string, std::int32_t> data;
    };
    const TValue* Find(std::string_view name) const;
    void Write(std::string_view name, std::variant<std::string, std::int32_t> data);

    std::string path_;
    bool own_ = false;           // made for this object, removed with it
    void* key_ = nullptr;        // the system's key (Windows)
    std::vector<TValue> values_; // the values in memory (elsewhere)
};

} // namespace orbel
