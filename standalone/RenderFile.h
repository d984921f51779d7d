#pragma once

#include "standalone/KnobValues.h"

#include <string>

// Processes the audio file inputPath offline through the effect exactly as the
// LV2 plug-in does (its 32-frame vectors over the stream, no fade, no output
// scaling) and writes outputPath in the input's format, replacing it only when
// the whole file is written. Mono input feeds both channels. values null:
// the knobs' defaults. False with error set (nothing written) on failure.
// Main thread, before any device is touched; allocates.
bool RenderFile(const std::string& inputPath, const std::string& outputPath, const KnobValues* values,
                std::string& error);
