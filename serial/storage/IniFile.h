// A settings file: sections of "key = value" lines, held in memory, read from
// and written to a file or a text. Section and key names match without regard
// to letter case; keys keep the order they were first written in. Reading
// never fails on content: lines that are neither a section header nor a
// key = value line are skipped, whatever their length or bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orbel {

class TIniFile {
public:
    TIniFile() = default;
    // Reads `fileName` when it exists (an empty store otherwise); UpdateFile
    // writes back there. Throws std::runtime_error when the file exists but
    // cannot be read.
    explicit TIniFile(std::string fileName);

    // Replaces the content with the settings in `text`.
    void SetText(std::string_view text);
    // The content as file text, LF line ends.
    std::string Text() const;
    // Writes the content to the file it was read from, through
    // WriteFileAtomically (never through a link, never outside its folder);
    // std::runtime_error when that fails (the old file is then left as it was).
    void UpdateFile() const;

    // The value with blanks around it removed, or `fallback` when the key is missing.
    std::string ReadString(std::string_view section, std::string_view key,
                           const std::string& fallback) const;
    // A value that is no whole number of 32 bits (decimal, or hexadecimal
    // after "0x" or "$") reads as `fallback`.
    std::int32_t ReadInteger(std::string_view section, std::string_view key,
                             std::int32_t fallback) const;
    // std::invalid_argument for a name or value the file could not give back
    // unchanged (an LF, blanks around it, a key with "=", a section name with
    // "]"); nothing is written then.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);

    bool SectionExists(std::string_view section) const;
    // The keys of a section in their order.
    std::vector<std::string> ReadSection(std::string_view section) const;

private:
    struct TEntry {
        std::string key;
        std::string value;
    };
    struct TSection {
        std::string name;
        std::vector<TEntry> entries;
        // Upper-cased key -> position in `entries`.
        std::unordered_map<std::string, std::size_t> index;

        const TEntry* Find(std::string_view key) const;
        // Adds the key at the end unless it is there; returns its entry.
        TEntry& Add(std::string_view key, std::string_view value, bool& added);
    };

    const TSection* Find(std::string_view section) const;
    TSection& Section(std::string_view section);

    std::string fileName_;
    std::vector<TSection> sections_;
};

} // namespace orbel
