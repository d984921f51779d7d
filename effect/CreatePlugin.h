#pragma once

#include <cstdint>
#include <memory>

class IAudioPlugin;
class IMidiOutputPort;

// Creates the program's plug-in (the distortion effect with its editor) under
// the process-wide creation lock. midiOutput may be null; midiOutputChannel
// is the host's setting, read at every send. Null when memory runs out.
// UI thread (any thread is safe).
std::unique_ptr<IAudioPlugin> CreatePlugin(IMidiOutputPort* midiOutput, const uint16_t* midiOutputChannel);
