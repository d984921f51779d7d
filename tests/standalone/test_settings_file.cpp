#include "platform/DebugTrace.h"
#include "standalone/HostSettings.h"
#include "standalone/SettingsFile.h"
#include "tests/support/FileText.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
const char* const kFirstRunFile = "[audio]\ndriver=0\nindev=default\noutdev=default\nin1=1\nin2=2\nout1=1\nout2=2\n"
                                  "monoinput=0\niovs=512\nsigvs=32\nsr=44100\n\n"
                                  "[midi]\nindev=off\noutdev=off\ninchan=0\noutchan=0\n\n"
                                  "[sound]\nstartwithlast=0\n";

std::string lastTrace;
void KeepTrace(const char* line) { lastTrace = line; }

bool RecordIsUsable(const AppSettings& s)
{
    for (const char* text : {s.audioInputDevice, s.audioOutputDevice, s.sampleRate, s.ioVectorSize,
                             s.signalVectorSize, s.midiInputDevice, s.midiOutputDevice}) {
        if (strnlen(text, kSettingsTextSize) >= kSettingsTextSize) {
            return false;
        }
    }
    return true;
}

// True when every line of before is found in after, in the same order.
bool KeepsEveryLine(const std::string& before, const std::string& after)
{
    size_t from = 0, at = 0;
    while (from < before.size()) {
        size_t end = before.find('\n', from);
        std::string line = before.substr(from, end == std::string::npos ? std::string::npos : end - from);
        at = after.find(line, at);
        if (at == std::string::npos) {
            return false;
        }
        at += line.size();
        from = end == std::string::npos ? before.size() : end + 1;
    }
    return true;
}

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/snarlbox-settings-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        config = root / "config";
        fs::create_directory(config);
        product = config / "Snarlbox";
        file = product / "settings.ini";
        DefaultSettings(currentSettings);
        settingsPath[0] = '\0';
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(root, ignored);
        settingsPath[0] = '\0';
    }
    // The start-up steps: defaults, path (and reading), then the write.
    bool StartUp()
    {
        DefaultSettings(currentSettings);
        bool ok = PrepareSettingsFile(config.c_str());
        if (ok) {
            WriteSettings();
        }
        return ok;
    }
    void StartUpWith(const std::string& text)
    {
        fs::create_directories(product);
        Spill(file, text);
        ASSERT_TRUE(StartUp());
    }

    fs::path root, config, product, file;
};
}

TEST_F(SettingsFileTest, FirstRunCreatesFolderAndWritesEveryKeyInOrder)
{
    config = root / "missing" / "parents";
    product = config / "Snarlbox";
    file = product / "settings.ini";
    ASSERT_TRUE(StartUp());
    EXPECT_STREQ(settingsPath, file.c_str());
    EXPECT_TRUE(fs::is_directory(product));
    AppSettings defaults;
    DefaultSettings(defaults);
    EXPECT_TRUE(SettingsEqual(currentSettings, defaults));
    EXPECT_EQ(Slurp(file), kFirstRunFile);
    // Nothing but the file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(product), fs::directory_iterator()), 1);
}

TEST_F(SettingsFileTest, MissingKeysTakeReadDefaultsAndOddValuesAreKept)
{
    StartUpWith("[audio]\ndriver=7\nin1=3\nin2=9\nmonoinput=12abc\nout1=-1\nout2=70000\nsr= 7\n");
    EXPECT_EQ(currentSettings.driverType, 7);
    EXPECT_EQ(currentSettings.inputChannel1, 3);
    EXPECT_EQ(currentSettings.inputChannel2, 9);
    EXPECT_EQ(currentSettings.monoInput, 12);
    EXPECT_EQ(currentSettings.outputChannel1, 65535);
    EXPECT_EQ(currentSettings.outputChannel2, 70000 % 65536);
    EXPECT_STREQ(currentSettings.sampleRate, "7");
    EXPECT_STREQ(currentSettings.audioInputDevice, "default");
    EXPECT_STREQ(currentSettings.midiInputDevice, "no input");
    EXPECT_STREQ(currentSettings.midiOutputDevice, "no output");
    // Keys that read as their fields stay as written; only missing keys are added.
    EXPECT_EQ(Slurp(file), "[audio]\ndriver=7\nin1=3\nin2=9\nmonoinput=12abc\nout1=-1\nout2=70000\nsr= 7\n"
                           "indev=default\noutdev=default\niovs=512\nsigvs=32\n\n"
                           "[midi]\nindev=no input\noutdev=no output\ninchan=0\noutchan=0\n\n[sound]\nstartwithlast=0\n");
}

