// libFuzzer entry: any bytes as settings.ini through the program's own read
// and write functions. The record read, with a few fields changed to values
// drawn from the input, is written back; reading again must give that record;
// every line that is not one of the settings' keys or sections must come back
// unchanged and in order (empty lines may be added); writing the same record
// a second time must leave the file as it is.
#include "standalone/AppSettings.h"
#include "standalone/SettingsFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

// A folder of this process's own on a memory file system where there is one,
// so that the writer's flush to disk costs nothing; removed at exit.
struct ScratchFolder {
    ScratchFolder()
    {
        path = std::filesystem::exists("/dev/shm") ? "/dev/shm/snarlbox-fuzz-settings-XXXXXX"
                                                   : "/tmp/snarlbox-fuzz-settings-XXXXXX";
        if (mkdtemp(path.data()) == nullptr) {
            std::perror("fuzz_settings: mkdtemp");
            std::abort();
        }
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string path;
};

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const uint8_t* data, size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
}

[[noreturn]] void Fail(const char* what, const std::string& before, const std::string& after)
{
    std::fprintf(stderr, "fuzz_settings: %s\n--- file read ---\n%s\n--- file written ---\n%s\n", what, before.c_str(),
                 after.c_str());
    std::abort();
}

// Spaces and the other bytes that may stand around a name.
bool Blank(char c)
{
    return static_cast<unsigned char>(c) <= 0x20 || c == '\x1a' || c == '\x7f';
}

std::string LowerTrimmed(std::string_view text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && Blank(text[begin])) {
        ++begin;
    }
    while (end > begin && Blank(text[end - 1])) {
        --end;
    }
    std::string out(text.substr(begin, end - begin));
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = char(c - 'A' + 'a');
        }
    }
    return out;
}

// A line the writer may add or rewrite: a header of the three settings
// sections, or a line whose name before '=' is one of the sixteen keys
// (wherever it stands, which only makes the check more lenient).
bool SettingsLine(std::string_view line)
{
    const std::string whole = LowerTrimmed(line);
    if (whole == "[audio]" || whole == "[midi]" || whole == "[sound]") {
        return true;
    }
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
        return false;
    }
    static const char* const keys[] = {"driver", "indev", "outdev", "in1",  "in2",   "out1",   "out2",
                                       "monoinput", "iovs", "sigvs", "sr", "inchan", "outchan",
                                       "startwithlast"};
    const std::string name = LowerTrimmed(line.substr(0, equals));
    for (const char* key : keys) {
        if (name == key) {
            return true;
        }
    }
    return false;
}

// The file's other lines, split at each '\n' (a '\r' before it stays with
// the line), without a leading byte order mark, which a reader may drop.
std::vector<std::string> OtherLines(std::string_view text)
{
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(start, end - start);
        if (!SettingsLine(line)) {
            lines.emplace_back(line);
        }
        start = end + 1;
    }
    return lines;
}

// The written file holds the read file's other lines in their order; it may
// add empty lines (before a section it appends), and it ends a last line that
// had no line ending with the file's own, "\n" or "\r\n".
bool KeepsEveryOtherLine(const std::vector<std::string>& read, bool lastUnended,
                         const std::vector<std::string>& written)
{
    size_t next = 0;
    for (const std::string& line : written) {
        const bool last = lastUnended && next + 1 == read.size();
        if (next < read.size() && (line == read[next] || (last && line == read[next] + "\r"))) {
            ++next;
        } else if (!line.empty() && line != "\r") {
            return false;
        }
    }
    return next == read.size();
}

// Changes up to three fields to values the file can hold exactly: any
// number, texts of up to 99 bytes without line breaks or blanks at the ends.
void ChangeSomeFields(AppSettings& settings, std::string_view input)
{
    static uint16_t AppSettings::*const numbers[] = {
        &AppSettings::driverType,     &AppSettings::inputChannel1, &AppSettings::inputChannel2,
        &AppSettings::outputChannel1, &AppSettings::outputChannel2, &AppSettings::monoInput,
        &AppSettings::midiInputChannel, &AppSettings::midiOutputChannel};
    static char (AppSettings::*const texts[])[kSettingsTextSize] = {
        &AppSettings::audioInputDevice, &AppSettings::audioOutputDevice, &AppSettings::sampleRate,
        &AppSettings::ioVectorSize,     &AppSettings::signalVectorSize,  &AppSettings::midiInputDevice,
        &AppSettings::midiOutputDevice};
    static const std::string_view alphabet = "abcXYZ019 _-:;#[]=.,()\"/'\xC3\xB6";
    std::minstd_rand random(uint32_t(std::hash<std::string_view>()(input)));
    const int changes = int(random() % 4);
    for (int i = 0; i < changes; ++i) {
        if (random() % 2 == 0) {
            settings.*numbers[random() % std::size(numbers)] = uint16_t(random());
            continue;
        }
        std::string text;
        const size_t length = random() % kSettingsTextSize;
        while (text.size() < length) {
            const size_t at = random() % (alphabet.size() - 1);
            // "\xC3\xB6" (o umlaut) goes in whole or not at all.
            const std::string_view piece = alphabet[at] == '\xC3' ? alphabet.substr(at, 2) : alphabet.substr(at, 1);
            if (text.size() + piece.size() > length) {
                break;
            }
            text += piece;
        }
        while (!text.empty() && text.back() == ' ') {
            text.pop_back();
        }
        while (!text.empty() && text.front() == ' ') {
            text.erase(0, 1);
        }
        SetSettingsText(settings.*texts[random() % std::size(texts)], text.c_str());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const ScratchFolder folder;
    const std::string path = folder.path + "/settings.ini";
    WriteAll(path, data, size);
    const std::string original(reinterpret_cast<const char*>(data), size);

    AppSettings first;
    DefaultSettings(first);
    if (!ReadSettingsFile(path.c_str(), first)) {
        return 0; // refused as a whole (too big, say): nothing to compare
    }
    ChangeSomeFields(first, original);
    if (!WriteSettingsFile(path.c_str(), first)) {
        Fail("writing the record back failed", original, ReadAll(path));
    }
    const std::string written = ReadAll(path);
    AppSettings second;
    DefaultSettings(second);
    if (!ReadSettingsFile(path.c_str(), second)) {
        Fail("the written file cannot be read", original, written);
    }
    if (!SettingsEqual(first, second)) {
        Fail("reading the written file gives another record", original, written);
    }
    const bool lastUnended = !original.empty() && original.back() != '\n';
    if (!KeepsEveryOtherLine(OtherLines(original), lastUnended, OtherLines(written))) {
        Fail("a line that is not a setting changed", original, written);
    }
    if (!WriteSettingsFile(path.c_str(), second) || ReadAll(path) != written) {
        Fail("writing the same record again changed the file", written, ReadAll(path));
    }
    return 0;
}
