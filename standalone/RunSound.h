#pragma once

#include "standalone/KnobValues.h"

#include <string>

class IAudioPlugin;

// The knobs a run starts with and a session keeps (a preset bundle
// "sound.lv2" in the session's folder), over the program's sound files.
// UI thread only (main thread for a render).

// A sound file (a preset bundle folder or its .ttl) or a sound's name from
// the sound library; knobs the sound lacks are NaN. False with error set
// when there is none such.
bool FindRunSound(const std::string& nameOrPath, KnobValues& values, std::string& error);

// The knobs kept in a session's folder. found is false when the folder holds
// none yet (not an error). False with error set when they cannot be read.
bool ReadSessionKnobs(const std::string& folder, KnobValues& values, bool& found, std::string& error);
// Replaces the knobs kept in folder at once (all or nothing). False with error set.
bool WriteSessionKnobs(const std::string& folder, const KnobValues& values, std::string& error);

// The plug-in's knobs, taken and set as a loaded sound sets them (the
// editor follows; NaN values keep the knob). Under the plug-in lock.
KnobValues CaptureKnobs(IAudioPlugin& plugin);
void ApplyKnobs(IAudioPlugin& plugin, const KnobValues& values);
