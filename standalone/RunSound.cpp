#include "standalone/RunSound.h"

#include "core/ClampStoredValue.h"
#include "core/IAudioPlugin.h"
#include "core/IParameter.h"
#include "lv2/Lv2Interface.h"

#include <glib.h>

#include <cmath>

// Until the sound files arrive, a session keeps its knobs in a small key file
// by port symbol; sound files named on the command line cannot be read yet.
namespace {
constexpr const char* kKnobsFile = "knobs.ini";
constexpr const char* kGroup = "knobs";
} // namespace

bool FindRunSound(const std::string& nameOrPath, KnobValues&, std::string& error)
{
    error = "cannot open the sound \"" + nameOrPath + "\": this build has no sound files";
    return false;
}

bool ReadSessionKnobs(const std::string& folder, KnobValues& values, bool& found, std::string& error)
{
    found = false;
    const std::string path = folder + "/" + kKnobsFile;
    if (!g_file_test(path.c_str(), G_FILE_TEST_EXISTS)) {
        return true;
    }
    GKeyFile* file = g_key_file_new();
    GError* failure = nullptr;
    bool ok = g_key_file_load_from_file(file, path.c_str(), G_KEY_FILE_NONE, &failure) != FALSE;
    if (!ok) {
        error = "cannot read " + path + ": " + failure->message;
        g_clear_error(&failure);
    }
    for (uint32_t i = 0; ok && i < Lv2Interface::kControlCount; ++i) {
        const auto& port = Lv2Interface::kControlPorts[i];
        const double value = g_key_file_get_double(file, kGroup, port.symbol, &failure);
        if (failure != nullptr || !std::isfinite(value)) {
            g_clear_error(&failure);
            continue; // a knob missing or unreadable keeps its default
        }
        values[static_cast<size_t>(port.paramIndex)] = value;
    }
    g_key_file_free(file);
    found = ok;
    return ok;
}

bool WriteSessionKnobs(const std::string& folder, const KnobValues& values, std::string& error)
{
    GKeyFile* file = g_key_file_new();
    for (uint32_t i = 0; i < Lv2Interface::kControlCount; ++i) {
        const auto& port = Lv2Interface::kControlPorts[i];
        g_key_file_set_double(file, kGroup, port.symbol, values[static_cast<size_t>(port.paramIndex)]);
    }
    const std::string path = folder + "/" + kKnobsFile;
    GError* failure = nullptr;
    // g_key_file_save_to_file replaces the file atomically.
    const bool ok = g_key_file_save_to_file(file, path.c_str(), &failure) != FALSE;
    if (!ok) {
        error = "cannot write " + path + ": " + failure->message;
        g_clear_error(&failure);
    }
    g_key_file_free(file);
    return ok;
}

KnobValues CaptureKnobs(IAudioPlugin& plugin)
{
    KnobValues values{};
    plugin.EnterPluginLock();
    for (int i = 0; i < IAudioPlugin::kParameterCount && i < plugin.ParameterCount(); ++i) {
        values[static_cast<size_t>(i)] = plugin.ParameterAt(i)->value;
    }
    plugin.LeavePluginLock();
    return values;
}

void ApplyKnobs(IAudioPlugin& plugin, const KnobValues& values)
{
    plugin.EnterPluginLock();
    for (uint32_t i = 0; i < Lv2Interface::kControlCount; ++i) {
        const int index = Lv2Interface::kControlPorts[i].paramIndex;
        IParameter& parameter = *plugin.ParameterAt(index);
        parameter.value = ClampStoredValue(parameter, values[static_cast<size_t>(index)]);
        plugin.ParameterChanged(index);
    }
    plugin.LeavePluginLock();
    plugin.PushParametersToEditor();
}
