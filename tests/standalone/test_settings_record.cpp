#include "standalone/HostSettings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

TEST(AppSettingsRecord, DefaultsAndTextCuts)
{
    AppSettings s;
    DefaultSettings(s);
    EXPECT_EQ(s.driverType, 0);
    EXPECT_STREQ(s.audioInputDevice, "default");
    EXPECT_STREQ(s.audioOutputDevice, "default");
    EXPECT_STREQ(s.sampleRate, "44100");
    EXPECT_STREQ(s.ioVectorSize, "512");
    EXPECT_STREQ(s.signalVectorSize, "32");
    EXPECT_EQ(s.inputChannel1, 1);
    EXPECT_EQ(s.inputChannel2, 2);
    EXPECT_EQ(s.outputChannel1, 1);
    EXPECT_EQ(s.outputChannel2, 2);
    EXPECT_EQ(s.monoInput, 0);
    EXPECT_STREQ(s.midiInputDevice, "off");
    EXPECT_STREQ(s.midiOutputDevice, "off");
    EXPECT_EQ(s.midiInputChannel, 0);
    EXPECT_EQ(s.midiOutputChannel, 0);

    std::string longText(150, 'z');
    SetSettingsText(s.sampleRate, longText.c_str());
    EXPECT_EQ(std::string(s.sampleRate), std::string(99, 'z'));
    // A three-byte character across the cut is dropped whole; one that ends at 99 stays.
    SetSettingsText(s.sampleRate, (std::string(98, 'a') + "\xe2\x82\xac").c_str());
    EXPECT_EQ(std::string(s.sampleRate), std::string(98, 'a'));
    SetSettingsText(s.sampleRate, (std::string(96, 'a') + "\xe2\x82\xac" + "b").c_str());
    EXPECT_EQ(std::string(s.sampleRate), std::string(96, 'a') + "\xe2\x82\xac");
}

TEST(AppSettingsRecord, EqualityLooksAtTheRightFields)
{
    AppSettings base;
    DefaultSettings(base);
    // Bytes after the terminating NUL do not count.
    AppSettings tail = base;
    tail.sampleRate[80] = 'x';
    EXPECT_TRUE(SettingsEqual(base, tail));

    auto audio = {+[](AppSettings& s) { s.driverType = 1; }, +[](AppSettings& s) { s.audioInputDevice[0] = 'x'; },
                  +[](AppSettings& s) { s.audioOutputDevice[0] = 'x'; }, +[](AppSettings& s) { s.sampleRate[0] = 'x'; },
                  +[](AppSettings& s) { s.ioVectorSize[0] = 'x'; }, +[](AppSettings& s) { s.signalVectorSize[0] = 'x'; },
                  +[](AppSettings& s) { s.inputChannel1 = 9; }, +[](AppSettings& s) { s.inputChannel2 = 9; },
                  +[](AppSettings& s) { s.outputChannel1 = 9; }, +[](AppSettings& s) { s.outputChannel2 = 9; },
                  +[](AppSettings& s) { s.monoInput = 1; }};
    for (auto change : audio) {
        AppSettings other = base;
        change(other);
        EXPECT_FALSE(AudioSettingsEqual(base, other));
        EXPECT_TRUE(MidiSettingsEqual(base, other));
    }
    auto midi = {+[](AppSettings& s) { s.midiInputDevice[1] = 'x'; }, +[](AppSettings& s) { s.midiOutputDevice[1] = 'x'; },
                 +[](AppSettings& s) { s.midiInputChannel = 3; }, +[](AppSettings& s) { s.midiOutputChannel = 3; }};
    for (auto change : midi) {
        AppSettings other = base;
        change(other);
        EXPECT_TRUE(AudioSettingsEqual(base, other));
        EXPECT_FALSE(MidiSettingsEqual(base, other));
    }

    currentSettings = base;
    backupSettings = base;
    EXPECT_TRUE(AudioSettingsEqual());
    EXPECT_TRUE(MidiSettingsEqual());
    currentSettings.midiOutputChannel = 4;
    EXPECT_TRUE(AudioSettingsEqual());
    EXPECT_FALSE(MidiSettingsEqual());
    currentSettings = backupSettings;
    EXPECT_TRUE(SettingsEqual(currentSettings, backupSettings));
}

// The audio and MIDI threads read three fields while the UI thread replaces the record.
TEST(AppSettingsThreads, SharedFieldsReadWhileRecordIsReplaced)
{
    AppSettings a, b;
    DefaultSettings(a);
    DefaultSettings(b);
    b.monoInput = 1;
    b.midiInputChannel = 5;
    b.midiOutputChannel = 6;
    currentSettings = a;
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        while (!stop.load()) {
            uint16_t mono = LoadSharedSetting(currentSettings.monoInput);
            uint16_t in = LoadSharedSetting(currentSettings.midiInputChannel);
            uint16_t out = LoadSharedSetting(currentSettings.midiOutputChannel);
            ASSERT_TRUE(mono <= 1 && (in == 0 || in == 5) && (out == 0 || out == 6));
        }
    });
    for (int i = 0; i < 20000; ++i) {
        currentSettings = (i % 2) ? a : b;
        StoreSharedSetting(currentSettings.midiOutputChannel, (i % 2) ? 0 : 6);
    }
    stop.store(true);
    reader.join();
    DefaultSettings(currentSettings);
}
