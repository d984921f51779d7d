#include "standalone/RunSound.h"

#include "standalone/ApplySound.h"
#include "standalone/SoundFiles.h"
#include "standalone/SoundLibrary.h"

#include <glib.h>

#include <cstdio>

namespace {
// The session's knobs: a preset bundle in the session's folder, which LV2
// hosts can read too.
constexpr const char* kSessionSound = "/sound.lv2";
} // namespace

bool FindRunSound(const std::string& nameOrPath, KnobValues& values, std::string& error)
{
    Sound sound;
    const bool file = g_file_test(nameOrPath.c_str(), G_FILE_TEST_EXISTS);
    if (file ? !ReadSound(nameOrPath, sound, error) : !FindSound(nameOrPath, sound, error)) {
        error = "cannot open the sound \"" + nameOrPath + "\"" + (error.empty() ? "" : ": " + error);
        return false;
    }
    if (!error.empty()) {
        std::fprintf(stderr, "Snarlbox: %s\n", error.c_str()); // what was clamped or skipped
        error.clear();
    }
    values = sound.values;
    return true;
}

bool ReadSessionKnobs(const std::string& folder, KnobValues& values, bool& found, std::string& error)
{
    found = false;
    const std::string bundle = folder + kSessionSound;
    if (!g_file_test(bundle.c_str(), G_FILE_TEST_EXISTS)) {
        return true;
    }
    Sound sound;
    if (!ReadSound(bundle, sound, error)) {
        error = "cannot read the session's knobs " + bundle + ": " + error;
        return false;
    }
    values = sound.values;
    found = true;
    return true;
}

bool WriteSessionKnobs(const std::string& folder, const KnobValues& values, std::string& error)
{
    Sound sound;
    sound.name = "Session";
    sound.values = values;
    return WriteSound(folder + kSessionSound, sound, error);
}

KnobValues CaptureKnobs(IAudioPlugin& plugin)
{
    return CaptureSound(plugin, std::string()).values;
}

void ApplyKnobs(IAudioPlugin& plugin, const KnobValues& values)
{
    Sound sound;
    sound.values = values;
    ApplySound(plugin, sound);
}
