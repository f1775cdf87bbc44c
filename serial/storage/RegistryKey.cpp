#include "serial/storage/RegistryKey.h"

#include "base/Text.h"

#include <algorithm>

namespace orbel {

TRegistryKey::TRegistryKey() : own_(true) {}

TRegistryKey::TRegistryKey(std::string path) : path_(std::move(path)) {}

TRegistryKey::~TRegistryKey() = default;

const TRegistryKey::TValue* TRegistryKey::Find(std::string_view name) const {
    const auto it = std::find_if(values_.begin(), values_.end(),
                                 [&](const TValue& v) { return SameName(v.name, name); });
    return it == values_.end() ? nullptr : &*it;
}

void TRegistryKey::Write(std::string_view name, std::variant<std::string, std::int32_t> data) {
    const auto it = std::find_if(values_.begin(), values_.end(),
                                 [&](const TValue& v) { return SameName(v.name, name); });
    if (it != values_.end()) {
        it->data = std::move(data);
    } else {
        values_.push_back({std::string(name), std::move(data)});
    }
}

void TRegistryKey::WriteString(std::string_view name, std::string_view value) {
    Write(name, std::string(value));
}

void TRegistryKey::WriteInteger(std::string_view name, std::int32_t value) {
    Write(name, value);
}

std::string TRegistryKey::ReadString(std::string_view name) const {
    const TValue* value = Find(name);
    if (value == nullptr) {
        return {};
    }
    if (const auto* text = std::get_if<std::string>(&value->data)) {
        return *text;
    }
    throw ERegistryException("Invalid data type for '" + std::string(name) + "'");
}

std::int32_t TRegistryKey::ReadInteger(std::string_view name) const {
    const TValue* value = Find(name);
    if (value == nullptr) {
        throw ERegistryException("No value '" + std::string(name) + "'");
    }
    if (const auto* number = std::get_if<std::int32_t>(&value->data)) {
        return *number;
    }
    throw ERegistryException("Invalid data type for '" + std::string(name) + "'");
}

bool TRegistryKey::ValueExists(std::string_view name) const {
    return Find(name) != nullptr;
}

TRegistryKey::TDataType TRegistryKey::DataType(std::string_view name) const {
    const TValue* value = Find(name);
    if (value == nullptr) {
        return TDataType::None;
    }
    return std::holds_alternative<std::string>(value->data) ? TDataType::String
                                                            : TDataType::Integer;
}

bool TRegistryKey::DeleteValue(std::string_view name) {
    return std::erase_if(values_, [&](const TValue& v) { return SameName(v.name, name); }) > 0;
}

std::vector<std::string> TRegistryKey::ValueNames() const {
    std::vector<std::string> names;
    for (const TValue& value : values_) {
        names.push_back(value.name);
    }
    return names;
}

} // namespace orbel
