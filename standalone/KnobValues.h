#pragma once

#include "core/IAudioPlugin.h"

#include <array>

// The effect's knob values by parameter index, as a sound holds them.
using KnobValues = std::array<double, IAudioPlugin::kParameterCount>;
