#include "standalone/SettingsFile.h"

#include "platform/DebugTrace.h"
#include "standalone/HostSettings.h"
#include "standalone/IniFile.h"

#include <glib.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr const char* kProductName = "Snarlbox";
constexpr const char* kFileName = "settings.ini";
// Far beyond any settings file we write; a bigger file is left alone rather
// than read whole into memory.
constexpr off_t kMaxFileSize = 64 * 1024 * 1024;

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
    std::string temp = folder + "/.settings.ini.XXXXXX";
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

uint16_t ReadNumber(const IniFile& ini, const char* section, const char* key, uint32_t fallback)
{
    return static_cast<uint16_t>(ini.GetInt(section, key, fallback));
}

void ReadText(const IniFile& ini, const char* section, const char* key, const char* fallback,
              char (&field)[kSettingsTextSize])
{
    std::string value = ini.GetString(section, key, fallback);
    SetSettingsText(field, value.c_str());
}

void WriteNumber(IniFile& ini, const char* section, const char* key, uint16_t value)
{
    char text[16];
    snprintf(text, sizeof text, "%u", static_cast<unsigned>(value));
    ini.SetString(section, key, text);
}

void WriteText(IniFile& ini, const char* section, const char* key, const char (&field)[kSettingsTextSize])
{
    ini.SetString(section, key, std::string_view(field, strnlen(field, kSettingsTextSize)));
}
}

void SettingsFromIni(const IniFile& ini, AppSettings& settings)
{
    AppSettings read;
    read.driverType = ReadNumber(ini, "audio", "driver", 0);
    ReadText(ini, "audio", "indev", "default", read.audioInputDevice);
    ReadText(ini, "audio", "outdev", "default", read.audioOutputDevice);
    read.inputChannel1 = ReadNumber(ini, "audio", "in1", 1);
    read.inputChannel2 = ReadNumber(ini, "audio", "in2", 2);
    read.outputChannel1 = ReadNumber(ini, "audio", "out1", 1);
    read.outputChannel2 = ReadNumber(ini, "audio", "out2", 2);
    read.monoInput = ReadNumber(ini, "audio", "monoinput", 0);
    ReadText(ini, "audio", "iovs", "512", read.ioVectorSize);
    ReadText(ini, "audio", "sigvs", "32", read.signalVectorSize);
    ReadText(ini, "audio", "sr", "44100", read.sampleRate);
    // Names that match no port; the MIDI start-up turns them into "off".
    ReadText(ini, "midi", "indev", "no input", read.midiInputDevice);
    ReadText(ini, "midi", "outdev", "no output", read.midiOutputDevice);
    read.midiInputChannel = ReadNumber(ini, "midi", "inchan", 0);
    read.midiOutputChannel = ReadNumber(ini, "midi", "outchan", 0);
    settings = read;
}

void SettingsIntoIni(const AppSettings& settings, IniFile& ini)
{
    WriteNumber(ini, "audio", "driver", settings.driverType);
    WriteText(ini, "audio", "indev", settings.audioInputDevice);
    WriteText(ini, "audio", "outdev", settings.audioOutputDevice);
    WriteNumber(ini, "audio", "in1", settings.inputChannel1);
    WriteNumber(ini, "audio", "in2", settings.inputChannel2);
    WriteNumber(ini, "audio", "out1", settings.outputChannel1);
    WriteNumber(ini, "audio", "out2", settings.outputChannel2);
    WriteNumber(ini, "audio", "monoinput", LoadSharedSetting(settings.monoInput));
    WriteText(ini, "audio", "iovs", settings.ioVectorSize);
    WriteText(ini, "audio", "sigvs", settings.signalVectorSize);
    WriteText(ini, "audio", "sr", settings.sampleRate);
    WriteText(ini, "midi", "indev", settings.midiInputDevice);
    WriteText(ini, "midi", "outdev", settings.midiOutputDevice);
    WriteNumber(ini, "midi", "inchan", LoadSharedSetting(settings.midiInputChannel));
    WriteNumber(ini, "midi", "outchan", LoadSharedSetting(settings.midiOutputChannel));
}

bool ReadSettingsFile(const char* path, AppSettings& settings)
{
    std::string text;
    int error = 0;
    if (ReadTextFile(path, text, error) != ReadResult::Ok) {
        fprintf(stderr, "Snarlbox: cannot read the settings file %s (%s); using the defaults\n", path,
                strerror(error));
        return false;
    }
    IniFile ini;
    ini.Parse(text);
    SettingsFromIni(ini, settings);
    return true;
}

bool WriteSettingsFile(const char* path, const AppSettings& settings)
{
    std::string text;
    int error = 0;
    ReadResult existing = ReadTextFile(path, text, error);
    if (existing == ReadResult::Failed) {
        // Whatever is there could not be read, so it cannot be kept: leave it alone.
        fprintf(stderr, "Snarlbox: settings not saved: cannot read %s (%s); the settings stay in memory\n", path,
                strerror(error));
        return false;
    }
    IniFile ini;
    if (existing == ReadResult::Ok) {
        ini.Parse(text);
    }
    SettingsIntoIni(settings, ini);

    // Through a symbolic link the linked file is replaced, not the link.
    std::string target = path;
    struct stat link;
    if (lstat(path, &link) == 0 && S_ISLNK(link.st_mode)) {
        if (char* real = realpath(path, nullptr)) {
            target = real;
            free(real);
        }
    }
    if (!ReplaceFile(target, ini.Serialize(), error)) {
        fprintf(stderr, "Snarlbox: settings not saved to %s (%s); the settings stay in memory\n", path,
                strerror(error));
        return false;
    }
    return true;
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
    WriteSettingsFile(settingsPath, currentSettings);
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
    if (stat(settingsPath, &info) == 0) {
        ReadSettings();
    }
    return true;
}
