#include "serial/storage/IniFile.h"

#include "base/Text.h"

#include "base/AtomicFile.h"
#include "base/WideText.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace orbel {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// A line ends at LF only; a CR inside a line is part of it.
bool HasLineBreak(std::string_view text) {
    return text.find('\n') != std::string_view::npos;
}

} // namespace

const TIniFile::TEntry* TIniFile::TSection::Find(std::string_view key) const {
    const auto it = index.find(UpperName(key));
    return it == index.end() ? nullptr : &entries[it->second];
}

TIniFile::TEntry& TIniFile::TSection::Add(std::string_view key, std::string_view value,
                                          bool& added) {
    const auto [it, fresh] = index.emplace(UpperName(key), entries.size());
    added = fresh;
    if (fresh) {
        entries.push_back({std::string(key), std::string(value)});
    }
    return entries[it->second];
}

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName)) {
    std::error_code missing;
    const std::filesystem::path path = PathFromUtf8(fileName_);
    if (!std::filesystem::exists(path, missing)) {
        return;
    }
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    if (file.is_open()) {
        content << file.rdbuf();
    }
    if (!file.is_open() || file.bad()) {
        throw std::runtime_error("cannot read " + fileName_);
    }
    SetText(content.str());
}

void TIniFile::SetText(std::string_view text) {
    sections_.clear();
    // An index, not a pointer: a new section may move the others.
    constexpr std::size_t None = static_cast<std::size_t>(-1);
    std::size_t current = None;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = Trim(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
        if (line.empty() || line.front() == ';' || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            // A broken header leaves its keys out rather than give them to another section.
            const std::size_t close = line.find(']');
            current = close == std::string_view::npos
                          ? None
                          : static_cast<std::size_t>(&Section(Trim(line.substr(1, close - 1))) -
                                                     sections_.data());
            continue;
        }
        const std::size_t equals = line.find('=');
        if (current == None || equals == std::string_view::npos) {
            continue; // outside a section, or no key = value line
        }
        const std::string_view key = Trim(line.substr(0, equals));
        if (key.empty()) {
            continue;
        }
        // The first of two equal keys holds, as a lookup from the top finds it.
        bool added = false;
        sections_[current].Add(key, Trim(line.substr(equals + 1)), added);
    }
}

std::string TIniFile::Text() const {
    std::string text;
    for (const TSection& section : sections_) {
        if (!text.empty()) {
            text += '\n';
        }
        text += '[' + section.name + "]\n";
        for (const TEntry& entry : section.entries) {
            text += entry.key + '=' + entry.value + '\n';
        }
    }
    return text;
}

void TIniFile::UpdateFile() const {
    if (fileName_.empty()) {
        throw std::runtime_error("the settings file has no name");
    }
    WriteFileAtomically(fileName_, Text());
}

const TIniFile::TSection* TIniFile::Find(std::string_view section) const {
    const auto it = std::find_if(sections_.begin(), sections_.end(),
                                 [&](const TSection& s) { return SameName(s.name, section); });
    return it == sections_.end() ? nullptr : &*it;
}

TIniFile::TSection& TIniFile::Section(std::string_view section) {
    const auto it = std::find_if(sections_.begin(), sections_.end(),
                                 [&](const TSection& s) { return SameName(s.name, section); });
    if (it != sections_.end()) {
        return *it;
    }
    sections_.push_back(TSection{std::string(section), {}, {}});
    return sections_.back();
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 const std::string& fallback) const {
    const TSection* found = Find(section);
    const TEntry* entry = found != nullptr ? found->Find(key) : nullptr;
    return entry != nullptr ? entry->value : fallback;
}

std::int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key,
                                   std::int32_t fallback) const {
    const std::string text = ReadString(section, key, std::string());
    std::string_view digits = text;
    bool negative = false;
    if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.remove_prefix(2);
    } else if (digits.size() > 1 && digits[0] == '$') {
        base = 16;
        digits.remove_prefix(1);
    }
    if (digits.empty() || digits.front() == '-' || digits.front() == '+') {
        return fallback;
    }
    std::int64_t value = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (error != std::errc() || end != digits.data() + digits.size()) {
        return fallback;
    }
    value = negative ? -value : value;
    // Hexadecimal text names the 32 bits themselves ("0xFFFFFFFF" is -1).
    if (base == 16 && !negative && value > INT32_MAX && value <= UINT32_MAX) {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    }
    if (value < INT32_MIN || value > INT32_MAX) {
        return fallback;
    }
    return static_cast<std::int32_t>(value);
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    if (HasLineBreak(section) || section.find(']') != std::string_view::npos ||
        Trim(section) != section) {
        throw std::invalid_argument("a settings file section cannot be named like this");
    }
    if (key.empty() || HasLineBreak(key) || key.find('=') != std::string_view::npos ||
        Trim(key) != key || key.front() == '[' || key.front() == ';' || key.front() == '#') {
        throw std::invalid_argument("a settings file key cannot be named like this");
    }
    if (HasLineBreak(value) || Trim(value) != value) {
        throw std::invalid_argument(
            "a settings file value cannot hold line breaks or blanks at its ends");
    }
    bool added = false;
    Section(section).Add(key, value, added).value = std::string(value);
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
    WriteString(section, key, std::to_string(value));
}

bool TIniFile::SectionExists(std::string_view section) const {
    return Find(section) != nullptr;
}

std::vector<std::string> TIniFile::ReadSection(std::string_view section) const {
    std::vector<std::string> keys;
    if (const TSection* found = Find(section)) {
        for (const TEntry& entry : found->entries) {
            keys.push_back(entry.key);
        }
    }
    return keys;
}

} // namespace orbel
