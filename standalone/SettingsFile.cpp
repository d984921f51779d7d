#include "standalone/SettingsFile.h"

#include "platform/DebugTrace.h"
#include "standalone/HostSettings.h"
#include "standalone/IniFile.h"
#include "standalone/RunSettings.h"

#include <glib.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr const char* kProductName = "Snarlbox";
constexpr const char* kFileName = "settings.ini";
// Ours stays under 2 KiB; 1 MiB leaves room for any notes a user adds. A
// bigger file is not ours to read into memory or rewrite: it is left alone.
constexpr off_t kMaxFileSize = 1024 * 1024;
constexpr const char* kTempPrefix = ".settings.ini.";
constexpr size_t kTempSuffixLength = 6; // mkostemp's XXXXXX

enum class ReadResult { Ok, Missing, Failed };

ReadResult ReadTextFile(const char* path, std::string& text, int& error)
{
    // O_NONBLOCK: a FIFO in the file's place must not stall start-up.
    int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = errno;
        return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    }
    struct stat info;
    if (fstat(fd, &info) != 0) {
        error = errno;
        close(fd);
        return ReadResult::Failed;
    }
    if (!S_ISREG(info.st_mode)) {
        error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        close(fd);
        return ReadResult::Failed;
    }
    if (info.st_size > kMaxFileSize) {
        // Said apart from the errno text, which speaks of a size limit of the system.
        error = EFBIG;
        close(fd);
        return ReadResult::Failed;
    }
    text.clear();
    text.reserve(static_cast<size_t>(info.st_size));
    char chunk[65536];
    for (;;) {
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            error = errno;
            close(fd);
            return ReadResult::Failed;
        }
        if (n == 0) {
            break;
        }
        if (text.size() + static_cast<size_t>(n) > static_cast<size_t>(kMaxFileSize)) {
            error = EFBIG;
            close(fd);
            return ReadResult::Failed;
        }
        text.append(chunk, static_cast<size_t>(n));
    }
    close(fd);
    return ReadResult::Ok;
}

bool WriteAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;
            }
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string FolderOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Writes text next to target under a temporary name, flushes it to disk and
// renames it over target, so target is either the old or the new file.
bool ReplaceFile(const std::string& target, const std::string& text, int& error)
{
    std::string folder = FolderOf(target);
    std::string temp = folder + "/" + kTempPrefix + "XXXXXX";
    int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return false;
    }
    struct stat old;
    mode_t mode = (stat(target.c_str(), &old) == 0) ? (old.st_mode & 07777) : 0644;
    bool ok = WriteAll(fd, text) && fchmod(fd, mode) == 0 && fsync(fd) == 0;
    if (!ok) {
        error = errno;
    }
    if (close(fd) != 0 && ok) {
        error = errno;
        ok = false;
    }
    if (ok && rename(temp.c_str(), target.c_str()) != 0) {
        error = errno;
        ok = false;
    }
    if (!ok) {
        unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable; a failure here loses nothing already on disk.
    int dirFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return true;
}

// The sixteen keys in the order they are read and written. A key holds either
// a number (written "%u") or a text; missing keys read as the default given.
struct SettingsKey {
    const char* section;
    const char* key;
    uint16_t AppSettings::*number;
    char (AppSettings::*text)[kSettingsTextSize];
    uint16_t numberDefault;
    const char* textDefault;
};

constexpr SettingsKey kKeys[] = {
    {"audio", "driver", &AppSettings::driverType, nullptr, 0, nullptr},
    {"audio", "indev", nullptr, &AppSettings::audioInputDevice, 0, "default"},
    {"audio", "outdev", nullptr, &AppSettings::audioOutputDevice, 0, "default"},
    {"audio", "in1", &AppSettings::inputChannel1, nullptr, 1, nullptr},
    {"audio", "in2", &AppSettings::inputChannel2, nullptr, 2, nullptr},
    {"audio", "out1", &AppSettings::outputChannel1, nullptr, 1, nullptr},
    {"audio", "out2", &AppSettings::outputChannel2, nullptr, 2, nullptr},
    {"audio", "monoinput", &AppSettings::monoInput, nullptr, 0, nullptr},
    {"audio", "iovs", nullptr, &AppSettings::ioVectorSize, 0, "512"},
    {"audio", "sigvs", nullptr, &AppSettings::signalVectorSize, 0, "32"},
    {"audio", "sr", nullptr, &AppSettings::sampleRate, 0, "44100"},
    // Names that match no port; the MIDI start-up turns them into "off".
    {"midi", "indev", nullptr, &AppSettings::midiInputDevice, 0, "no input"},
    {"midi", "outdev", nullptr, &AppSettings::midiOutputDevice, 0, "no output"},
    {"midi", "inchan", &AppSettings::midiInputChannel, nullptr, 0, nullptr},
    {"midi", "outchan", &AppSettings::midiOutputChannel, nullptr, 0, nullptr},
    {"sound", "startwithlast", &AppSettings::startWithLastSound, nullptr, 0, nullptr},
};

