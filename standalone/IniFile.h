#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// An INI text held line by line, read and changed the way the system profile
// functions do: section and key names match without regard to ASCII case, the
// first matching section and the first matching key in it win, keys and values
// are trimmed of surrounding white space. Changing a key rewrites only its own
// line; every other line (comments, foreign keys and sections, odd bytes) is
// written back exactly as it was read.
// Not shared between threads: one instance per caller, UI thread in the host.
class IniFile {
public:
    // Replaces the contents with the given text (any bytes, NULs included).
    void Parse(std::string_view text);
    // The full text, every line ended with its own line ending.
    std::string Serialize() const;

    // True when the section holds the key (first matching section only).
    bool HasKey(std::string_view section, std::string_view key) const;
    // The trimmed value of the key, or fallback when there is none.
    std::string GetString(std::string_view section, std::string_view key, std::string_view fallback) const;
    // The value read as an optionally signed decimal prefix; fallback when the
    // key is missing or its value starts with no digit. Wraps modulo 2^32.
    uint32_t GetInt(std::string_view section, std::string_view key, uint32_t fallback) const;
    // Sets the key's value: rewrites the key's line when there is one, adds the
    // key after the last key of the section, or appends the section. Line
    // breaks inside the value become spaces so the value stays one line.
    void SetString(std::string_view section, std::string_view key, std::string_view value);

private:
    enum class LineKind : uint8_t { Other, Section, Key };
    struct Line {
        std::string text;  // without the line ending (an Other run: its inner endings kept)
        bool crlf = false; // ended with "\r\n" rather than "\n"
        LineKind kind = LineKind::Other;
        size_t nameBegin = 0, nameLength = 0; // section or key name inside text
        size_t valueBegin = 0;                // Key: first character after '=' and its spaces
    };

    static void Classify(Line& line);
    // Index of the first section header matching name, or npos.
    size_t FindSection(std::string_view name) const;
    // Index of the first key line of the section starting at sectionLine, or npos.
    size_t FindKey(size_t sectionLine, std::string_view key) const;
    std::string_view ValueOf(const Line& line) const;
    void EndLastLine();

    std::vector<Line> lines;
    bool newLinesCrlf = false;
    bool endsWithoutNewline = false;
    bool byteOrderMark = false; // the text began with EF BB BF
};
