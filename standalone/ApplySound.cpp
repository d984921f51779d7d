#include "standalone/ApplySound.h"

#include "core/ClampStoredValue.h"
#include "core/IAudioPlugin.h"

#include <cmath>
#include <mutex>

namespace {
// Parameter 4 has no knob: sounds neither set nor keep it.
constexpr int kNoKnob = 4;
} // namespace

void ApplySound(IAudioPlugin& plugin, const Sound& sound)
{
    // One lock for all knobs: no signal vector hears half a sound.
    std::lock_guard<std::recursive_mutex> lock(plugin.pluginLock);
    const int count = std::min(plugin.ParameterCount(), IAudioPlugin::kParameterCount);
    for (int i = 0; i < count; ++i) {
        const double value = sound.values[static_cast<size_t>(i)];
        if (i == kNoKnob || std::isnan(value)) {
            continue;
        }
        IParameter& parameter = *plugin.ParameterAt(i);
        parameter.value = ClampStoredValue(parameter, value);
        plugin.ParameterChanged(i);
    }
    plugin.PushParametersToEditor();
}

Sound CaptureSound(IAudioPlugin& plugin, const std::string& name)
{
    std::lock_guard<std::recursive_mutex> lock(plugin.pluginLock);
    Sound sound;
    sound.name = name;
    const int count = std::min(plugin.ParameterCount(), IAudioPlugin::kParameterCount);
    for (int i = 0; i < count; ++i) {
        sound.values[static_cast<size_t>(i)] = i == kNoKnob ? 0.0 : plugin.ParameterAt(i)->value;
    }
    return sound;
}

bool KnobsMatchSound(IAudioPlugin& plugin, const Sound& sound)
{
    std::lock_guard<std::recursive_mutex> lock(plugin.pluginLock);
    const int count = std::min(plugin.ParameterCount(), IAudioPlugin::kParameterCount);
    for (int i = 0; i < count; ++i) {
        const double value = sound.values[static_cast<size_t>(i)];
        if (i == kNoKnob || std::isnan(value)) {
            continue;
        }
        IParameter& parameter = *plugin.ParameterAt(i);
        if (parameter.value != ClampStoredValue(parameter, value)) {
            return false;
        }
    }
    return true;
}
