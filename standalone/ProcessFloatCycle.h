#pragma once

#include "standalone/IAudioBackEnd.h"

#include <cstdint>

// One cycle of a server with 32-bit float ports: copies the two inputs into
// input (channel 1 at [0, n), channel 2 at [n, 2n)), runs process over them
// into output, and writes output back to the two float outputs. The buffers
// hold at least 2 × frames values each.
// Audio thread; no allocation, no lock of its own.
void ProcessFloatCycle(const float* const in[2], float* const out[2], uint32_t frames, double* input, double* output,
                       AudioProcessFunction process, void* user, bool xrun);
