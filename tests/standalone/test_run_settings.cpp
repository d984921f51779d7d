#include "standalone/RunSettings.h"

#include <gtest/gtest.h>

#include <cstring>

// What settings.ini is to hold after a run with command-line values, when
// Preferences saves.
TEST(RunSettings, TheFileKeepsItsOwnValuesUnlessTheUserChoseAnother)
{
    struct Case {
        const char* name;
        RunOptions options;
        void (*userEdit)(AppSettings&); // what Preferences changed, or null
        uint16_t fileDriver;
        const char* fileOutput;
        const char* fileRate;
    } cases[] = {
        {"nothing given", {}, nullptr, 0, "hw:0", "44100"},
        {"driver and device given, untouched", [] { RunOptions o; o.driverType = 1; o.outputDevice = "system"; return o; }(),
         nullptr, 0, "hw:0", "44100"},
        {"rate given, user changed another field",
         [] { RunOptions o; o.sampleRate = "96000"; return o; }(),
         [](AppSettings& s) { SetSettingsText(s.ioVectorSize, "128"); }, 0, "hw:0", "44100"},
        {"rate given, user chose another rate", [] { RunOptions o; o.sampleRate = "96000"; return o; }(),
         [](AppSettings& s) { SetSettingsText(s.sampleRate, "48000"); }, 0, "hw:0", "48000"},
        {"driver given, user chose another device", [] { RunOptions o; o.driverType = 1; return o; }(),
         [](AppSettings& s) { SetSettingsText(s.audioOutputDevice, "hw:1"); }, 0, "hw:1", "44100"},
    };
    for (Case& c : cases) {
        AppSettings file;
        DefaultSettings(file);
        SetSettingsText(file.audioOutputDevice, "hw:0");
        AppSettings live = file;
        ApplyRunOptions(c.options, live);
        if (c.options.sampleRate) {
            EXPECT_STREQ(live.sampleRate, c.options.sampleRate->c_str()) << c.name;
        }
        if (c.userEdit != nullptr) {
            c.userEdit(live);
        }
        for (int write = 0; write < 2; ++write) { // a second save says the same
            const AppSettings kept = SettingsForFile(live);
            EXPECT_EQ(kept.driverType, c.fileDriver) << c.name;
            EXPECT_STREQ(kept.audioOutputDevice, c.fileOutput) << c.name;
            EXPECT_STREQ(kept.sampleRate, c.fileRate) << c.name;
            EXPECT_STREQ(kept.ioVectorSize, live.ioVectorSize) << c.name;
        }
        ForgetRunOptions();
    }
}