TEST_F(SettingsFileTest, EveryFieldRoundTrips)
{
    AppSettings written;
    DefaultSettings(written);
    written.driverType = 1;
    SetSettingsText(written.audioInputDevice, "hw:CARD=USB,DEV=0 Ünïcødé: «in»");
    SetSettingsText(written.audioOutputDevice, "Speakers, front: left; 日本語");
    SetSettingsText(written.sampleRate, "96000");
    SetSettingsText(written.ioVectorSize, "1024");
    SetSettingsText(written.signalVectorSize, "64");
    written.inputChannel1 = 5;
    written.inputChannel2 = 6;
    written.outputChannel1 = 7;
    written.outputChannel2 = 8;
    written.monoInput = 1;
    SetSettingsText(written.midiInputDevice, "Midi Through:Midi Through Port-0 14:0");
    SetSettingsText(written.midiOutputDevice, "a = b [c] ;d");
    written.midiInputChannel = 16;
    written.midiOutputChannel = 65535;
    fs::create_directories(product);
    ASSERT_TRUE(WriteSettingsFile(file.c_str(), written));
    AppSettings read;
    ASSERT_TRUE(ReadSettingsFile(file.c_str(), read));
    EXPECT_TRUE(SettingsEqual(read, written));
    EXPECT_STREQ(read.midiOutputDevice, "a = b [c] ;d");
}

TEST_F(SettingsFileTest, CommentsAndForeignKeysSurviveAWrite)
{
    const std::string before = "; my notes\r\n[Audio]\r\nDriver = 1\r\ncolour=blue\r\n\r\n[extra]\r\n"
                               "keep=this\r\n[MIDI]\r\nINDEV=Port 1\r\n";
    StartUpWith(before);
    EXPECT_STREQ(currentSettings.midiInputDevice, "Port 1");
    EXPECT_EQ(currentSettings.driverType, 1);
    SetSettingsText(currentSettings.sampleRate, "48000");
    StoreSharedSetting(currentSettings.monoInput, 1);
    WriteSettings();
    EXPECT_EQ(Slurp(file), "; my notes\r\n[Audio]\r\nDriver = 1\r\ncolour=blue\r\nindev=default\r\noutdev=default\r\n"
                           "in1=1\r\nin2=2\r\nout1=1\r\nout2=2\r\nmonoinput=1\r\niovs=512\r\nsigvs=32\r\n"
                           "sr=48000\r\n\r\n[extra]\r\nkeep=this\r\n[MIDI]\r\nINDEV=Port 1\r\n"
                           "outdev=no output\r\ninchan=0\r\noutchan=0\r\n\r\n[sound]\r\nstartwithlast=0\r\n");
}

TEST_F(SettingsFileTest, HostileContentsNeverBreakTheRecord)
{
    std::mt19937 random(77);
    std::string randomBytes(20000, '\0');
    for (char& c : randomBytes) {
        c = static_cast<char>(random());
    }
    const std::string cases[] = {
        randomBytes,
        std::string("[audio]\nindev=abc\0def\nsr=4\08000\n\0\0[midi]\ninchan=3\n", 44),
        "[audio]\nindev=" + std::string(900 * 1024, 'x') + "\n",
        "",
        "[audio\ndriver=1\n[audio]\ndriver=0\n",
        "[audio]\nindev=" + std::string(98, 'a') + "\xc3\xa9\n",
    };
    for (const std::string& text : cases) {
        StartUpWith(text);
        EXPECT_TRUE(RecordIsUsable(currentSettings));
        AppSettings again;
        ASSERT_TRUE(ReadSettingsFile(file.c_str(), again));
        EXPECT_TRUE(SettingsEqual(again, currentSettings));
        // Whatever the file held is still in it.
        EXPECT_TRUE(KeepsEveryLine(text, Slurp(file))) << text.size();
    }
    // The last case: 98 + the two bytes of "é" do not fit 99, so the whole character goes.
    EXPECT_EQ(std::string(currentSettings.audioInputDevice), std::string(98, 'a'));
}