uint16_t ReadNumber(const IniFile& ini, const SettingsKey& k)
{
    return static_cast<uint16_t>(ini.GetInt(k.section, k.key, k.numberDefault));
}

void ReadText(const IniFile& ini, const SettingsKey& k, char (&field)[kSettingsTextSize])
{
    std::string value = ini.GetString(k.section, k.key, k.textDefault);
    SetSettingsText(field, value.c_str());
}
}

void SettingsFromIni(const IniFile& ini, AppSettings& settings)
{
    AppSettings read;
    for (const SettingsKey& k : kKeys) {
        if (k.number) {
            read.*k.number = ReadNumber(ini, k);
        } else {
            ReadText(ini, k, read.*k.text);
        }
    }
    settings = read;
}

namespace {
// Stores one key; a key that already reads as the field's value keeps its
// line as the user wrote it ("12abc", " 7", an overlong name).
void KeyIntoIni(const AppSettings& settings, const SettingsKey& k, IniFile& ini)
{
    const bool present = ini.HasKey(k.section, k.key);
    if (k.number) {
        const uint16_t value = LoadSharedSetting(settings.*k.number);
        if (present && ReadNumber(ini, k) == value) {
            return;
        }
        char text[16];
        snprintf(text, sizeof text, "%u", static_cast<unsigned>(value));
        ini.SetString(k.section, k.key, text);
        return;
    }
    const char(&field)[kSettingsTextSize] = settings.*k.text;
    if (present) {
        char stored[kSettingsTextSize];
        ReadText(ini, k, stored);
        if (std::strncmp(stored, field, kSettingsTextSize) == 0) {
            return;
        }
    }
    ini.SetString(k.section, k.key, std::string_view(field, strnlen(field, kSettingsTextSize)));
}

const char* ErrorText(int error)
{
    return error == EFBIG ? "larger than 1 MiB, which is no settings file of Snarlbox's; it is left untouched"
                          : strerror(error);
}

bool IsReadOnly(const char* path)
{
    struct stat info;
    // Write bits, not access(): root may write anything, yet a file made
    // read-only says what its owner wants.
    return stat(path, &info) == 0 && ((info.st_mode & 0222) == 0 || access(path, W_OK) != 0);
}
} // namespace

void SettingsIntoIni(const AppSettings& settings, IniFile& ini)
{
    for (const SettingsKey& k : kKeys) {
        KeyIntoIni(settings, k, ini);
    }
}

bool ReadSettingsFile(const char* path, AppSettings& settings)
{
    std::string text;
    int error = 0;
    if (ReadTextFile(path, text, error) != ReadResult::Ok) {
        fprintf(stderr, "Snarlbox: cannot read the settings file %s (%s); using the defaults\n", path,
                ErrorText(error));
        return false;
    }
    IniFile ini;
    ini.Parse(text);
    SettingsFromIni(ini, settings);
    return true;
}

