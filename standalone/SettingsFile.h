#pragma once

#include "standalone/AppSettings.h"

class IniFile;

// Start-up: builds settingsPath as <folder>/Snarlbox/settings.ini, where folder
// is appDataFolder or, when that is null, the user's configuration folder.
// Creates the product folder (and missing parents) when it is absent and keeps
// the defaults; otherwise reads the file into currentSettings when it exists.
// Returns false when there is no such folder (after the debug trace): the
// program must then end with exit code 1. A path too long for settingsPath
// leaves it empty (said on stderr) and the settings live in memory only.
// UI thread only, before any device is touched.
bool PrepareSettingsFile(const char* appDataFolder = nullptr);

// Reads the file at settingsPath into currentSettings; missing keys take their
// read defaults. An unreadable file leaves currentSettings as it is (stderr).
// UI thread only.
void ReadSettings();
// Writes every field of currentSettings to settingsPath, keeping every other
// line of the file, and replaces the file atomically. On failure the old file
// stays as it was and the settings live on in memory (stderr). UI thread only.
void WriteSettings();

// Pieces of the two above, for any path and record. UI thread only.
// Fills every field of settings from ini (read defaults for missing keys).
void SettingsFromIni(const IniFile& ini, AppSettings& settings);
// Stores the fifteen keys of settings into ini in their fixed order; a key
// that already reads as the field's value is left as it is.
void SettingsIntoIni(const AppSettings& settings, IniFile& ini);
// Reads the file at path into settings; false (settings untouched, stderr
// message) when the file cannot be read.
bool ReadSettingsFile(const char* path, AppSettings& settings);
// Writes settings into the file at path, atomically; false (file untouched,
// stderr message) on failure.
bool WriteSettingsFile(const char* path, const AppSettings& settings);
