#pragma once

#include "standalone/AudioCallbackState.h"

#include <cstdint>

class IAudioPlugin;
struct AppSettings;

// Callbacks kept silent after every start (warmupCount 0 .. 50).
inline constexpr uint32_t kSilentCallbacks = 51;
// Scale of every output sample once the plug-in runs.
inline constexpr double kOutputScale = 0.25;

// One device buffer of the duplex stream: non-interleaved 64-bit samples,
// channel 1 at [0, n), channel 2 at [n, 2n), for input and output alike.
// Keeps the output silent for the first callbacks, then calls the plug-in once
// per signal vector under the plug-in lock with pointers straight into the
// device buffers, fades in over one buffer and scales by 0.25. A last vector
// shorter than signalVectorSize is processed short (nothing reaches past the
// buffers); a signalVectorSize of 0 processes the whole buffer as one vector.
// monoInput of settings is read at every call. A null plugin or input leaves
// silence. Underflows are the caller's to count; nothing is written from
// here. Always returns 0.
// Audio thread; no allocation, no lock but the plug-in lock.
int AudioCallbackCore(double* output, const double* input, uint32_t frames,
                      AudioCallbackState& state, IAudioPlugin* plugin, const AppSettings& settings);
