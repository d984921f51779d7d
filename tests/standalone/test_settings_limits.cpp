#include "standalone/HostSettings.h"
#include "standalone/SettingsFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Spill(const fs::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

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
