#include "standalone/SessionFolder.h"

#include "standalone/HostSettings.h"
#include "standalone/RunSettings.h"
#include "standalone/RunSound.h"
#include "standalone/SettingsFile.h"

#include <glib.h>

#include <cstdio>

namespace {
constexpr const char* kWindowFile = "/session.ini";
} // namespace

bool OpenSessionFolder(const std::string& folder, bool& windowShown, std::string& error)
{
    const bool fresh = !g_file_test(folder.c_str(), G_FILE_TEST_IS_DIR);
    const std::string path = folder + "/settings.ini";
    if (g_mkdir_with_parents(folder.c_str(), 0755) != 0 || path.size() >= kSettingsPathSize) {
        error = "cannot make the session folder " + folder;
        return false;
    }
    std::snprintf(settingsPath, kSettingsPathSize, "%s", path.c_str());
    if (g_file_test(path.c_str(), G_FILE_TEST_EXISTS)) {
        ReadSettingsFile(path.c_str(), currentSettings);
    } else {
        const std::string own = std::string(g_get_user_config_dir()) + "/Snarlbox/settings.ini";
        if (g_file_test(own.c_str(), G_FILE_TEST_EXISTS)) {
            ReadSettingsFile(own.c_str(), currentSettings);
        }
    }
    windowShown = false;
    if (!fresh) {
        GKeyFile* file = g_key_file_new();
        if (g_key_file_load_from_file(file, (folder + kWindowFile).c_str(), G_KEY_FILE_NONE, nullptr)) {
            windowShown = g_key_file_get_boolean(file, "window", "shown", nullptr) != FALSE;
        }
        g_key_file_free(file);
    }
    return true;
}

bool SaveSessionFolder(const std::string& folder, IAudioPlugin* plugin, bool windowShown, std::string& error)
{
    if (g_mkdir_with_parents(folder.c_str(), 0755) != 0) {
        error = "cannot make the session folder " + folder;
        return false;
    }
    if (!WriteSettingsFile(settingsPath, SettingsForFile(currentSettings))) {
        error = std::string("cannot write ") + settingsPath;
        return false;
    }
    if (plugin != nullptr && !WriteSessionKnobs(folder, CaptureKnobs(*plugin), error)) {
        return false;
    }
    GKeyFile* file = g_key_file_new();
    g_key_file_set_boolean(file, "window", "shown", windowShown);
    GError* failure = nullptr;
    // Replaced atomically by GLib.
    const bool ok = g_key_file_save_to_file(file, (folder + kWindowFile).c_str(), &failure) != FALSE;
    g_key_file_free(file);
    if (!ok) {
        error = "cannot write " + folder + kWindowFile + ": " + failure->message;
        g_clear_error(&failure);
    }
    return ok;
}
