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
// Writes every field of currentSettings (SettingsForFile: without the values
// the command line gave for this run) to settingsPath, keeping every other
// line of the file, and replaces the file atomically. On failure the old file
// stays as it was and the settings live on in memory (stderr). UI thread only.
void WriteSettings();

// Writes only the one key of currentSettings (section "audio" or "midi"),
// leaving every other line of the file as it is: what the program stores on
// the user's behalf, without taking along unsaved edits. UI thread only.
void WriteSetting(const char* section, const char* key);
// Removes ".settings.ini.XXXXXX" files of ours that an interrupted write
// left in folder. UI thread only, at start-up (one instance runs).
void RemoveStaleTemporaryFiles(const char* folder);

// Pieces of the two above, for any path and record. UI thread only.
// Fills every field of settings from ini (read defaults for missing keys).
void SettingsFromIni(const IniFile& ini, AppSettings& settings);
// Stores the fifteen keys of settings into ini in their fixed order; a key
// that already reads as the field's value is left as it is.
void SettingsIntoIni(const AppSettings& settings, IniFile& ini);
// Reads the file at path into settings; false (settings untouched, stderr
// message) when the file cannot be read or is larger than 1 MiB.
bool ReadSettingsFile(const char* path, AppSettings& settings);
// Writes settings into the file at path, atomically; false (file untouched,
// stderr message) on failure, and for a file over 1 MiB or a read-only one.
bool WriteSettingsFile(const char* path, const AppSettings& settings);
// The same for one key only; false too for an unknown key.
bool WriteSettingsFileKey(const char* path, const AppSettings& settings, const char* section, const char* key);
