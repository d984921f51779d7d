#pragma once

#include "standalone/Sound.h"

#include <string>

class IAudioPlugin;

// Sets the knobs to a sound through the plug-in's normal path: under the
// plug-in lock, each value made safe like a stored state and followed by
// ParameterChanged, then the editor shows them. All knobs change between
// two signal vectors at once. NaN values and parameter 4 keep the effect's
// value. UI thread; takes the plug-in lock.
void ApplySound(IAudioPlugin& plugin, const Sound& sound);

// The knobs as they are now, under a name. UI thread; takes the plug-in lock.
Sound CaptureSound(IAudioPlugin& plugin, const std::string& name);

// True when every stored knob of the plug-in holds the sound's value
// (values the sound does not have are not compared). UI thread; takes the
// plug-in lock.
bool KnobsMatchSound(IAudioPlugin& plugin, const Sound& sound);
