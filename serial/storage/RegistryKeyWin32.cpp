#include "serial/storage/RegistryKey.h"

#include "base/Text.h"
#include "base/WideText.h"

#include <windows.h>

#include <atomic>

namespace orbel {

namespace {

constexpr const char* OwnKeysPath = "Software\\ORBEL\\Keys";

[[noreturn]] void Raise(const std::string& what, LSTATUS code) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string reason = n > 0 ? Utf8FromWide(std::wstring_view(text, n)) : "system error";
    LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) {
        reason.pop_back();
    }
    throw ERegistryException(what + ": " + reason + " (" + DecimalText(code) + ")");
}

HKEY Create(const std::string& path, DWORD options) {
    HKEY key = nullptr;
    const LSTATUS status =
        RegCreateKeyExW(HKEY_CURRENT_USER, WideFromUtf8(path).c_str(), 0, nullptr, options,
                        KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) {
        Raise("Cannot open HKEY_CURRENT_USER\\" + path, status);
    }
    return key;
}

// The type and size of a value; ERROR_FILE_NOT_FOUND when there is none.
LSTATUS Query(void* key, std::string_view name, DWORD& type, DWORD& size) {
    size = 0;
    return RegQueryValueExW(static_cast<HKEY>(key), WideFromUtf8(name).c_str(), nullptr, &type,
                            nullptr, &size);
}

std::string InvalidType(std::string_view name) {
    return "Invalid data type for '" + std::string(name) + "'";
}

} // namespace

TRegistryKey::TRegistryKey() : own_(true) {
    static std::atomic<unsigned> made{0};
    RegCloseKey(Create(OwnKeysPath, REG_OPTION_NON_VOLATILE));
    path_ = std::string(OwnKeysPath) + "\\" + DecimalText(GetCurrentProcessId()) + "-" +
            DecimalText(made.fetch_add(1) + 1);
    key_ = Create(path_, REG_OPTION_VOLATILE);
}

TRegistryKey::TRegistryKey(std::string path) : path_(std::move(path)) {
    key_ = Create(path_, REG_OPTION_NON_VOLATILE);
}

TRegistryKey::~TRegistryKey() {
    RegCloseKey(static_cast<HKEY>(key_));
    if (own_) {
        RegDeleteKeyW(HKEY_CURRENT_USER, WideFromUtf8(path_).c_str());
    }
}

void TRegistryKey::WriteString(std::string_view name, std::string_view value) {
    const std::wstring text = WideFromUtf8(value);
    const LSTATUS status = RegSetValueExW(static_cast<HKEY>(key_), WideFromUtf8(name).c_str(), 0,
                                          REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS) {
        Raise("Cannot write '" + std::string(name) + "'", status);
    }
}

void TRegistryKey::WriteInteger(std::string_view name, std::int32_t value) {
    const DWORD word = static_cast<DWORD>(value);
    const LSTATUS status =
        RegSetValueExW(static_cast<HKEY>(key_), WideFromUtf8(name).c_str(), 0, REG_DWORD,
                       reinterpret_cast<const BYTE*>(&word), sizeof word);
    if (status != ERROR_SUCCESS) {
        Raise("Cannot write '" + std::string(name) + "'", status);
    }
}

std::string TRegistryKey::ReadString(std::string_view name) const {
    DWORD type = 0;
    DWORD size = 0;
    LSTATUS status = Query(key_, name, type, size);
    if (status == ERROR_FILE_NOT_FOUND) {
        return {};
    }
    if (status != ERROR_SUCCESS) {
        Raise("Cannot read '" + std::string(name) + "'", status);
    }
    if (type != REG_SZ) {
        throw ERegistryException(InvalidType(name));
    }
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    DWORD got = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    status = RegQueryValueExW(static_cast<HKEY>(key_), WideFromUtf8(name).c_str(), nullptr, &type,
                              reinterpret_cast<BYTE*>(text.data()), &got);
    if (status != ERROR_SUCCESS) {
        Raise("Cannot read '" + std::string(name) + "'", status);
    }
    // The stored text may or may not end in its terminator.
    text.resize(got / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') {
        text.pop_back();
    }
    return Utf8FromWide(text);
}

std::int32_t TRegistryKey::ReadInteger(std::string_view name) const {
    DWORD type = 0;
    DWORD word = 0;
    DWORD size = sizeof word;
    const LSTATUS status = RegQueryValueExW(static_cast<HKEY>(key_), WideFromUtf8(name).c_str(),
                                            nullptr, &type, reinterpret_cast<BYTE*>(&word), &size);
    if (status == ERROR_FILE_NOT_FOUND) {
        throw ERegistryException("No value '" + std::string(name) + "'");
    }
    if ((status == ERROR_SUCCESS || status == ERROR_MORE_DATA) && type != REG_DWORD) {
        throw ERegistryException(InvalidType(name));
    }
    if (status != ERROR_SUCCESS) {
        Raise("Cannot read '" + std::string(name) + "'", status);
    }
    return static_cast<std::int32_t>(word);
}

bool TRegistryKey::ValueExists(std::string_view name) const {
    return DataType(name) != TDataType::None;
}

TRegistryKey::TDataType TRegistryKey::DataType(std::string_view name) const {
    DWORD type = 0;
    DWORD size = 0;
    const LSTATUS status = Query(key_, name, type, size);
    if (status == ERROR_FILE_NOT_FOUND) {
        return TDataType::None;
    }
    if (status != ERROR_SUCCESS) {
        Raise("Cannot read '" + std::string(name) + "'", status);
    }
    return type == REG_SZ      ? TDataType::String
           : type == REG_DWORD ? TDataType::Integer
                               : TDataType::Other;
}

bool TRegistryKey::DeleteValue(std::string_view name) {
    return RegDeleteValueW(static_cast<HKEY>(key_), WideFromUtf8(name).c_str()) == ERROR_SUCCESS;
}

std::vector<std::string> TRegistryKey::ValueNames() const {
    std::vector<std::string> names;
    // Value names are at most 16,383 characters.
    std::wstring name(16384, L'\0');
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        const LSTATUS status = RegEnumValueW(static_cast<HKEY>(key_), index, name.data(), &length,
                                             nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) {
            return names;
        }
        if (status != ERROR_SUCCESS) {
            Raise("Cannot list the values of HKEY_CURRENT_USER\\" + path_, status);
        }
        names.push_back(Utf8FromWide(std::wstring_view(name.data(), length)));
    }
}

} // namespace orbel
