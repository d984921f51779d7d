#pragma once

#include <string>

class IAudioPlugin;

// A session client's folder: settings.ini, the knobs as the preset bundle
// sound.lv2, and session.ini with whether the window shows. Nothing of a
// session goes to the user's configuration folder. UI thread only.

// Makes the folder when missing and points settingsPath at its
// settings.ini, read into currentSettings; a new client starts from the
// user's own settings.ini (read only). windowShown: as saved, false in a
// new folder. False with error set when the folder cannot be made.
bool OpenSessionFolder(const std::string& folder, bool& windowShown, std::string& error);
// Writes the settings (without the command line's values), the plug-in's
// knobs and windowShown into the folder. False with error set at the first
// file that cannot be written.
bool SaveSessionFolder(const std::string& folder, IAudioPlugin* plugin, bool windowShown, std::string& error);
