#include "standalone/IniFile.h"

namespace {
constexpr size_t npos = std::string::npos;

bool IsBlank(char c)
{
    // Space, tab, CR, vertical tab, form feed and the old end-of-file mark.
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\x1a';
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

void Trim(std::string_view text, size_t& begin, size_t& end)
{
    while (begin < end && IsBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(text[end - 1])) {
        --end;
    }
}
}

void IniFile::Classify(Line& line)
{
    const std::string_view text = line.text;
    size_t begin = 0, end = text.size();
    Trim(text, begin, end);
    line.kind = LineKind::Other;
    if (begin == end || text[begin] == ';') {
        return;
    }
    if (text[begin] == '[') {
        // A header without its closing bracket opens nothing; the line is kept as it is.
        size_t close = text.find(']', begin + 1);
        if (close == npos) {
            return;
        }
        size_t nameBegin = begin + 1, nameEnd = close;
        Trim(text, nameBegin, nameEnd);
        line.kind = LineKind::Section;
        line.nameBegin = nameBegin;
        line.nameLength = nameEnd - nameBegin;
        return;
    }
    size_t equals = text.find('=', begin);
    if (equals == npos) {
        return;
    }
    size_t keyEnd = equals;
    size_t keyBegin = begin;
    Trim(text, keyBegin, keyEnd);
    if (keyBegin == keyEnd) {
        return;
    }
    size_t valueBegin = equals + 1;
    while (valueBegin < text.size() && IsBlank(text[valueBegin])) {
        ++valueBegin;
    }
    line.kind = LineKind::Key;
    line.nameBegin = keyBegin;
    line.nameLength = keyEnd - keyBegin;
    line.valueBegin = valueBegin;
}

void IniFile::Parse(std::string_view text)
{
    lines.clear();
    newLinesCrlf = false;
    endsWithoutNewline = false;
    // A UTF-8 byte-order mark, as some editors write, is no part of the first line.
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    byteOrderMark = text.substr(0, kBom.size()) == kBom;
    if (byteOrderMark) {
        text.remove_prefix(kBom.size());
    }
    bool sawEnding = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t newline = text.find('\n', start);
        Line line;
        if (newline == npos) {
            line.text.assign(text.substr(start));
            endsWithoutNewline = true;
            start = text.size();
        } else {
            size_t end = newline;
            if (end > start && text[end - 1] == '\r') {
                line.crlf = true;
                --end;
            }
            line.text.assign(text.substr(start, end - start));
            if (!sawEnding) {
                // New lines follow the file's first line ending.
                newLinesCrlf = line.crlf;
                sawEnding = true;
            }
            start = newline + 1;
        }
        Classify(line);
        // Runs of blank lines and comments are never looked up or changed:
        // one record holds them all, so memory follows the keys, not the lines.
        if (line.kind == LineKind::Other && !lines.empty() && lines.back().kind == LineKind::Other) {
            Line& run = lines.back();
            run.text += run.crlf ? "\r\n" : "\n";
            run.text += line.text;
            run.crlf = line.crlf;
            continue;
        }
        lines.push_back(std::move(line));
    }
}

std::string IniFile::Serialize() const
{
    std::string out;
    size_t total = 3;
    for (const Line& line : lines) {
        total += line.text.size() + 2;
    }
    out.reserve(total);
    if (byteOrderMark) {
        out += "\xEF\xBB\xBF";
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        out += lines[i].text;
        if (i + 1 == lines.size() && endsWithoutNewline) {
            break;
        }
        out += lines[i].crlf ? "\r\n" : "\n";
    }
    return out;
}

size_t IniFile::FindSection(std::string_view name) const
{
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (line.kind == LineKind::Section &&
            SameName(std::string_view(line.text).substr(line.nameBegin, line.nameLength), name)) {
            return i;
        }
    }
    return npos;
}

size_t IniFile::FindKey(size_t sectionLine, std::string_view key) const
{
    for (size_t i = sectionLine + 1; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (line.kind == LineKind::Section) {
            break;
        }
        if (line.kind == LineKind::Key &&
            SameName(std::string_view(line.text).substr(line.nameBegin, line.nameLength), key)) {
            return i;
        }
    }
    return npos;
}

std::string_view IniFile::ValueOf(const Line& line) const
{
    std::string_view text = line.text;
    size_t begin = line.valueBegin, end = text.size();
    Trim(text, begin, end);
    return text.substr(begin, end - begin);
}

bool IniFile::HasKey(std::string_view section, std::string_view key) const
{
    size_t s = FindSection(section);
    return s != npos && FindKey(s, key) != npos;
}

std::string IniFile::GetString(std::string_view section, std::string_view key, std::string_view fallback) const
{
    size_t s = FindSection(section);
    size_t k = s == npos ? npos : FindKey(s, key);
    if (k == npos) {
        return std::string(fallback);
    }
    return std::string(ValueOf(lines[k]));
}

uint32_t IniFile::GetInt(std::string_view section, std::string_view key, uint32_t fallback) const
{
    size_t s = FindSection(section);
    size_t k = s == npos ? npos : FindKey(s, key);
    if (k == npos) {
        return fallback;
    }
    std::string_view value = ValueOf(lines[k]);
    size_t i = 0;
    bool negative = false;
    if (i < value.size() && (value[i] == '-' || value[i] == '+')) {
        negative = value[i] == '-';
        ++i;
    }
    if (i >= value.size() || value[i] < '0' || value[i] > '9') {
        return fallback;
    }
    uint32_t number = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        number = number * 10u + static_cast<uint32_t>(value[i] - '0');
    }
    return negative ? 0u - number : number;
}

void IniFile::EndLastLine()
{
    // The old last line gets a line ending before anything is added after it.
    if (endsWithoutNewline && !lines.empty()) {
        lines.back().crlf = newLinesCrlf;
    }
    endsWithoutNewline = false;
}

void IniFile::SetString(std::string_view section, std::string_view key, std::string_view value)
{
    std::string oneLine(value);
    for (char& c : oneLine) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    size_t s = FindSection(section);
    if (s == npos) {
        EndLastLine();
        // A blank line before the new section, unless the text ends with one.
        if (!lines.empty() && !lines.back().text.empty() && lines.back().text.back() != '\n') {
            Line blank;
            blank.crlf = newLinesCrlf;
            lines.push_back(std::move(blank));
        }
        Line header;
        header.text = "[" + std::string(section) + "]";
        header.crlf = newLinesCrlf;
        Classify(header);
        lines.push_back(std::move(header));
        s = lines.size() - 1;
    }
    size_t k = FindKey(s, key);
    if (k != npos) {
        Line& line = lines[k];
        line.text.resize(line.valueBegin);
        line.text += oneLine;
        return;
    }
    size_t insertAt = s + 1;
    for (size_t i = s + 1; i < lines.size() && lines[i].kind != LineKind::Section; ++i) {
        if (lines[i].kind == LineKind::Key) {
            insertAt = i + 1;
        }
    }
    Line added;
    added.text = std::string(key) + "=" + oneLine;
    added.crlf = newLinesCrlf;
    Classify(added);
    if (insertAt == lines.size()) {
        EndLastLine();
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(added));
}
