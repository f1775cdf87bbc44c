// An open registry key: named values, each either a text or a 32-bit integer.
// Names match without regard to letter case and keep the order they were
// first written in. Reading an integer that is missing, or a value of the
// other type, raises ERegistryException; a missing text reads as "".
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

class ERegistryException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TRegistryKey {
public:
    enum class TDataType { None, String, Integer };

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

    std::vector<TValue> values_;
};
