#pragma once

#include "standalone/AppSettings.h"

#include <cstddef>

// The host's three settings records, alive for the whole run.
// currentSettings: the live settings (loaded, edited, written, used to start
// audio and MIDI). backupSettings: taken when the preferences dialog opens.
// streamSettings: taken after each successful stream start.
// Written on the UI thread only; the audio and MIDI threads read
// currentSettings.monoInput, .midiInputChannel and .midiOutputChannel through
// LoadSharedSetting.
extern AppSettings currentSettings;
extern AppSettings backupSettings;
extern AppSettings streamSettings;

inline constexpr size_t kSettingsPathSize = 200;
// Full path of settings.ini; empty while the settings live in memory only.
// UI thread only.
extern char settingsPath[kSettingsPathSize];

// currentSettings against backupSettings. UI thread only.
bool AudioSettingsEqual();
bool MidiSettingsEqual();