namespace {
bool WriteKeys(const char* path, const AppSettings& settings, const SettingsKey* only)
{
    std::string text;
    int error = 0;
    ReadResult existing = ReadTextFile(path, text, error);
    if (existing == ReadResult::Failed) {
        // Whatever is there could not be read, so it cannot be kept: leave it alone.
        fprintf(stderr, "Snarlbox: settings not saved: cannot read %s (%s); the settings stay in memory\n", path,
                ErrorText(error));
        return false;
    }
    if (existing == ReadResult::Ok && IsReadOnly(path)) {
        // The user made it read-only to keep it as it is; respect that.
        fprintf(stderr, "Snarlbox: settings not saved: %s is read-only; the settings stay in memory\n", path);
        return false;
    }
    IniFile ini;
    if (existing == ReadResult::Ok) {
        ini.Parse(text);
    }
    if (only == nullptr) {
        SettingsIntoIni(settings, ini);
    } else {
        KeyIntoIni(settings, *only, ini);
    }
    const std::string serialized = ini.Serialize();
    if (existing == ReadResult::Ok && serialized == text) {
        // Nothing to change: the file is left as it is, date included.
        return true;
    }

    // Through a symbolic link the linked file is replaced, not the link.
    std::string target = path;
    struct stat link;
    if (lstat(path, &link) == 0 && S_ISLNK(link.st_mode)) {
        if (char* real = realpath(path, nullptr)) {
            target = real;
            free(real);
        }
    }
    if (!ReplaceFile(target, serialized, error)) {
        fprintf(stderr, "Snarlbox: settings not saved to %s (%s); the settings stay in memory\n", path,
                strerror(error));
        return false;
    }
    return true;
}
} // namespace

bool WriteSettingsFile(const char* path, const AppSettings& settings)
{
    return WriteKeys(path, settings, nullptr);
}

bool WriteSettingsFileKey(const char* path, const AppSettings& settings, const char* section, const char* key)
{
    for (const SettingsKey& k : kKeys) {
        if (std::strcmp(k.section, section) == 0 && std::strcmp(k.key, key) == 0) {
            return WriteKeys(path, settings, &k);
        }
    }
    return false;
}

void ReadSettings()
{
    if (settingsPath[0] == '\0') {
        return;
    }
    ReadSettingsFile(settingsPath, currentSettings);
}

void WriteSettings()
{
    if (settingsPath[0] == '\0') {
        return;
    }
    WriteSettingsFile(settingsPath, SettingsForFile(currentSettings));
}

void WriteSetting(const char* section, const char* key)
{
    if (settingsPath[0] == '\0') {
        return;
    }
    WriteSettingsFileKey(settingsPath, SettingsForFile(currentSettings), section, key);
}

void RemoveStaleTemporaryFiles(const char* folder)
{
    DIR* dir = opendir(folder);
    if (dir == nullptr) {
        return;
    }
    const size_t prefixLength = std::strlen(kTempPrefix);
    while (const dirent* entry = readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strncmp(name, kTempPrefix, prefixLength) != 0 ||
            std::strlen(name) != prefixLength + kTempSuffixLength) {
            continue;
        }
        // Only one instance runs, so a temporary of ours is left from a write
        // that was cut short (a kill between creating and renaming it).
        const std::string path = std::string(folder) + "/" + name;
        struct stat info;
        if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == geteuid()) {
            unlink(path.c_str());
        }
    }
    closedir(dir);
}

bool PrepareSettingsFile(const char* appDataFolder)
{
    const char* folder = appDataFolder ? appDataFolder : g_get_user_config_dir();
    settingsPath[0] = '\0';
    if (folder == nullptr || folder[0] == '\0') {
        DebugTrace("could not retrieve the user's application data directory!\n");
        return false;
    }
    std::string product = folder;
    while (product.size() > 1 && product.back() == '/') {
        product.pop_back();
    }
    if (product != "/") {
        product += '/';
    }
    product += kProductName;
    std::string path = product + "/" + kFileName;
    if (path.size() >= kSettingsPathSize) {
        fprintf(stderr,
                "Snarlbox: the settings path %s is longer than %zu characters; the settings stay in memory and are "
                "not saved\n",
                path.c_str(), kSettingsPathSize - 1);
        return true;
    }
    memcpy(settingsPath, path.c_str(), path.size() + 1);

    struct stat info;
    if (stat(product.c_str(), &info) != 0) {
        // First run: the defaults stay; a folder that cannot be made shows when writing.
        g_mkdir_with_parents(product.c_str(), 0700);
        return true;
    }
    RemoveStaleTemporaryFiles(product.c_str());
    if (stat(settingsPath, &info) == 0) {
        ReadSettings();
    }
    return true;
}
