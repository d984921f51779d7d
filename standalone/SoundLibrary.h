#pragma once

#include "standalone/Sound.h"

#include <string>
#include <vector>

// One sound the program can offer: a factory sound (built in; path empty)
// or a preset bundle for Snarlbox that LV2 hosts would find.
struct SoundEntry {
    std::string name;
    std::string path;      // the preset's .ttl file; empty for a factory sound
    std::string presetUri; // the preset as LV2 hosts name it
    bool factory = false;
};

// The factory sounds first (built into the program, so they are there even
// when the plug-in bundle is not installed), then every Snarlbox preset in
// the user's ~/.lv2, the LV2_PATH folders and the installed bundle, by name.
// Damaged preset files are left out, with a line on standard error.
// Any thread but the audio thread; reads the LV2 folders.
std::vector<SoundEntry> ListSounds();

// The sound of that name: a factory sound, else the first listed preset of
// that name. False with error set when there is none or it cannot be read.
// Any thread but the audio thread.
bool FindSound(const std::string& name, Sound& sound, std::string& error);

// Reads the sound of one entry of ListSounds. Any thread but the audio thread.
bool LoadSoundEntry(const SoundEntry& entry, Sound& sound, std::string& error);

// The factory sound of that index (0 .. FactorySoundCount() - 1). Any thread.
Sound FactorySoundAt(int index);
int FactorySoundCount();

// Where LV2 hosts keep the user's presets: ~/.lv2. Any thread.
std::string UserPresetFolder();

// The bundle folder a sound of that name is saved to in the user's preset
// folder ("Snarlbox_<name>.lv2"). False with error set for a name that is
// blank, too long, not UTF-8, or could reach outside that folder (a slash,
// control characters). Any thread.
bool UserSoundBundle(const std::string& name, std::string& bundleFolder, std::string& error);
