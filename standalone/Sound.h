#pragma once

#include "core/IAudioPlugin.h"

#include <array>
#include <string>

// A sound: the knob values under a name, by the effect's parameter index.
// Parameter 4 has no knob and no port: it is never stored and keeps the
// effect's value when a sound is applied. A NaN value means "not in the
// file": the knob keeps what it had. Any thread; plain data.
struct Sound {
    std::string name;
    std::array<double, IAudioPlugin::kParameterCount> values{};
};