TEST_F(SettingsFileTest, NulInsideValuesEndsThem)
{
    StartUpWith(std::string("[audio]\nindev=abc\0def\n", 22));
    EXPECT_STREQ(currentSettings.audioInputDevice, "abc");
}

TEST_F(SettingsFileTest, UnreadableFileIsLeftAloneAndDefaultsRun)
{
    fs::create_directories(file / "inside");
    testing::internal::CaptureStderr();
    ASSERT_TRUE(StartUp());
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("cannot read"), std::string::npos) << err;
    EXPECT_TRUE(fs::is_directory(file / "inside"));
    AppSettings defaults;
    DefaultSettings(defaults);
    EXPECT_TRUE(SettingsEqual(currentSettings, defaults));
    EXPECT_EQ(std::distance(fs::directory_iterator(product), fs::directory_iterator()), 1);
}

TEST_F(SettingsFileTest, FailedWriteKeepsTheOldFile)
{
    StartUpWith("[audio]\ndriver=1\n; a long comment so the new file outgrows the limit" + std::string(300, '.'));
    ASSERT_EQ(currentSettings.driverType, 1);
    const std::string before = Slurp(file);
    // A file size limit makes every write fail the way a full disk does, even for root.
    struct rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit tiny = old;
    tiny.rlim_cur = 200; // room for the captured message, not for the file
    auto previous = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
    currentSettings.driverType = 0;
    testing::internal::CaptureStderr();
    WriteSettings();
    std::string err = testing::internal::GetCapturedStderr();
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, previous);
    EXPECT_NE(err.find("not saved"), std::string::npos) << err;
    EXPECT_EQ(currentSettings.driverType, 0);
    // The file as start-up wrote it, untouched; no temporary left.
    EXPECT_EQ(Slurp(file), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(product), fs::directory_iterator()), 1);

    // A folder nothing can be created in.
    AppSettings any;
    DefaultSettings(any);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(WriteSettingsFile("/proc/snarlbox-no-such-dir/settings.ini", any));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("not saved"), std::string::npos);
}

TEST_F(SettingsFileTest, SymbolicLinkStaysALink)
{
    fs::create_directories(product);
    Spill(root / "real.ini", "[audio]\ndriver=1\n");
    fs::create_symlink(root / "real.ini", file);
    ASSERT_TRUE(StartUp());
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(Slurp(root / "real.ini").rfind("[audio]\ndriver=1\nindev=default\n", 0), 0u);
}

TEST_F(SettingsFileTest, NoFolderEndsStartUp)
{
    lastTrace.clear();
    SetDebugTraceHook(KeepTrace);
    EXPECT_FALSE(PrepareSettingsFile(""));
    SetDebugTraceHook(nullptr);
    EXPECT_EQ(lastTrace, "could not retrieve the user's application data directory!\r\n");
}

TEST_F(SettingsFileTest, OverlongPathRunsInMemory)
{
    std::string longFolder = config.string() + "/" + std::string(200 - config.string().size() - 20, 'd');
    fs::create_directories(longFolder);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(PrepareSettingsFile(longFolder.c_str()));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("in memory"), std::string::npos);
    EXPECT_STREQ(settingsPath, "");
    WriteSettings();
    EXPECT_FALSE(fs::exists(longFolder + "/Snarlbox"));

    // One character shorter than the limit still fits.
    std::string fits = config.string() + "/" + std::string(199 - config.string().size() - 22 - 1, 'e');
    EXPECT_TRUE(PrepareSettingsFile(fits.c_str()));
    EXPECT_EQ(strlen(settingsPath), 199u);
}

namespace {
// The limits that keep the file cheap and the user's own.
class SettingsLimits : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/snarlbox-limits-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        product = root / "Snarlbox";
        file = product / "settings.ini";
        fs::create_directories(product);
        DefaultSettings(currentSettings);
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::permissions(file, fs::perms::owner_all, ignored);
        fs::remove_all(root, ignored);
        settingsPath[0] = '\0';
        DefaultSettings(currentSettings);
    }
    // Start-up as the program does it: path and reading, then the write.
    std::string StartUp()
    {
        DefaultSettings(currentSettings);
        testing::internal::CaptureStderr();
        EXPECT_TRUE(PrepareSettingsFile(root.c_str()));
        WriteSettings();
        return testing::internal::GetCapturedStderr();
    }

    fs::path root, product, file;
};
} // namespace

