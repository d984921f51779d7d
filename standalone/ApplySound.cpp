#include "standalone/ApplySound.h"

#include "core/ClampStoredValue.h"
#include "core/IAudioPlugin.h"

#include <algorithm>
#include <cmath>
#include <mutex>

namespace {
// Parameter 4 has no knob: sounds neither set nor keep it.
constexpr int kNoKnob = 4;

int KnobCount(IAudioPlugin& plugin) { return std::min(plugin.ParameterCount(), IAudioPlugin::kParameterCount); }

// Calls take(parameter index, the sound's value made safe) for each knob the
// sound has a value for, until take returns false; the caller holds the lock.
template <typename Take>
void ForEachSoundKnob(IAudioPlugin& plugin, const Sound& sound, Take take)
{
    for (int i = 0; i < KnobCount(plugin); ++i) {
        const double value = sound.values[static_cast<size_t>(i)];
        if (i == kNoKnob || std::isnan(value)) {
            continue;
        }
        if (!take(i, ClampStoredValue(*plugin.ParameterAt(i), value))) {
            return;
        }
    }
}
} // namespace

void ApplySound(IAudioPlugin& plugin, const Sound& sound)
{
    // One lock for all knobs: no signal vector hears half a sound.
    std::lock_guard<std::recursive_mutex> lock(plugin.pluginLock);
    ForEachSoundKnob(plugin, sound, [&](int i, double value) {
        plugin.ParameterAt(i)->value = value;
        plugin.ParameterChanged(i);
        return true;
    });
    plugin.PushParametersToEditor();
}

Sound CaptureSound(IAudioPlugin& plugin, const std::string& name)
{
    std::lock_guard<std::recursive_mutex> lock(plugin.pluginLock);
    Sound sound;
    sound.name = name;
    for (int i = 0; i < KnobCount(plugin); ++i) {
        sound.values[static_cast<size_t>(i)] = i == kNoKnob ? 0.0 : plugin.ParameterAt(i)->value;
    }
    return sound;
}

bool KnobsMatchSound(IAudioPlugin& plugin, const Sound& sound)
{
    std::lock_guard<std::recursive_mutex> lock(plugin.pluginLock);
    bool all = true;
    ForEachSoundKnob(plugin, sound, [&](int i, double value) {
        all = plugin.ParameterAt(i)->value == value;
        return all;
    });
    return all;
}