TEST_F(SettingsLimits, FileOverOneMebibyteIsLeftUntouched)
{
    // Blank lines up to just past the cap, then a key the reader must not see.
    const std::string text = std::string(1024 * 1024, '\n') + "[audio]\ndriver=1\n";
    Spill(file, text);
    const std::string errors = StartUp();
    EXPECT_NE(errors.find("larger than 1 MiB"), std::string::npos) << errors;
    EXPECT_EQ(currentSettings.driverType, 0);
    EXPECT_EQ(Slurp(file), text);

    // Just under the cap it is read and its lines are kept.
    const std::string fits = std::string(1024 * 1024 - 40, '\n') + "[audio]\ndriver=1\n";
    Spill(file, fits);
    StartUp();
    EXPECT_EQ(currentSettings.driverType, 1);
    const std::string written = Slurp(file);
    EXPECT_EQ(written.rfind(fits, 0), 0u);
    EXPECT_NE(written.find("sr=44100"), std::string::npos);
}

TEST_F(SettingsLimits, StaleTemporaryFilesOfOursAreRemovedAtStart)
{
    Spill(product / ".settings.ini.a1B2c3", "[audio]\ndriver=1\n");
    Spill(product / ".settings.ini.Zz9Yy8", "");
    Spill(product / ".settings.ini.short", "keep: not a name of ours");
    Spill(product / "notes.txt", "keep");
    StartUp();
    EXPECT_FALSE(fs::exists(product / ".settings.ini.a1B2c3"));
    EXPECT_FALSE(fs::exists(product / ".settings.ini.Zz9Yy8"));
    EXPECT_TRUE(fs::exists(product / ".settings.ini.short"));
    EXPECT_TRUE(fs::exists(product / "notes.txt"));
    EXPECT_TRUE(fs::exists(file));
}

TEST_F(SettingsLimits, ReadOnlyFileIsReadButNeverReplaced)
{
    const std::string text = "[audio]\ndriver=1\n";
    Spill(file, text);
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read);
    const std::string errors = StartUp();
    EXPECT_NE(errors.find("read-only"), std::string::npos) << errors;
    EXPECT_EQ(currentSettings.driverType, 1);
    EXPECT_EQ(Slurp(file), text);
    struct stat info;
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0440u);
}

TEST_F(SettingsLimits, ByteOrderMarkIsSkippedAndKept)
{
    Spill(file, "\xEF\xBB\xBF[audio]\r\ndriver=1\r\nsr=48000\r\n");
    StartUp();
    EXPECT_EQ(currentSettings.driverType, 1);
    EXPECT_STREQ(currentSettings.sampleRate, "48000");
    const std::string written = Slurp(file);
    EXPECT_EQ(written.rfind("\xEF\xBB\xBF[audio]\r\ndriver=1\r\nsr=48000\r\n", 0), 0u) << written;
    // No second [audio] section was appended.
    EXPECT_EQ(written.find("[audio]", 4), std::string::npos) << written;
}

TEST_F(SettingsLimits, OneKeyIsWrittenWithoutTheOtherEdits)
{
    Spill(file, "[audio]\nsr=44100\n; mine\n[midi]\nindev=Keys\n");
    StartUp();
    const std::string before = Slurp(file);
    SetSettingsText(currentSettings.sampleRate, "96000"); // an edit not yet confirmed
    SetSettingsText(currentSettings.midiInputDevice, "off");
    WriteSetting("midi", "indev");
    const std::string after = Slurp(file);
    EXPECT_NE(after.find("sr=44100"), std::string::npos) << after;
    EXPECT_EQ(after.find("96000"), std::string::npos) << after;
    EXPECT_NE(after.find("indev=off"), std::string::npos) << after;
    std::string expected = before;
    expected.replace(expected.find("indev=Keys"), 10, "indev=off");
    EXPECT_EQ(after, expected);
}
